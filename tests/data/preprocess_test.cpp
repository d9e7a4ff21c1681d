#include "data/preprocess.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using testing_support::matrixOf;

bool sameState(const RandomStream& a, const RandomStream& b) {
    return a.s1 == b.s1 && a.s2 == b.s2 && a.s3 == b.s3;
}

// How many uniform numbers lie between two states of the stream.
int drawsBetween(RandomStream from, const RandomStream& to) {
    for (int draws = 0; draws < 100000; ++draws) {
        if (sameState(from, to)) return draws;
        uniformRandom(from);
    }
    return -1;
}

// The sort exactly as written down: a fresh scratch copy per call, both
// sub-sorts by recursion. The product must match it value for value and
// draw for draw.
void literalQuickSort(double* values, int count, RandomStream& stream) {
    if (count <= 1) return;
    if (count == 2) {
        if (values[0] > values[1]) std::swap(values[0], values[1]);
        return;
    }
    const int k = static_cast<int>(uniformRandom(stream) * count);
    std::vector<double> scratch(values, values + count);
    int lower = 0;
    int upper = 0;
    for (int i = 0; i < count; ++i) {
        if (i == k) continue;
        if (scratch[i] < scratch[k]) {
            values[lower++] = scratch[i];
        } else {
            values[count - 1 - upper++] = scratch[i];
        }
    }
    values[lower] = scratch[k];
    if (lower > 0) literalQuickSort(values, lower, stream);
    if (upper > 0) literalQuickSort(values + lower + 1, upper, stream);
}


}  // namespace

// ---------------------------------------------------------------- quicksort

struct DrawCase {
    std::string name;
    std::vector<double> values;
    int draws;  // from a fresh stream, whose first pivot index is 0 for n <= 15
};
void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.name; }

class QuickSortDraws : public testing::TestWithParam<DrawCase> {};

TEST_P(QuickSortDraws, SortsAndDrawsExactly) {
    const DrawCase& c = GetParam();
    std::vector<double> values = c.values;
    RandomStream stream;
    quickSortValues(values, stream);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(drawsBetween(RandomStream{}, stream), c.draws);
}

INSTANTIATE_TEST_SUITE_P(
    SizesOneToFour, QuickSortDraws,
    testing::Values(DrawCase{"Empty", {}, 0}, DrawCase{"One", {7.0}, 0},
                    DrawCase{"TwoInOrder", {1.0, 2.0}, 0}, DrawCase{"TwoSwapped", {2.0, 1.0}, 0},
                    DrawCase{"TwoEqual", {3.0, 3.0}, 0}, DrawCase{"Three", {3.0, 1.0, 2.0}, 1},
                    // Pivot 2 leaves one value below and two above: no further draw.
                    DrawCase{"FourBalanced", {2.0, 1.0, 3.0, 4.0}, 1},
                    // Pivot 4 leaves three values below, which take a second draw.
                    DrawCase{"FourLowerThree", {4.0, 3.0, 2.0, 1.0}, 2},
                    // Pivot 1 leaves three values at or above it.
                    DrawCase{"FourUpperThree", {1.0, 2.0, 3.0, 4.0}, 2},
                    DrawCase{"FourAllEqual", {5.0, 5.0, 5.0, 5.0}, 2}),
    [](const testing::TestParamInfo<DrawCase>& info) { return info.param.name; });

TEST(QuickSortValues, MatchesTheLiteralSortOnManyInputs) {
    RandomStream inputs;
    inputs.s1 = 1234;  // a separate stream just to make test data
    RandomStream product;
    RandomStream literal;
    for (int trial = 0; trial < 400; ++trial) {
        const int n = trial % 61;
        std::vector<double> values(static_cast<std::size_t>(n));
        for (double& v : values) {
            // Few distinct values on odd trials, so ties are common.
            const double u = uniformRandom(inputs);
            v = trial % 2 ? std::floor(u * 5.0) - 2.0 : (u - 0.5) * 1e6;
        }
        std::vector<double> sorted = values;
        std::vector<double> expected = values;
        quickSortValues(sorted, product);
        literalQuickSort(expected.data(), n, literal);
        std::sort(values.begin(), values.end());
        ASSERT_EQ(sorted, values) << "trial " << trial;
        ASSERT_EQ(sorted, expected) << "trial " << trial;
        ASSERT_TRUE(sameState(product, literal)) << "trial " << trial;
    }
}

