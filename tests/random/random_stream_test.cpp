// The start values derived from a user's seed. The fresh stream's numbers
// and deviates are pinned by every pinned report.

#include "random/random_stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <numeric>
#include <set>
#include <tuple>
#include <vector>

// Every seed gives start values inside each modulus, the second one coprime to
// 30309 = 3 x 10103 (a multiple of 3 or of 10103 would stay on a short cycle,
// 0 forever at 0); different seeds give different streams.
TEST(RandomStream, SeedsGiveValidDistinctStarts) {
    // splitmix64 of 0 is its published first output.
    EXPECT_EQ(splitMix64(0), 0xe220a8397b1dcdafULL);
    std::set<std::tuple<int, int, int>> starts;
    const std::uint64_t edges[] = {0, 1, 2, 3, 10103, 30309, 0xffffffffULL, 0xffffffffffffffffULL};
    for (std::uint64_t k = 0; k < 20000; ++k) {
        const std::uint64_t seed = k < 8 ? edges[k] : k * 0x9e3779b97f4a7c15ULL;
        const RandomStream s = streamFromSeed(seed);
        ASSERT_TRUE(s.s1 >= 1 && s.s1 < 30269 && s.s3 >= 1 && s.s3 < 30323) << seed;
        ASSERT_TRUE(s.s2 >= 1 && s.s2 < 30309 && std::gcd(s.s2, 30309) == 1) << seed;
        starts.insert({s.s1, s.s2, s.s3});
    }
    EXPECT_GT(starts.size(), 19990u);
    RandomStream a = streamFromSeed(1), b = streamFromSeed(2), again = streamFromSeed(1);
    EXPECT_NE(uniformRandom(a), uniformRandom(b));
    EXPECT_TRUE(streamFromSeed(1) == again);
}

// The batched deviates against one call at a time, bit for bit, and the
// stream left where the calls leave it: counts around the batch size and a
// long run, from the fixed start, from seeds and from the largest states
// (the second a multiple of 3).
TEST(RandomStream, BatchedDeviatesEqualSingleCalls) {
    for (const RandomStream start : {RandomStream{}, streamFromSeed(1), streamFromSeed(77), RandomStream{30268, 30306, 30322}}) {
        for (const std::size_t count : {0u, 1u, 2u, 255u, 256u, 257u, 513u, 200000u}) {
            RandomStream single = start;
            RandomStream batched = single;
            std::vector<double> factors(count);
            standardNormalDeviates(batched, factors.data(), count);
            for (std::size_t i = 0; i < count; ++i) {
                const double mean = 1.0 + static_cast<double>(i % 7), sd = 0.5 - static_cast<double>(i % 3);
                const double expected = normalDeviate(single, mean, sd);
                ASSERT_EQ(std::bit_cast<std::uint64_t>(factors[i] * sd + mean), std::bit_cast<std::uint64_t>(expected))
                    << start.s1 << " " << count << " " << i;
            }
            EXPECT_TRUE(single == batched) << start.s1 << " " << count;
        }
    }
}
