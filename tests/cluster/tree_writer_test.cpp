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

struct ValueTextCase {
    double value;
    const char* text;
};

class ValueText : public ::testing::TestWithParam<ValueTextCase> {};

TEST_P(ValueText, HasSixSignificantDigits) { EXPECT_EQ(formatValueText(GetParam().value), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Table, ValueText,
    ::testing::Values(ValueTextCase{0, "0."}, ValueTextCase{1, "1."}, ValueTextCase{12, "12."},
                      ValueTextCase{0.5, "0.5"}, ValueTextCase{0.1, "0.1"}, ValueTextCase{2.5, "2.5"},
                      ValueTextCase{0.123456789, "0.123457"}, ValueTextCase{37.0 / 6.0, "6.16667"},
                      ValueTextCase{123456.7, "123457"}, ValueTextCase{0.05, "5.e-002"},
                      ValueTextCase{0.0734, "7.34e-002"}, ValueTextCase{0.002, "2.e-003"},
                      ValueTextCase{0.09999996, "1.e-001"}, ValueTextCase{1234567, "1.23457e+006"},
                      ValueTextCase{-2.2e-16, "-2.2e-016"},
                      // Beyond the table: thresholds, rounding across them, signs, wide exponents.
                      ValueTextCase{999999.5, "1000000"}, ValueTextCase{1e6, "1.e+006"},
                      ValueTextCase{99999.95, "99999.9"}, ValueTextCase{9.999996, "10."},
                      ValueTextCase{0.09999999999999999, "1.e-001"}, ValueTextCase{-0.5, "-0.5"},
                      ValueTextCase{-37.0 / 6.0, "-6.16667"}, ValueTextCase{1e100, "1.e+100"},
                      ValueTextCase{-1e-300, "-1.e-300"}, ValueTextCase{4.9e-324, "4.94066e-324"},
                      // Exact halfway cases round to even; decimal halfway texts are decided
                      // by the binary value (0.1234565 is stored a little below the half).
                      ValueTextCase{123456.5, "123456"}, ValueTextCase{123457.5, "123458"},
                      ValueTextCase{1234565, "1.23456e+006"}, ValueTextCase{1234575, "1.23458e+006"},
                      ValueTextCase{0.1234565, "0.123456"}, ValueTextCase{1.125, "1.125"}));

TEST(TreeWriter, NonFiniteValuesHaveFixedSpellings) {
    EXPECT_EQ(formatValueText(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(formatValueText(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(formatValueText(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(formatValueText(-std::numeric_limits<double>::infinity()), "-inf");
}

TEST(TreeWriter, NewHampshireOfTheFiveObjects) {
    const MergeTree tree = fiveObjectTree();
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, FiveNames, false), "(((1,2):1.,3):2.5,(4,5):1.):6.16667;\n");
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, FiveNames, true),
              "(((alpha,beta):1.,gamma):2.5,(delta,epsilon):1.):6.16667;\n");
}

TEST(TreeWriter, SPlusOfTheFiveObjects) {
    const std::string expected =
        "The number of nodes is :      4\n"
        "The nodes of the tree are :\n"
        "\t2\t    -1\t    -2\n"
        "\t2\t    -4\t    -5\n"
        "\t2\t     1\t    -3\n"
        "\t2\t     3\t     2\n"
        "The heights of the tree nodes are :\n"
        "  1.000000\n"
        "  1.000000\n"
        "  2.500000\n"
        "  6.166667\n"
        "The order of objects in the tree is :\n"
        "     4\n"
        "     5\n"
        "     3\n"
        "     1\n"
        "     2\n";
    const MergeTree tree = fiveObjectTree();
    EXPECT_EQ(written(tree, TreeNotation::SPlus, FiveNames, false), expected);
    EXPECT_EQ(written(tree, TreeNotation::SPlus, FiveNames, true), expected);  // names are not used
}

TEST(TreeWriter, AppendsToWhatIsThere) {
    std::string out = "caption\n";
    writeMergeTree(out, fiveObjectTree(), TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(out, "caption\n(((1,2):1.,3):2.5,(4,5):1.):6.16667;\n");
}

TEST(TreeWriter, TwoObjectsAndConfidenceValues) {
    MergeTree tree(2);
    tree.mergePairs = {{-1, -2}};
    tree.heights = {0.5};
    computeLeafOrder(tree);
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, {}, false), "(1,2):0.5;\n");
    MergeTree confidence = fiveObjectTree();
    for (int s = 0; s < 4; ++s) confidence.setHeight(s == 3 ? 1.0 : 0.05, s);
    EXPECT_EQ(written(confidence, TreeNotation::NewHampshire, {}, false),
              "(((1,2):5.e-002,3):5.e-002,(4,5):5.e-002):1.;\n");
    EXPECT_NE(written(confidence, TreeNotation::SPlus, {}, false).find("  0.050000\n  0.050000\n  0.050000\n  1.000000\n"),
              std::string::npos);
}

// A single object has no step: "S_Plus" reports 0 nodes and the order entry
// 0; "New_Hampshire" writes a one-leaf tree that tree readers accept.
TEST(TreeWriter, SingleObject) {
    MergeTree tree(1);
    computeLeafOrder(tree);
    EXPECT_EQ(written(tree, TreeNotation::SPlus, {"only"}, true),
              "The number of nodes is :      0\nThe nodes of the tree are :\n"
              "The heights of the tree nodes are :\nThe order of objects in the tree is :\n     0\n");
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, {"only"}, true), "only;\n");
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, {}, false), "1;\n");
}

TEST(TreeWriter, NonFiniteHeightsInBothNotations) {
    MergeTree tree(3);
    tree.mergePairs = {{-1, -2}, {1, -3}};
    tree.heights = {0.25, std::nan("")};
    computeLeafOrder(tree);
    EXPECT_EQ(written(tree, TreeNotation::NewHampshire, {}, false), "((1,2):0.25,3):nan;\n");
    EXPECT_NE(written(tree, TreeNotation::SPlus, {}, false).find("  0.250000\n       nan\n"), std::string::npos);
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
