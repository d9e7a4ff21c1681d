#include "cluster/tree_writer.h"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "cluster/clustering.h"
#include "cluster/cluster_test_support.h"
#include "reference/literal_clustering.h"

using cluster_testing::matrixOf;

namespace {

MergeTree fiveObjectTree() {
    DistanceTriangle d;
    computeDistances(d, matrixOf({{0}, {1}, {3}, {7}, {8}}), DistanceMetric::Euclidean);
    MergeTree tree(5);
    clusterObjects(tree, d, Linkage::Average);
    computeLeafOrder(tree);
    return tree;
}

std::string written(const MergeTree& tree, TreeNotation notation, const NameTable& names, bool hasNames) {
    std::string out;
    writeMergeTree(out, tree, notation, names, hasNames);
    return out;
}

const NameTable FiveNames{"alpha", "beta", "gamma", "delta", "epsilon"};

}  // namespace

TEST(TreeWriter, ValueTextHasSixSignificantDigits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {0, "0."}, {1, "1."}, {12, "12."}, {0.5, "0.5"}, {0.1, "0.1"}, {2.5, "2.5"},
        {0.123456789, "0.123457"}, {37.0 / 6.0, "6.16667"}, {123456.7, "123457"}, {0.05, "5.e-002"},
        {0.0734, "7.34e-002"}, {0.002, "2.e-003"}, {0.09999996, "1.e-001"}, {1234567, "1.23457e+006"},
        {-2.2e-16, "-2.2e-016"},
        // Thresholds, rounding across them, signs, wide exponents.
        {999999.5, "1000000"}, {1e6, "1.e+006"}, {99999.95, "99999.9"}, {9.999996, "10."},
        {0.09999999999999999, "1.e-001"}, {-0.5, "-0.5"}, {-37.0 / 6.0, "-6.16667"},
        {1e100, "1.e+100"}, {-1e-300, "-1.e-300"}, {4.9e-324, "4.94066e-324"},
        // Exact halfway cases round to even; decimal halfway texts are decided
        // by the binary value (0.1234565 is stored a little below the half).
        {123456.5, "123456"}, {123457.5, "123458"}, {1234565, "1.23456e+006"},
        {1234575, "1.23458e+006"}, {0.1234565, "0.123456"}, {1.125, "1.125"},
        // Fixed spellings on every platform.
        {nan, "nan"}, {-nan, "nan"}, {inf, "inf"}, {-inf, "-inf"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatValueText(value), text) << value;
}

TEST(TreeWriter, LabelsAndSingleObject) {
    const MergeTree tree = fiveObjectTree();
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, FiveNames, false), "(((1,2):1.,3):2.5,(4,5):1.):6.16667;\n");
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, FiveNames, true),
              "(((alpha,beta):1.,gamma):2.5,(delta,epsilon):1.):6.16667;\n");
    // An empty name is written as stored, and so shown by the picture and table too.
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, {"a", "", "c", "d", "e"}, true),
              "(((a,):1.,c):2.5,(d,e):1.):6.16667;\n");
    EXPECT_EQ(leafLabel(2, {"a", ""}, true), "");
    EXPECT_EQ(leafLabel(2, {"a", ""}, false), "2");
    // S_Plus does not use names; a single object has no step and the order entry 0.
    EXPECT_EQ(written(tree, TreeNotation::SPlus, FiveNames, true), written(tree, TreeNotation::SPlus, {}, false));
    MergeTree single(1);
    computeLeafOrder(single);
    EXPECT_EQ(written(single, TreeNotation::SPlus, {"only"}, true),
              "The number of nodes is :      0\nThe nodes of the tree are :\n"
              "The heights of the tree nodes are :\nThe order of objects in the tree is :\n     0\n");
    EXPECT_EQ(written(single, TreeNotation::NewHampshire, {"only"}, true), "only;\n");
    EXPECT_EQ(written(single, TreeNotation::NewHampshire, {}, false), "1;\n");
}

TEST(TreeWriter, StepValuesReplaceTheHeights) {
    const MergeTree tree = fiveObjectTree();
    const std::vector<double> confidence{0.05, 0.05, std::nan(""), 1.0};
    std::string out = "caption\n";
    writeMergeTree(out, tree, confidence, TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(out, "caption\n(((1,2):5.e-002,3):nan,(4,5):5.e-002):1.;\n");
    out.clear();
    writeMergeTree(out, tree, confidence, TreeNotation::SPlus, {}, false);
    EXPECT_NE(out.find("  0.050000\n  0.050000\n       nan\n  1.000000\n"), std::string::npos);
    EXPECT_NE(out.find(":\n     4\n     5\n     3\n     1\n     2\n"), std::string::npos);  // the leaf order
}

// The walk writes the same line as one nested text per step would, for
// trees of any shape.
TEST(TreeWriter, NewHampshireMatchesNestedTextsPerStep) {
    std::mt19937 random(8);
    for (int trial = 0; trial < 100; ++trial) {
        const int n = 2 + trial % 35;
        const DataMatrix m = cluster_testing::tiedMatrix(random, n, 2, trial % 2 == 0);
        DistanceTriangle d;
        computeDistances(d, m, DistanceMetric::Euclidean);
        MergeTree tree(n);
        clusterObjects(tree, d, trial % 3 == 0 ? Linkage::Compact : Linkage::Average);
        NameTable names;
        for (int r = 0; r < n; ++r) names.push_back("row_" + std::to_string(r + 1));
        for (bool hasNames : {false, true})
            ASSERT_EQ(written(tree, TreeNotation::NewHampshire, names, hasNames),
                      literal::newHampshireLine(tree, names, hasNames) + "\n");
    }
}
