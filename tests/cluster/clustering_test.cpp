#include "cluster/clustering.h"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "cluster/cluster_test_support.h"
#include "reference/literal_clustering.h"

using cluster_testing::bitsOf;
using cluster_testing::isWellFormed;
using cluster_testing::matrixOf;

namespace {

constexpr DistanceMetric AllMetrics[] = {DistanceMetric::Correlation, DistanceMetric::Euclidean,
                                         DistanceMetric::Maximum, DistanceMetric::Manhattan,
                                         DistanceMetric::Binary};
constexpr Linkage AllLinkages[] = {Linkage::Average, Linkage::Compact, Linkage::Connected};

MergeTree clustered(const DataMatrix& m, DistanceMetric metric, Linkage linkage) {
    DistanceTriangle d;
    computeDistances(d, m, metric);
    MergeTree tree(m.rowCount);
    clusterObjects(tree, d, linkage);
    return tree;
}

// Heights bit for bit; any two not-a-numbers are written alike.
bool sameValue(double x, double y) { return bitsOf(x) == bitsOf(y) || (std::isnan(x) && std::isnan(y)); }

// Pairs and heights.
::testing::AssertionResult sameTree(const MergeTree& a, const MergeTree& b) {
    if (a.stepCount() != b.stepCount()) return ::testing::AssertionFailure() << "step counts differ";
    for (int s = 0; s < a.stepCount(); ++s) {
        if (a.mergeMember(s, 0) != b.mergeMember(s, 0) || a.mergeMember(s, 1) != b.mergeMember(s, 1) ||
            !sameValue(a.height(s), b.height(s)))
            return ::testing::AssertionFailure()
                   << "step " << s + 1 << ": (" << a.mergeMember(s, 0) << ", " << a.mergeMember(s, 1) << ") at "
                   << a.height(s) << " against (" << b.mergeMember(s, 0) << ", " << b.mergeMember(s, 1) << ") at "
                   << b.height(s);
    }
    return ::testing::AssertionSuccess();
}

void expectSteps(const MergeTree& tree, const std::vector<MergePair>& pairs, const std::vector<double>& heights) {
    ASSERT_EQ(tree.stepCount(), static_cast<int>(pairs.size()));
    for (int s = 0; s < tree.stepCount(); ++s) {
        EXPECT_EQ(tree.mergeMember(s, 0), pairs[static_cast<std::size_t>(s)].member0) << s;
        EXPECT_EQ(tree.mergeMember(s, 1), pairs[static_cast<std::size_t>(s)].member1) << s;
        EXPECT_EQ(tree.height(s), heights[static_cast<std::size_t>(s)]) << s;
    }
}

// The product's trees against the literal transcription's for the given
// linkages, pairs and heights bit for bit; without a workspace the product
// uses its own.
void expectLiteralTrees(const DistanceTriangle& d, ClusteringWorkspace* workspace, const std::string& what,
                        std::initializer_list<Linkage> linkages = {Linkage::Average, Linkage::Compact,
                                                                   Linkage::Connected}) {
    for (Linkage linkage : linkages) {
        MergeTree fast(d.objectCount), slow(d.objectCount);
        if (workspace) clusterObjects(fast, d, linkage, *workspace);
        else clusterObjects(fast, d, linkage);
        literal::clusterObjects(slow, d, linkage);
        ASSERT_TRUE(isWellFormed(fast)) << what;
        ASSERT_TRUE(sameTree(fast, slow)) << what << " linkage " << static_cast<int>(linkage);
    }
}

void expectLiteralTreesForEveryMetric(const DataMatrix& m, ClusteringWorkspace* workspace, const std::string& what) {
    for (DistanceMetric metric : AllMetrics) {
        DistanceTriangle d;
        computeDistances(d, m, metric);
        expectLiteralTrees(d, workspace, what + " metric " + std::to_string(static_cast<int>(metric)));
    }
}

}  // namespace

struct FiveObjectCase {
    Linkage linkage;
    std::vector<double> heights;
};

class FiveObjects : public ::testing::TestWithParam<FiveObjectCase> {};

TEST_P(FiveObjects, GiveTheDocumentedPairsAndHeights) {
    const MergeTree tree = clustered(matrixOf({{0}, {1}, {3}, {7}, {8}}), DistanceMetric::Euclidean, GetParam().linkage);
    expectSteps(tree, {{-1, -2}, {-4, -5}, {1, -3}, {3, 2}}, GetParam().heights);
}

