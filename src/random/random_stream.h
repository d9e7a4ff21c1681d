#pragma once
// The program's one uniform random stream and the normal deviates drawn from
// it. Started from fixed seeds (or from a seed the user gives), so the same
// inputs always give the same report; the run owns exactly one stream and
// never reseeds it.
//
// The generator is Wichmann and Hill's (Applied Statistics algorithm AS 183,
// 1982): three multiplicative congruential generators whose scaled values are
// summed and reduced to their fractional part. One constant differs on
// purpose: the second component reduces modulo 30309 and divides by 30309,
// where the published generator uses the prime 30307. Every report ever
// written depends on this stream, so it must not be "corrected". (30309 =
// 3 x 10103 is not prime; that component repeats after 10102 steps rather
// than 30306, and the whole stream after about 2.3e12 numbers.)

#include <cstddef>
#include <cstdint>

struct RandomStream {
    int s1 = 24;   // x 171 mod 30269
    int s2 = 67;   // x 172 mod 30309 (not 30307, see above)
    int s3 = 276;  // x 170 mod 30323
    friend bool operator==(const RandomStream&, const RandomStream&) = default;
};

// Returns u with 0 <= u < 1 and advances the stream: the three components
// step in turn, then u = frac(s1/30269 + s2/30309 + s3/30323), summed left
// to right.
double uniformRandom(RandomStream& stream);

// A normal deviate by Marsaglia's polar method (Marsaglia and Bray, 1964):
// p and q uniform on (-1, 1), in that order, until 0 < w = p^2 + q^2 < 1;
// returns p * sqrt(-2 ln w / w) * sd + mean. Consumes two uniform numbers per
// attempt; only p is turned into a deviate and the second deviate the method
// offers is not kept, so every call starts from fresh draws.
double normalDeviate(RandomStream& stream, double mean, double sd);

// The factors p * sqrt(-2 ln w / w) of count successive normalDeviate
// calls, into out: call i returns out[i] * sd + mean (the same operations
// in the same order), and the stream ends where the calls leave it. Faster
// than one call at a time: the uniform numbers are drawn in batches, never
// more than the calls would draw.
void standardNormalDeviates(RandomStream& stream, double* out, std::size_t count);

// A stream started from a user's seed: z = splitmix64(seed) (Steele, Lea and
// Flood's 64-bit finaliser of seed + 0x9e3779b97f4a7c15), then
//   s1 = 1 + z mod 30268                  (1..30268, any is valid for the prime 30269)
//   s3 = 1 + (z >> 21) mod 30322          (1..30322, the prime 30323)
//   s2 = 1 + (z >> 42) mod 30308, moved up (wrapping 30308 -> 1) to the
//        first value that 3 and 10103 do not divide, so the second component
//        keeps its full period under its composite modulus.
// Every start value is in 1..m-1 and the state never reaches 0.
RandomStream streamFromSeed(std::uint64_t seed);

// The seed's splitmix64 finaliser, exposed for the tests.
std::uint64_t splitMix64(std::uint64_t seed);
