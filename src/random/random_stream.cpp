#include "random/random_stream.h"

#include <cmath>

// Wichmann-Hill (AS 183), with 30309 for the second modulus as in the header.
// No product exceeds 172 x 30308, well inside 32-bit int.
double uniformRandom(RandomStream& stream) {
    stream.s1 = (171 * stream.s1) % 30269;
    stream.s2 = (172 * stream.s2) % 30309;
    stream.s3 = (170 * stream.s3) % 30323;
    const double x = static_cast<double>(stream.s1) / 30269.0 +
                     static_cast<double>(stream.s2) / 30309.0 +
                     static_cast<double>(stream.s3) / 30323.0;
    return x - std::trunc(x);
}

// Marsaglia's polar method; p is drawn before q.
double normalDeviate(RandomStream& stream, double mean, double sd) {
    double p = 0.0;
    double w = 0.0;
    do {
        p = 2.0 * uniformRandom(stream) - 1.0;
        const double q = 2.0 * uniformRandom(stream) - 1.0;
        w = p * p + q * q;
    } while (w >= 1.0 || w == 0.0);
    return p * std::sqrt(-2.0 * std::log(w) / w) * sd + mean;
}
