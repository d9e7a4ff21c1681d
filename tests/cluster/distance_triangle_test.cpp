#include "cluster/distance_triangle.h"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "cluster/cluster_test_support.h"
#include "reference/literal_clustering.h"

using cluster_testing::AllMetrics;
using cluster_testing::bitsOf;
using cluster_testing::matrixOf;

namespace {

DistanceTriangle distancesOf(const std::vector<std::vector<double>>& rows, DistanceMetric metric) {
    DistanceTriangle d(2);  // the wrong size: computeDistances resizes it
    computeDistances(d, matrixOf(rows), metric);
    return d;
}


}  // namespace

struct MetricCase {
    DistanceMetric metric;
    std::vector<std::vector<double>> rows;
    std::vector<double> expected;  // in storage order
};

class MetricValues : public ::testing::TestWithParam<MetricCase> {};

TEST_P(MetricValues, GiveTheDocumentedEntries) {
    const MetricCase& c = GetParam();
    const DistanceTriangle d = distancesOf(c.rows, c.metric);
    ASSERT_EQ(d.entries.size(), c.expected.size());
    for (std::size_t k = 0; k < c.expected.size(); ++k) EXPECT_NEAR(d.entries[k], c.expected[k], 1e-12) << k;
}

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
const double intMax = 2147483647.0, intMin = -2147483648.0;

INSTANTIATE_TEST_SUITE_P(
    Examples, MetricValues,
    ::testing::Values(
        // Values in (-1, 1) truncate to 0, 1.7 to 1; the differences are squared.
        MetricCase{DistanceMetric::Binary, {{0.4, 1.7}, {-0.6, 1.2}}, {0}},
        MetricCase{DistanceMetric::Binary, {{-2.9, 3}, {2.9, 0}}, {16 + 9}},
        // Saturation at the 32-bit limits (not-a-number as 0); no wrap-around.
        MetricCase{DistanceMetric::Binary,
                   {{3e9}, {-3e9}, {notANumber}, {inf}, {2147483647.9}},
                   {(intMax - intMin) * (intMax - intMin), intMax * intMax, 0, 0, intMin * intMin,
                    (intMax - intMin) * (intMax - intMin), (intMax - intMin) * (intMax - intMin), intMax * intMax,
                    intMax * intMax, 0}},
        // A row with itself scaled, with its negation, with itself.
        MetricCase{DistanceMetric::Correlation, {{1, 2, 4}, {3, 6, 12}, {-1, -2, -4}, {1, 2, 4}}, {0, 2, 0, 2, 0, 2}}));

// The blocked, vectorised loops must give every entry bit for bit as the
// pair-by-pair sums do: across register groups and blocks, for every metric.
// Distances computed again from the rows, one by one and in sums over two
// sets of rows, must be or add those same entries (not-a-number ones
// included) in the same order.
TEST(DistanceTriangle, MatchesPairByPairSumsBitForBit) {
    std::vector<double> scratch;
    std::mt19937 random(17);
    std::normal_distribution<double> normal(0.0, 3.0);
    for (int n : {2, 3, 31, 300, 530}) {
        for (int q : {1, 2, 7, 38}) {
            DataMatrix m = allocateMatrix(n, q);
            for (double& v : m.values) v = normal(random);
            if (n > 3) {
                for (int c = 0; c < q; ++c) m.at(2, c) = 1.25;  // a constant row
                for (int c = 0; c < q; ++c) m.at(3, c) = m.at(0, c);
            }
            for (DistanceMetric metric : AllMetrics) {
                DistanceTriangle fast, slow;
                computeDistances(fast, m, metric);
                literal::computeDistances(slow, m, metric);
                ASSERT_EQ(fast.entries.size(), slow.entries.size());
                for (std::size_t k = 0; k < fast.entries.size(); ++k)
                    ASSERT_EQ(bitsOf(fast.entries[k]), bitsOf(slow.entries[k]))
                        << "n " << n << " q " << q << " metric " << static_cast<int>(metric) << " entry " << k;
                // Single pairs, whose sum is the entry itself, then sets.
                for (int trial = 0; trial < 40; ++trial) {
                    const int a = static_cast<int>(random() % static_cast<unsigned>(n));
                    const int b = static_cast<int>(random() % static_cast<unsigned>(n));
                    if (a == b) continue;
                    ASSERT_EQ(bitsOf(sumOfDistances(fast.rows, {a}, {b}, scratch)), bitsOf(fast.between(a, b)))
                        << "n " << n << " q " << q << " metric " << static_cast<int>(metric) << " rows " << a << ", "
                        << b;
                    ASSERT_EQ(bitsOf(rowDistance(fast.rows, a, b)), bitsOf(fast.between(a, b)))
                        << "n " << n << " q " << q << " metric " << static_cast<int>(metric) << " rows " << a << ", "
                        << b << " one by one";
                }
                std::vector<int> sets[3];  // outer, inner, neither
                for (int r = 0; r < n; ++r) sets[random() % 3].push_back(r);
                if (sets[0].empty() || sets[1].empty()) continue;
                double sum = 0;
                for (const int a : sets[0])
                    for (const int b : sets[1]) sum = sum + fast.between(a, b);
                EXPECT_EQ(bitsOf(sumOfDistances(fast.rows, sets[0], sets[1], scratch)), bitsOf(sum))
                    << "n " << n << " q " << q << " metric " << static_cast<int>(metric) << ": " << sets[0].size()
                    << " outer and " << sets[1].size() << " inner rows";
            }
        }
    }
}
