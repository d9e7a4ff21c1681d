#include "cluster/merge_tree.h"

#include <random>

#include <gtest/gtest.h>

#include "cluster/clustering.h"
#include "cluster/cluster_test_support.h"
#include "reference/literal_clustering.h"

namespace {

MergeTree treeOf(int n, const std::vector<MergePair>& pairs, const std::vector<double>& heights) {
    MergeTree tree(n);
    tree.mergePairs = pairs;
    tree.heights = heights;
    return tree;
}

}  // namespace

TEST(MergeTree, ConstructionZeroesEveryField) {
    const MergeTree tree(4);
    EXPECT_EQ(tree.stepCount(), 3);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(tree.mergeMember(s, 0), 0);
        EXPECT_EQ(tree.mergeMember(s, 1), 0);
        EXPECT_EQ(tree.height(s), 0.0);
    }
    EXPECT_EQ(tree.leafOrder, (std::vector<int>{0, 0, 0, 0}));
}

TEST(MergeTree, CopyAssignmentCopiesAndSelfAssignmentKeeps) {
    MergeTree a = treeOf(3, {{-1, -3}, {1, -2}}, {0.5, 0.7});
    computeLeafOrder(a);
    MergeTree b(3);
    b = a;
    EXPECT_EQ(b.mergeMember(1, 0), 1);
    EXPECT_EQ(b.height(1), 0.7);
    EXPECT_EQ(b.leafOrder, a.leafOrder);
    MergeTree& alias = b;
    b = alias;
    EXPECT_EQ(b.leafOrder, (std::vector<int>{2, 1, 3}));
}

struct LeafOrderCase {
    const char* name;
    int n;
    std::vector<MergePair> pairs;
    std::vector<double> heights;
    std::vector<int> expected;
};

class LeafOrder : public ::testing::TestWithParam<LeafOrderCase> {};

TEST_P(LeafOrder, FollowsTheTieRules) {
    const LeafOrderCase& c = GetParam();
    MergeTree tree = treeOf(c.n, c.pairs, c.heights);
    computeLeafOrder(tree);
    EXPECT_EQ(tree.leafOrder, c.expected);
    MergeTree slow = treeOf(c.n, c.pairs, c.heights);
    literal::computeLeafOrder(slow);
    EXPECT_EQ(slow.leafOrder, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeafOrder,
    ::testing::Values(
        LeafOrderCase{"worked_example", 4, {{-1, -3}, {-2, -4}, {1, 2}}, {0.2, 0.5, 0.9}, {1, 3, 2, 4}},
        LeafOrderCase{"worked_example_swapped", 4, {{-1, -3}, {-2, -4}, {2, 1}}, {0.2, 0.5, 0.9}, {1, 3, 2, 4}},
        LeafOrderCase{"two_objects_by_number", 5, {{-5, -2}, {1, -1}, {2, -3}, {3, -4}}, {1, 2, 3, 4}, {4, 3, 1, 2, 5}},
        LeafOrderCase{"single_object_first_on_either_side", 3, {{-2, -3}, {1, -1}}, {0.4, 1}, {1, 2, 3}},
        LeafOrderCase{"single_object_against_height_zero_keeps_pair_order", 3, {{-2, -3}, {1, -1}}, {0, 1}, {2, 3, 1}},
        LeafOrderCase{"equal_heights_keep_pair_order", 4, {{-3, -4}, {-1, -2}, {1, 2}}, {0.5, 0.5, 1}, {3, 4, 1, 2}},
        LeafOrderCase{"negative_height_comes_before_single_object", 3, {{-1, -2}, {-3, 1}}, {-0.5, 1}, {1, 2, 3}},
        LeafOrderCase{"one_object_keeps_initial_entry", 1, {}, {}, {0}}),
    [](const auto& info) { return std::string(info.param.name); });

// The walk must reproduce the stored-sequence construction on trees of any
// shape, including chains and equal heights.
TEST(MergeTree, LeafOrderMatchesStoredSequencesOnClusteredTrees) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 40;
        const DataMatrix m = cluster_testing::tiedMatrix(random, n, 1 + trial % 3, trial % 2 == 0);
        DistanceTriangle d;
        literal::computeDistances(d, m, DistanceMetric::Manhattan);
        MergeTree tree(n);
        literal::clusterObjects(tree, d, trial % 3 == 0 ? Linkage::Connected : Linkage::Average);
        MergeTree slow = tree;
        computeLeafOrder(tree);
        literal::computeLeafOrder(slow);
        ASSERT_EQ(tree.leafOrder, slow.leafOrder) << "trial " << trial;
    }
}
