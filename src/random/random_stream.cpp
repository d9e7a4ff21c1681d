#include "random/random_stream.h"

#include <algorithm>
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

namespace {

// Components stepped side by side: lane k of a batch jumps Lanes steps at a
// time, so the lanes' modular products do not wait on each other.
constexpr unsigned Lanes = 16;
// Attempts (pairs of uniform numbers) drawn per batch.
constexpr std::size_t Batch = 256;

constexpr unsigned jumpMultiplier(unsigned multiplier, unsigned modulus) {
    unsigned long long power = 1;
    for (unsigned k = 0; k < Lanes; ++k) power = power * multiplier % modulus;
    return static_cast<unsigned>(power);
}

// Steps one component count times from state, every step's state into out,
// as a double. After the first single steps a state s lies in 0 .. m-1, and
// a product p of the jump and s is below 30323^2 < 2^30, exact in double
// precision. The jump is a unit modulo m, so p is a multiple of m only for
// s = 0 (then p = 0 and all is exact); otherwise p / m is at least 1 / 30323
// from an integer, far beyond the rounding of p times 1 / m, which therefore
// truncates to the exact quotient, and the remainder comes out exact: a
// vector of lanes at a time.
template <unsigned Multiplier, unsigned Modulus>
[[gnu::always_inline]] inline void stepComponent(int& state, double* out, std::size_t count) {
    constexpr double jump = jumpMultiplier(Multiplier, Modulus);
    constexpr double modulus = Modulus;
    constexpr double inverse = 1.0 / Modulus;
    auto previous = static_cast<unsigned>(state);
    for (std::size_t k = 0; k < count && k < Lanes; ++k) {
        previous = Multiplier * previous % Modulus;
        out[k] = previous;
    }
    for (std::size_t k = Lanes; k < count; ++k) {
        const double product = jump * out[k - Lanes];
        out[k] = product - static_cast<double>(static_cast<int>(product * inverse)) * modulus;
    }
    state = static_cast<int>(out[count - 1]);
}

}  // namespace

// Compiled for the widest vectors the processor has (the same correctly
// rounded divisions and roots in each).
[[gnu::target_clones("avx512f", "avx2", "default")]] void standardNormalDeviates(RandomStream& stream, double* out,
                                                                                std::size_t count) {
    double s1[2 * Batch], s2[2 * Batch], s3[2 * Batch];
    double p[Batch], w[Batch], logW[Batch];
    std::size_t done = 0;
    while (done < count) {
        // Every remaining deviate takes at least one attempt, so this batch
        // draws nothing the calls would not.
        const std::size_t attempts = std::min(Batch, count - done);
        const std::size_t draws = 2 * attempts;
        stepComponent<171, 30269>(stream.s1, s1, draws);
        stepComponent<172, 30309>(stream.s2, s2, draws);
        stepComponent<170, 30323>(stream.s3, s3, draws);
        for (std::size_t k = 0; k < attempts; ++k) {
            double u[2];
            for (std::size_t h = 0; h < 2; ++h) {
                const std::size_t i = 2 * k + h;
                const double x = s1[i] / 30269.0 + s2[i] / 30309.0 + s3[i] / 30323.0;
                // x lies in (0, 3): the integer conversion truncates it.
                u[h] = x - static_cast<double>(static_cast<int>(x));
            }
            p[k] = 2.0 * u[0] - 1.0;
            const double q = 2.0 * u[1] - 1.0;
            w[k] = p[k] * p[k] + q * q;
        }
        // The accepted attempts, moved to the front in order.
        std::size_t accepted = 0;
        for (std::size_t k = 0; k < attempts; ++k) {
            p[accepted] = p[k];
            w[accepted] = w[k];
            accepted += w[k] < 1.0 && w[k] != 0.0;
        }
        for (std::size_t k = 0; k < accepted; ++k) logW[k] = std::log(w[k]);
        double* deviates = out + done;
        for (std::size_t k = 0; k < accepted; ++k) deviates[k] = p[k] * std::sqrt(-2.0 * logW[k] / w[k]);
        done += accepted;
    }
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