// ---------------------------------------------------------------- transforms

struct TransformCase {
    std::string name;
    int rows;
    int columns;
    std::vector<double> input;
    PreprocessMethod method;
    PreprocessDirection direction;
    std::vector<double> expected;  // compared bit for bit
};
void PrintTo(const TransformCase& c, std::ostream* os) { *os << c.name; }

class Transform : public testing::TestWithParam<TransformCase> {};

TEST_P(Transform, GivesTheExactValues) {
    const TransformCase& c = GetParam();
    DataMatrix m = matrixOf(c.rows, c.columns, c.input);
    RandomStream stream;
    preprocessMatrix(m, c.method, c.direction, stream);
    ASSERT_EQ(m.values.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(m.values[i], c.expected[i]) << "value " << i;
    }
}

const double rootTwo = std::sqrt(2.0);
using M = PreprocessMethod;
using D = PreprocessDirection;

INSTANTIATE_TEST_SUITE_P(
    EveryMethod, Transform,
    testing::Values(
        TransformCase{"LogByRow", 2, 2, {1.0, 2.0, 0.5, 10.0}, M::Log, D::Row,
                      {0.0, std::log(2.0), std::log(0.5), std::log(10.0)}},
        TransformCase{"LogByColumnIsTheSame", 2, 2, {1.0, 2.0, 0.5, 10.0}, M::Log, D::Column,
                      {0.0, std::log(2.0), std::log(0.5), std::log(10.0)}},
        TransformCase{"NormalRow", 1, 3, {1.0, 2.0, 3.0}, M::Normal, D::Row,
                      {-1.0 / rootTwo, 0.0, 1.0 / rootTwo}},
        TransformCase{"NormalByColumn", 3, 2, {1.0, 5.0, 2.0, 5.0, 3.0, 8.0}, M::Normal, D::Column,
                      {-1.0 / rootTwo, -1.0 / std::sqrt(6.0), 0.0, -1.0 / std::sqrt(6.0),
                       1.0 / rootTwo, 2.0 / std::sqrt(6.0)}},
        TransformCase{"MeanCenterByRow", 2, 3, {1.0, 2.0, 6.0, -1.0, -1.0, 5.0}, M::MeanCenter,
                      D::Row, {-2.0, -1.0, 3.0, -2.0, -2.0, 4.0}},
        TransformCase{"MeanCenterByColumn", 2, 2, {1.0, 10.0, 3.0, 20.0}, M::MeanCenter, D::Column,
                      {-1.0, -5.0, 1.0, 5.0}},
        TransformCase{"MedianOfOneValueIsItself", 2, 1, {4.5, -3.0}, M::MedianCenter, D::Row,
                      {0.0, 0.0}},
        TransformCase{"MedianOfTwoValuesIsTheirMean", 1, 2, {1.0, 4.0}, M::MedianCenter, D::Row,
                      {-1.5, 1.5}},
        TransformCase{"MedianOfFourTakesTheMiddlePair", 1, 4, {9.0, 1.0, 3.0, 2.0},
                      M::MedianCenter, D::Row, {6.5, -1.5, 0.5, -0.5}},
        TransformCase{"MedianByColumnOfThreeRows", 3, 10,
                      {1, 9, 5, 0, 0, 7, 2, 3, 8, 1,   //
                       2, 8, 5, 0, 1, 7, 3, 1, 9, 4,   //
                       3, 7, 4, 0, 2, 6, 1, 2, 7, 2},  //
                      M::MedianCenter, D::Column,
                      {-1, 1, 0, 0, -1, 0, 0, 1, 0, -1,   //
                       0, 0, 0, 0, 0, 0, 1, -1, 1, 2,     //
                       1, -1, -1, 0, 1, -1, -1, 0, -1, 0}},
        TransformCase{"MaxOfNegativesDividesByTheSignedMaximum", 1, 2, {-2.0, -1.0}, M::Max, D::Row,
                      {2.0, 1.0}},
        TransformCase{"MaxBelowTheStartValueDividesByIt", 1, 2, {-1e100, -3e100}, M::Max, D::Row,
                      {1.0, 3.0}},
        TransformCase{"MaxByColumn", 2, 2, {2.0, -4.0, 8.0, 1.0}, M::Max, D::Column,
                      {0.25, -4.0, 1.0, 1.0}}),
    [](const testing::TestParamInfo<TransformCase>& info) { return info.param.name; });

