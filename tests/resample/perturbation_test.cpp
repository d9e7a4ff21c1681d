#include "resample/perturbation.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <vector>

namespace {

using testing_support::matrixOf;


bool sameState(const RandomStream& a, const RandomStream& b) {
    return a.s1 == b.s1 && a.s2 == b.s2 && a.s3 == b.s3;
}

}  // namespace

TEST(Perturbation, ScaleVisitsCellsRowByRowWithOneDeviateEach) {
    const DataMatrix source = matrixOf(2, 3, {1.0, 0.0, -2.0, 40.0, 5.0, 0.0});
    DataMatrix target;  // takes the source's shape
    RandomStream stream;
    perturbByScale(stream, source, target, 0.1);

    RandomStream expected;
    ASSERT_EQ(target.rowCount, 2);
    ASSERT_EQ(target.columnCount, 3);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const double x = source.at(r, c);
            EXPECT_EQ(target.at(r, c), normalDeviate(expected, x, 0.1 * x)) << r << "," << c;
        }
    }
    EXPECT_TRUE(sameState(stream, expected));
    // Zero values have a zero deviation: reproduced exactly, yet they drew.
    EXPECT_EQ(target.at(0, 1), 0.0);
    EXPECT_EQ(target.at(1, 2), 0.0);
}

TEST(Perturbation, ErrorMatrixUsesEachCellsOwnDeviation) {
    const DataMatrix source = matrixOf(2, 2, {3.0, -7.0, 11.0, 2.5});
    const DataMatrix errors = matrixOf(2, 2, {0.5, 0.0, 2.0, -1.0});
    DataMatrix target = matrixOf(2, 2, {9, 9, 9, 9});
    RandomStream stream;
    perturbByErrorMatrix(stream, source, target, errors);

    RandomStream expected;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(target.values[i], normalDeviate(expected, source.values[i], errors.values[i]));
    }
    EXPECT_TRUE(sameState(stream, expected));
    EXPECT_EQ(target.at(0, 1), -7.0);  // error 0: exact
}

TEST(Perturbation, NegativeValueUnderScaleMirrorsTheDeviate) {
    const DataMatrix positive = matrixOf(1, 3, {3.0, 0.25, 1e6});
    const DataMatrix negative = matrixOf(1, 3, {-3.0, -0.25, -1e6});
    DataMatrix up;
    DataMatrix down;
    RandomStream a;
    RandomStream b;
    perturbByScale(a, positive, up, 0.2);
    perturbByScale(b, negative, down, 0.2);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(up.values[i], positive.values[i]);
        EXPECT_EQ(down.values[i], -up.values[i]);
    }
}

TEST(Perturbation, SameStreamSameDataAndEachPassMovesOn) {
    DataMatrix source = matrixOf(30, 7, {});
    for (int i = 0; i < 210; ++i) source.values.push_back(i % 11 == 0 ? 0.0 : i * 0.37 - 20.0);
    RandomStream first;
    RandomStream second;
    DataMatrix passOne;
    DataMatrix again;
    DataMatrix passTwo;
    perturbByScale(first, source, passOne, 0.3);
    perturbByScale(second, source, again, 0.3);
    EXPECT_EQ(passOne.values, again.values);

    perturbByScale(first, source, passTwo, 0.3);  // next pass, same centre
    EXPECT_NE(passOne.values, passTwo.values);
    for (std::size_t i = 0; i < source.values.size(); ++i) {
        if (source.values[i] == 0.0) {
            EXPECT_EQ(passOne.values[i], 0.0);
            EXPECT_EQ(passTwo.values[i], 0.0);
        }
    }
}
