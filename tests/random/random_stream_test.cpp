#include "random/random_stream.h"

#include <gtest/gtest.h>

TEST(RandomStream, FirstNumbersOfAFreshStream) {
    RandomStream stream;
    EXPECT_NEAR(uniformRandom(stream), 0.0631416611, 1e-10);
    EXPECT_NEAR(uniformRandom(stream), 0.6301008422, 1e-10);
    EXPECT_NEAR(uniformRandom(stream), 0.0967332704, 1e-10);
}

TEST(RandomStream, FirstDeviateIsAcceptedAtOnce) {
    RandomStream stream;
    EXPECT_NEAR(normalDeviate(stream, 0.0, 1.0), -0.5830083093, 1e-10);
    RandomStream twoDraws;
    uniformRandom(twoDraws);
    uniformRandom(twoDraws);
    EXPECT_EQ(stream.s1, twoDraws.s1);
    EXPECT_EQ(stream.s2, twoDraws.s2);
    EXPECT_EQ(stream.s3, twoDraws.s3);
}
