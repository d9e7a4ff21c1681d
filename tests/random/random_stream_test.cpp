// The first numbers and the first deviate of a fresh stream, worked out by
// hand from the seeds 24, 67, 276 (with 30309 as the second modulus).

#include "random/random_stream.h"

#include <gtest/gtest.h>

TEST(RandomStream, FirstNumbersAndFirstDeviateOfAFreshStream) {
    RandomStream stream;
    for (const double expected : {0.0631416611, 0.6301008422, 0.0967332704})
        EXPECT_NEAR(uniformRandom(stream), expected, 1e-10);
    RandomStream deviates, twoDraws;
    EXPECT_NEAR(normalDeviate(deviates, 0.0, 1.0), -0.5830083093, 1e-10);  // accepted at once
    uniformRandom(twoDraws);
    uniformRandom(twoDraws);
    EXPECT_TRUE(deviates == twoDraws);
    EXPECT_NEAR(normalDeviate(deviates, 10.0, -2.0), 10.0 - 2.0 * normalDeviate(twoDraws, 0.0, 1.0), 1e-12);
}