INSTANTIATE_TEST_SUITE_P(Linkages, FiveObjects,
                         ::testing::Values(FiveObjectCase{Linkage::Average, {1, 1, 2.5, 37.0 / 6.0}},
                                           FiveObjectCase{Linkage::Compact, {1, 1, 3, 8}},
                                           FiveObjectCase{Linkage::Connected, {1, 1, 2, 4}}));

TEST(Clustering, OneAndTwoObjects) {
    for (Linkage linkage : AllLinkages) {
        EXPECT_EQ(clustered(matrixOf({{4}}), DistanceMetric::Euclidean, linkage).stepCount(), 0);
        expectSteps(clustered(matrixOf({{4}, {1.5}}), DistanceMetric::Euclidean, linkage), {{-1, -2}}, {2.5});
    }
}

TEST(Clustering, ResizesAMismatchedTree) {
    DistanceTriangle d;
    computeDistances(d, matrixOf({{0}, {1}, {3}}), DistanceMetric::Euclidean);
    MergeTree tree(7);
    clusterObjects(tree, d, Linkage::Average);
    EXPECT_EQ(tree.objectCount, 3);
    EXPECT_TRUE(isWellFormed(tree));
}

// Rows of zero variance make their correlation distances not-a-number. Every
// step must still join two distinct clusters, the clusters with proper
// distances join first, and the last join carries the actual value.
TEST(Clustering, ConstantRowsJoinLastAndNeverWithThemselves) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const DataMatrix m = matrixOf({{5, 5, 5}, {1, 2, 3}, {1, 2, 4}, {3, 1, 2}, {7, 7, 7}});
    for (Linkage linkage : AllLinkages) {
        const MergeTree tree = clustered(m, DistanceMetric::Correlation, linkage);
        EXPECT_TRUE(isWellFormed(tree));
        for (int s = 0; s < 2; ++s) EXPECT_TRUE(std::isfinite(tree.height(s))) << s;
        // The last two steps bring in the two constant rows.
        EXPECT_TRUE(std::isnan(tree.height(2)));
        EXPECT_TRUE(std::isnan(tree.height(3)));
        EXPECT_EQ(tree.mergeMember(3, 0), 3);
    }
    // Only not-a-number distances at all.
    DistanceTriangle d(4);
    for (double& e : d.entries) e = nan;
    for (Linkage linkage : AllLinkages) {
        MergeTree tree(4);
        clusterObjects(tree, d, linkage);
        EXPECT_TRUE(isWellFormed(tree));
        EXPECT_EQ(tree.mergeMember(0, 0), -1);
        EXPECT_EQ(tree.mergeMember(0, 1), -2);
        for (int s = 0; s < 3; ++s) EXPECT_TRUE(std::isnan(tree.height(s)));
    }
}

TEST(Clustering, InfiniteAndHugeDistancesKeepTheTreeWellFormed) {
    const double inf = std::numeric_limits<double>::infinity();
    DistanceTriangle d(5);
    const std::vector<double> values{inf, 1, 2e100, 3, -inf, 1e100, 2, inf, 5, 1e300};
    d.entries = values;
    expectLiteralTrees(d, nullptr, "infinite and huge");
}

// The product's clustering against the literal transcription: many random
// small matrices full of ties (small integers, repeated and constant rows),
// every metric and linkage, pairs and heights bit for bit.
TEST(Clustering, MatchesTheLiteralAlgorithmOnTiedData) {
    std::mt19937 random(2024);
    for (int trial = 0; trial < 120; ++trial) {
        const int n = 2 + static_cast<int>(random() % 29);
        const int q = 1 + static_cast<int>(random() % 4);
        expectLiteralTreesForEveryMetric(cluster_testing::tiedMatrix(random, n, q, trial % 3 != 0), nullptr,
                                         "trial " + std::to_string(trial));
    }
}

// Heights never decrease under "compact" and "connected" with ordinary data.
TEST(Clustering, HeightsNeverDecreaseForCompactAndConnected) {
    std::mt19937 random(99);
    std::normal_distribution<double> normal;
    DataMatrix m = allocateMatrix(60, 5);
    for (double& v : m.values) v = normal(random);
    for (Linkage linkage : {Linkage::Compact, Linkage::Connected}) {
        const MergeTree tree = clustered(m, DistanceMetric::Euclidean, linkage);
        for (int s = 1; s < tree.stepCount(); ++s) EXPECT_LE(tree.height(s - 1), tree.height(s));
    }
}

