// The first tree's two notations: the value text by hand, any tree shape
// (and its leaf order, ties included) against the literal per-step versions.

#include "cluster/tree_writer.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "cluster/clustering.h"
#include "cluster/cluster_test_support.h"
#include "reference/literal_clustering.h"

namespace {

std::string written(const MergeTree& tree, TreeNotation notation, const NameTable& names, bool hasNames) {
    std::string out;
    writeMergeTree(out, tree, notation, names, hasNames);
    return out;
}

TEST(TreeWriter, ValueTextHasSixSignificantDigits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {0, "0."}, {12, "12."}, {0.5, "0.5"}, {0.123456789, "0.123457"}, {37.0 / 6.0, "6.16667"},
        {123456.7, "123457"}, {0.05, "5.e-002"}, {0.0734, "7.34e-002"}, {0.09999996, "1.e-001"},
        {1234567, "1.23457e+006"}, {-2.2e-16, "-2.2e-016"},
        // Thresholds, rounding across them, signs, wide exponents.
        {999999.5, "1000000"}, {1e6, "1.e+006"}, {99999.95, "99999.9"}, {9.999996, "10."},
        {0.09999999999999999, "1.e-001"}, {-37.0 / 6.0, "-6.16667"}, {1e100, "1.e+100"},
        {-1e-300, "-1.e-300"}, {4.9e-324, "4.94066e-324"},
        // Exact halfway cases round to even; decimal halfway texts are decided
        // by the binary value (0.1234565 is stored a little below the half).
        {123456.5, "123456"}, {123457.5, "123458"}, {1234565, "1.23456e+006"},
        {1234575, "1.23458e+006"}, {0.1234565, "0.123456"},
        // Fixed spellings on every platform.
        {nan, "nan"}, {-nan, "nan"}, {inf, "inf"}, {-inf, "-inf"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatValueText(value), text) << value;
}

// Where printsAlike says so, both ends of the range (and a value between)
// are written alike in both notations; at boundaries, ties, zero and
// negative values it declines, and inside a digit it agrees.
TEST(TreeWriter, PrintsAlikeOnlyWhereBothNotationsAgree) {
    const struct { double low, high; bool alike; } cases[] = {
        {0.1234561, 0.1234562, true}, {0.0734, 0.0734 + 1e-12, true}, {6.16667, 6.16667 + 1e-9, true},
        {1234567, 1234567 + 1e-8, true}, {2e-7, 2e-7 + 1e-20, true},
        {0.1234565 - 1e-9, 0.1234565 + 1e-9, false},   // a six-decimal boundary
        {0.0999999999, 0.1000000001, false},           // the change of notation
        {0.0734565, 0.0734565 + 2e-10, false},         // a significant-digit boundary
        {123456.5, 123456.5, false}, {0.0, 1e-9, false}, {-0.3, -0.2999999, false}, {2.0, 1.0, false},
    };
    for (const auto& c : cases) EXPECT_EQ(printsAlike(c.low, c.high), c.alike) << c.low << " " << c.high;
    auto texts = [](double x) {
        char fixed[400];
        std::snprintf(fixed, sizeof fixed, "%10.6f", x);
        return std::string(fixed) + " " + formatValueText(x);
    };
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> exponent(-9, 8), width(-16, -5);
    int alike = 0;
    for (int k = 0; k < 20000; ++k) {
        const double low = std::pow(10.0, exponent(random));
        const double high = low * (1 + std::pow(10.0, width(random)));
        if (!printsAlike(low, high)) continue;
        ++alike;
        ASSERT_EQ(texts(low), texts(high)) << low << " " << high;
        ASSERT_EQ(texts(low), texts(low + (high - low) / 3)) << low << " " << high;
    }
    EXPECT_GT(alike, 5000);
}

TEST(TreeWriter, NamesAndASingleObject) {
    DistanceTriangle d;
    computeDistances(d, cluster_testing::matrixOf({{0}, {1}, {3}, {7}, {8}}), DistanceMetric::Euclidean);
    MergeTree tree(5);
    clusterObjects(tree, d, Linkage::Average);
    computeLeafOrder(tree);
    // Names as stored, an empty one included; S_Plus does not use them.
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, {"a", "", "c", "d", "e"}, true),
              "(((a,):1.,c):2.5,(d,e):1.):6.16667;\n");
    EXPECT_EQ(written(tree, TreeNotation::SPlus, {"a", "b", "c", "d", "e"}, true),
              written(tree, TreeNotation::SPlus, {}, false));
    // A single object has no step and the order entry 0.
    MergeTree single(1);
    computeLeafOrder(single);
    EXPECT_EQ(written(single, TreeNotation::SPlus, {"only"}, true),
              "The number of nodes is :      0\nThe nodes of the tree are :\n"
              "The heights of the tree nodes are :\nThe order of objects in the tree is :\n     0\n");
    EXPECT_EQ(written(single, TreeNotation::NewHampshire, {"only"}, true), "only;\n");
    EXPECT_EQ(written(single, TreeNotation::NewHampshire, {}, false), "1;\n");
}

// The walks give the leaf order and line that one stored sequence and one
// nested text per step give, on trees of any shape, chains and ties included.
TEST(TreeWriter, WalksMatchTheStepByStepVersions) {
    std::mt19937 random(5);
    const Linkage linkages[] = {Linkage::Average, Linkage::Compact, Linkage::Connected};
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 40;
        const DataMatrix m = cluster_testing::tiedMatrix(random, n, 1 + trial % 3, trial % 2 == 0);
        DistanceTriangle d;
        computeDistances(d, m, trial % 2 ? DistanceMetric::Euclidean : DistanceMetric::Manhattan);
        MergeTree tree(n);
        clusterObjects(tree, d, linkages[trial % 3]);
        ASSERT_EQ(mergeTreeProblem(tree), "");
        MergeTree slow = tree;
        computeLeafOrder(tree);
        literal::computeLeafOrder(slow);
        ASSERT_EQ(tree.leafOrder, slow.leafOrder) << "trial " << trial;
        NameTable names;
        for (int r = 0; r < n; ++r) names.push_back("row_" + std::to_string(r + 1));
        for (bool hasNames : {false, true})
            ASSERT_EQ(written(tree, TreeNotation::NewHampshire, names, hasNames),
                      literal::newHampshireLine(tree, names, hasNames) + "\n");
    }
}

}  // namespace
