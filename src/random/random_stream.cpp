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

std::uint64_t splitMix64(std::uint64_t seed) {
    std::uint64_t z = seed + 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

RandomStream streamFromSeed(std::uint64_t seed) {
    const std::uint64_t z = splitMix64(seed);
    RandomStream stream;
    stream.s1 = static_cast<int>(1 + z % 30268);
    stream.s3 = static_cast<int>(1 + (z >> 21) % 30322);
    int s2 = static_cast<int>(1 + (z >> 42) % 30308);
    while (s2 % 3 == 0 || s2 % 10103 == 0) s2 = s2 % 30308 + 1;
    stream.s2 = s2;
    return stream;
}