TEST(PreprocessMatrix, OnlyMedianCentringDrawsAndItDrawsOncePerSortOfThree) {
    const DataMatrix input = matrixOf(3, 10, std::vector<double>(30, 1.0));
    for (M method : {M::Log, M::Normal, M::MeanCenter, M::Max}) {
        DataMatrix m = input;
        RandomStream stream;
        preprocessMatrix(m, method, D::Column, stream);
        EXPECT_TRUE(sameState(stream, RandomStream{}));
    }
    DataMatrix m = input;
    RandomStream stream;
    preprocessMatrix(m, M::MedianCenter, D::Column, stream);
    EXPECT_EQ(drawsBetween(RandomStream{}, stream), 10);  // ten columns of three values
    DataMatrix empty = matrixOf(0, 3, {});
    RandomStream untouched;
    preprocessMatrix(empty, M::MedianCenter, D::Row, untouched);
    preprocessMatrix(empty, M::MedianCenter, D::Column, untouched);
    EXPECT_TRUE(empty.values.empty());
    EXPECT_TRUE(sameState(untouched, RandomStream{}));
}

TEST(PreprocessMatrix, MedianRowsDrawLikeSortingEachRowInTurn) {
    DataMatrix m = matrixOf(3, 10, {});
    RandomStream data;
    for (int i = 0; i < 30; ++i) m.values.push_back(std::floor(uniformRandom(data) * 7.0));
    RandomStream expectedStream;
    std::vector<double> expected;
    for (int r = 0; r < 3; ++r) {
        std::vector<double> row(m.row(r).begin(), m.row(r).end());
        std::vector<double> sorted = row;
        literalQuickSort(sorted.data(), 10, expectedStream);
        const double median = (sorted[4] + sorted[5]) / 2.0;
        for (double v : row) expected.push_back(v - median);
    }
    RandomStream stream;
    preprocessMatrix(m, M::MedianCenter, D::Row, stream);
    EXPECT_EQ(m.values, expected);
    EXPECT_TRUE(sameState(stream, expectedStream));
}

// ---------------------------------------------------------------- non-finite values

TEST(NonFinite, TransformsThatBreakDownAreCountedWithTheirFirstRow) {
    struct Case {
        M method;
        std::vector<double> input;  // 3 x 2, by row
        long long count;
        int firstRow;
    };
    const Case cases[] = {
        {M::Log, {1.0, 2.0, -0.5, 0.0, 3.0, 4.0}, 2, 1},       // ln of < 0 and of 0
        {M::Normal, {1.0, 2.0, 3.0, 4.0, 7.0, 7.0}, 2, 2},     // a constant row
        {M::Max, {1.0, 2.0, 0.0, -1.0, 5.0, 6.0}, 2, 1},       // largest value 0
        {M::MeanCenter, {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}, 0, -1},
    };
    for (const Case& c : cases) {
        DataMatrix m = matrixOf(3, 2, c.input);
        RandomStream stream;
        preprocessMatrix(m, c.method, D::Row, stream);
        const NonFiniteSummary summary = summarizeNonFinite(m);
        EXPECT_EQ(summary.count, c.count) << static_cast<int>(c.method);
        EXPECT_EQ(summary.firstRow, c.firstRow) << static_cast<int>(c.method);
    }
}

TEST(NonFinite, ReportsTheFirstCellInRowOrder) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const NonFiniteSummary summary =
        summarizeNonFinite(matrixOf(3, 3, {1, 2, 3, 4, 5, -inf, nan, 8, inf}));
    EXPECT_EQ(summary.count, 3);
    EXPECT_EQ(summary.firstRow, 1);
    EXPECT_EQ(summary.firstColumn, 2);
    EXPECT_EQ(summarizeNonFinite(DataMatrix{}).count, 0);
}