// Five objects whose last-but-one join depends on the exact summation order
// of "average": object 1's distances to objects 2, 3, 4 are 1, 1 + 2^-52,
// 1 + 2^-52. Summed in the specified order, (1 + x) + x rounds to 3; the
// order in which the cluster {2, 3, 4} was built, 1 + (x + x), gives
// 3 + 2^-51. Specified, object 1 ties with object 5 at exactly 1 and, being
// in the lower slot, joins first; with the other order it would lose.
TEST(Clustering, AverageFollowsTheSpecifiedSummationOrder) {
    const double x = 1 + 0x1p-52;
    ASSERT_EQ((1 + x) + x, 3.0);
    ASSERT_EQ(1 + (x + x), 3 + 0x1p-51);
    DistanceTriangle d(5);
    d.entries = {1, x, x, 2,  // object 1 to 2, 3, 4, 5
                 0.2, 0.3, 1,  // object 2 to 3, 4, 5
                 0.1, 1,       // object 3 to 4, 5
                 1};           // object 4 to 5
    MergeTree tree(5);
    ClusteringWorkspace workspace;
    clusterObjects(tree, d, Linkage::Average, workspace);
    expectSteps(tree, {{-3, -4}, {-2, 1}, {-1, 2}, {3, -5}}, {0.1, 0.25, 1.0, 1.25});
    EXPECT_GT(workspace.exactAverages, 0u);
    expectLiteralTrees(d, &workspace, "summation order", {Linkage::Average});
}

// Triangles built from a few values whose sums round differently in
// different orders, full of exact and near ties: the cached sums cannot
// decide many comparisons, and the exact sums must take over every time.
TEST(Clustering, AverageNearTiesMatchTheLiteralAlgorithm) {
    const double pool[] = {1.0,       1 + 0x1p-52, 1 - 0x1p-53, 1 + 0x1p-51, 0.1, 0.2, 0.3,
                           1.0 / 3.0, 2.0 / 3.0,   0x1p-53,     3.0,         0.7, 0.1 + 0x1p-56};
    std::mt19937 random(31);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
    std::size_t exactAverages = 0;
    ClusteringWorkspace workspace;  // reused across sizes, as a worker thread does
    for (int trial = 0; trial < 150; ++trial) {
        const int n = 3 + trial % 58;
        DistanceTriangle d(n);
        const std::size_t distinct = 2 + static_cast<std::size_t>(trial % 5);  // few values: many ties
        for (double& e : d.entries) e = pool[pick(random) % distinct + (trial % 3) * 2];
        expectLiteralTrees(d, &workspace, "trial " + std::to_string(trial), {Linkage::Average});
        exactAverages += workspace.exactAverages;
        expectLiteralTrees(d, &workspace, "trial " + std::to_string(trial), {Linkage::Compact, Linkage::Connected});
    }
    EXPECT_GT(exactAverages, 1000u);
}

// Larger random data with real values, every metric and linkage, with one
// workspace reused across calls of different sizes.
TEST(Clustering, MatchesTheLiteralAlgorithmOnRealValuedData) {
    std::mt19937 random(77);
    std::normal_distribution<double> normal(0.0, 1.0);
    ClusteringWorkspace workspace;
    for (int trial = 0; trial < 12; ++trial) {
        const int n = 20 + 4 * trial;
        const int q = 2 + trial % 6;
        DataMatrix m = allocateMatrix(n, q);
        for (double& v : m.values) v = normal(random);
        for (int c = 0; c < q; ++c) m.at(n - 1, c) = m.at(0, c);  // a duplicate row
        expectLiteralTreesForEveryMetric(m, &workspace, "trial " + std::to_string(trial));
    }
}

// A few hundred rows drawn around a handful of centres, so that clusters
// grow large and the joins of big clusters, the rescans and the cached
// sums of many terms all occur; every metric and linkage.
TEST(Clustering, MatchesTheLiteralAlgorithmOnClusteredDataOfAFewHundredRows) {
    std::mt19937 random(4242);
    std::normal_distribution<double> normal(0.0, 1.0);
    const int n = 260;
    const int q = 8;
    std::vector<std::vector<double>> centres(6, std::vector<double>(q));
    for (auto& centre : centres)
        for (double& v : centre) v = 4 * normal(random);
    DataMatrix m = allocateMatrix(n, q);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < q; ++c)
            m.at(r, c) = centres[static_cast<std::size_t>(r) % centres.size()][static_cast<std::size_t>(c)] +
                         normal(random);
    ClusteringWorkspace workspace;
    expectLiteralTreesForEveryMetric(m, &workspace, "clustered");
}
