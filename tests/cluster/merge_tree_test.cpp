#include "cluster/merge_tree.h"

#include <random>

#include <gtest/gtest.h>

#include "cluster/clustering.h"
#include "cluster/cluster_test_support.h"
#include "reference/literal_clustering.h"

TEST(LeafOrder, FollowsTheTieRules) {
    struct Case {
        const char* what;
        int n;
        std::vector<MergePair> pairs;
        std::vector<double> heights;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"worked example", 4, {{-1, -3}, {-2, -4}, {1, 2}}, {0.2, 0.5, 0.9}, {1, 3, 2, 4}},
        {"worked example swapped", 4, {{-1, -3}, {-2, -4}, {2, 1}}, {0.2, 0.5, 0.9}, {1, 3, 2, 4}},
        {"two objects by number", 5, {{-5, -2}, {1, -1}, {2, -3}, {3, -4}}, {1, 2, 3, 4}, {4, 3, 1, 2, 5}},
        {"single object first on either side", 3, {{-2, -3}, {1, -1}}, {0.4, 1}, {1, 2, 3}},
        {"single object against height zero keeps pair order", 3, {{-2, -3}, {1, -1}}, {0, 1}, {2, 3, 1}},
        {"equal heights keep pair order", 4, {{-3, -4}, {-1, -2}, {1, 2}}, {0.5, 0.5, 1}, {3, 4, 1, 2}},
        {"negative height before a single object", 3, {{-1, -2}, {-3, 1}}, {-0.5, 1}, {1, 2, 3}},
        {"one object keeps its initial entry", 1, {}, {}, {0}},
    };
    for (const Case& c : cases) {
        MergeTree tree(c.n);
        tree.mergePairs = c.pairs;
        tree.heights = c.heights;
        MergeTree slow = tree;
        computeLeafOrder(tree);
        literal::computeLeafOrder(slow);
        EXPECT_EQ(tree.leafOrder, c.expected) << c.what;
        EXPECT_EQ(slow.leafOrder, c.expected) << c.what;
    }
}

// The walk must reproduce the stored-sequence construction on trees of any
// shape, including chains and equal heights.
TEST(LeafOrder, MatchesStoredSequencesOnClusteredTrees) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 40;
        const DataMatrix m = cluster_testing::tiedMatrix(random, n, 1 + trial % 3, trial % 2 == 0);
        DistanceTriangle d;
        literal::computeDistances(d, m, DistanceMetric::Manhattan);
        MergeTree tree(n);
        literal::clusterObjects(tree, d, trial % 3 == 0 ? Linkage::Connected : Linkage::Average);
        EXPECT_EQ(mergeTreeProblem(tree), "");
        MergeTree slow = tree;
        computeLeafOrder(tree);
        literal::computeLeafOrder(slow);
        ASSERT_EQ(tree.leafOrder, slow.leafOrder) << "trial " << trial;
    }
}
