// Perturbation: one deviate per cell in row order, centred on the source
// value with the scale's or the error matrix's deviation (negative for a
// negative value under a scale, which mirrors the deviate); deviation 0
// reproduces the value yet draws.

#include "resample/perturbation.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

using testing_support::matrixOf;

TEST(Perturbation, EachCellTakesOneDeviateInRowOrder) {
    const DataMatrix source = matrixOf(2, 3, {1.0, 0.0, -2.0, 40.0, 5.0, -7.0});
    const DataMatrix errors = matrixOf(2, 3, {0.5, 0.0, 2.0, -1.0, 0.0, 3.0});
    for (const bool byScale : {true, false}) {
        DataMatrix target = matrixOf(1, 1, {9});  // takes the source's shape
        RandomStream stream, expected;
        if (byScale) perturbByScale(stream, source, target, 0.1);
        else perturbByErrorMatrix(stream, source, target, errors);
        ASSERT_EQ(target.values.size(), 6u);
        EXPECT_EQ(target.rowCount, 2);
        for (std::size_t i = 0; i < 6; ++i) {
            const double x = source.values[i], sd = byScale ? 0.1 * x : errors.values[i];
            EXPECT_EQ(target.values[i], normalDeviate(expected, x, sd)) << byScale << " " << i;
            if (sd == 0.0) {
                EXPECT_EQ(target.values[i], x);
            }
        }
        EXPECT_TRUE(stream == expected);
    }
}
