// Cluster lists built from trees, compared, copied, assigned and sorted.

#include <gtest/gtest.h>

#include <vector>

#include "consensus/cluster_list.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::clustersOf;
using consensus_test::listOf;
using consensus_test::makeTree;

std::vector<int> slotMembers(const ClusterList& list, int slot) {
    const auto& m = list.members[static_cast<std::size_t>(slot)];
    return {m.begin(), m.begin() + list.memberCounts[static_cast<std::size_t>(slot)]};
}

TEST(ClusterListFromTree, OneClusterPerStepAndAnEmptyLastSlot) {
    const MergeTree tree = makeTree(5, {{-1, -2, 1.0}, {-4, -5, 1.0}, {1, -3, 2.5}, {3, 2, 6.25}});
    const ClusterList list = listOf(tree);
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(slotMembers(list, 0), (std::vector<int>{1, 2}));
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{4, 5}));
    // The single object 3 (height 0) is lower than cluster 1 (height 1).
    EXPECT_EQ(slotMembers(list, 2), (std::vector<int>{3, 1, 2}));
    // Cluster 2 (height 1) is lower than cluster 3 (height 2.5).
    EXPECT_EQ(slotMembers(list, 3), (std::vector<int>{4, 5, 3, 1, 2}));
    EXPECT_EQ(list.values, (std::vector<double>{1.0, 1.0, 2.5, 6.25, 0.0}));
    EXPECT_EQ(list.memberCounts[4], 0);
    EXPECT_TRUE(list.members[4].empty());
}

TEST(ClusterListFromTree, TwoObjects) {
    const ClusterList list = listOf(makeTree(2, {{-2, -1, 0.5}}));
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(slotMembers(list, 0), (std::vector<int>{1, 2}));
    EXPECT_EQ(list.memberCounts[1], 0);
}

TEST(ClusterListFromTree, OneObjectHasNoClusters) {
    const ClusterList list = listOf(MergeTree(1));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.memberCounts, std::vector<int>{0});
}

struct JoinCase {
    const char* name;
    std::vector<consensus_test::Step> steps;
    int slot;
    std::vector<int> members;
};

class ClusterListJoin : public testing::TestWithParam<JoinCase> {};

TEST_P(ClusterListJoin, JoinsSidesInTheStoredOrder) {
    const JoinCase& c = GetParam();
    const ClusterList list = listOf(makeTree(static_cast<int>(c.steps.size()) + 1, c.steps));
    EXPECT_EQ(slotMembers(list, c.slot), c.members);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClusterListJoin,
    testing::Values(
        JoinCase{"SingleObjectsSmallerFirstA", {{-7, -3, 0.1}, {-1, -2, 0.1}, {-4, -5, 0.1}, {-6, 1, 0.2}, {2, 3, 0.2}, {4, 5, 0.3}}, 0, {3, 7}},
        JoinCase{"SingleObjectsSmallerFirstB", {{-3, -7, 0.1}, {-1, -2, 0.1}, {-4, -5, 0.1}, {-6, 1, 0.2}, {2, 3, 0.2}, {4, 5, 0.3}}, 0, {3, 7}},
        JoinCase{"EqualHeightsThroughTheTree", {{-7, -3, 0.1}, {-1, -2, 0.1}, {-4, -5, 0.1}, {-6, 1, 0.2}, {2, 3, 0.2}, {4, 5, 0.3}}, 5, {4, 5, 1, 2, 6, 3, 7}},
        JoinCase{"SingleBeforeHigherClusterAsMember1", {{-1, -2, 0.4}, {1, -3, 0.5}}, 1, {3, 1, 2}},
        JoinCase{"SingleBeforeHigherClusterAsMember0", {{-1, -2, 0.4}, {-3, 1, 0.5}}, 1, {3, 1, 2}},
        JoinCase{"EqualClusterHeightsMember1First", {{-1, -2, 0.4}, {-3, -4, 0.4}, {1, 2, 0.9}}, 2, {3, 4, 1, 2}},
        JoinCase{"SingleWithClusterAtZeroMember1FirstA", {{-1, -2, 0.0}, {-3, 1, 0.5}}, 1, {1, 2, 3}},
        JoinCase{"SingleWithClusterAtZeroMember1FirstB", {{-1, -2, 0.0}, {1, -3, 0.5}}, 1, {3, 1, 2}},
        JoinCase{"LowerMember0First", {{-1, -2, 0.2}, {-3, -4, 0.5}, {1, 2, 0.9}}, 2, {1, 2, 3, 4}},
        JoinCase{"HigherMember0Second", {{-1, -2, 0.5}, {-3, -4, 0.2}, {1, 2, 0.9}}, 2, {3, 4, 1, 2}}),
    [](const testing::TestParamInfo<JoinCase>& info) { return info.param.name; });

TEST(ClusterListFromTree, RefillingReplacesClustersAndKeepsTheLastValue) {
    ClusterList list = listOf(makeTree(3, {{-1, -2, 0.1}, {1, -3, 0.2}}));
    list.setValue(7.0, 2);
    list.fromMergeTree(makeTree(3, {{-2, -3, 0.3}, {-1, 1, 0.4}}));
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(slotMembers(list, 0), (std::vector<int>{2, 3}));
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.values, (std::vector<double>{0.3, 0.4, 7.0}));
}

TEST(ClusterListContains, ComparesMemberSets) {
    const ClusterList a = clustersOf(5, {{1, 2}, {3, 4, 5}, {1, 2, 3, 4, 5}}, {});
    const ClusterList b = clustersOf(5, {{2, 1}, {5, 3, 4}, {1, 2, 3}, {5, 4, 3, 2, 1}}, {});
    const ClusterList c = clustersOf(5, {{1, 3}, {1, 2, 3}, {1, 2, 3, 4}}, {});
    EXPECT_TRUE(a.containsCluster(0, b));   // same set, other order
    EXPECT_TRUE(a.containsCluster(1, b));
    EXPECT_TRUE(a.containsCluster(2, b));
    EXPECT_FALSE(a.containsCluster(0, c));  // {1,2} is only inside larger clusters
    EXPECT_FALSE(a.containsCluster(1, c));  // same size, other members
    EXPECT_TRUE(c.containsCluster(1, b));
    EXPECT_FALSE(c.containsCluster(2, b));
}

TEST(ClusterListContains, EmptySlotIsNeverContained) {
    const ClusterList a = clustersOf(3, {{1, 2}}, {});
    const ClusterList b = clustersOf(3, {{1, 2}}, {});
    EXPECT_FALSE(a.containsCluster(1, b));
    EXPECT_FALSE(a.containsCluster(2, a));
    EXPECT_FALSE(a.containsCluster(0, ClusterList(3)));
}

TEST(ClusterListCopyMembers, CopiesInStoredOrderAndClearsTheRest) {
    const ClusterList list = clustersOf(4, {{3, 1}, {4, 2, 1, 3}}, {});
    std::vector<int> destination(4, 9);
    EXPECT_EQ(list.copyMembers(destination, 0), 2);
    EXPECT_EQ(destination, (std::vector<int>{3, 1, 0, 0}));
    EXPECT_EQ(list.copyMembers(destination, 1), 4);
    EXPECT_EQ(destination, (std::vector<int>{4, 2, 1, 3}));
    EXPECT_EQ(list.copyMembers(destination, 3), 0);
    EXPECT_EQ(destination, (std::vector<int>{0, 0, 0, 0}));
}

TEST(ClusterListAssign, CountsNonEmptySlotsAndClearsOldValues) {
    ClusterList list = listOf(makeTree(4, {{-1, -2, 0.5}, {-3, -4, 0.6}, {1, 2, 0.7}}));
    list.assign({{4, 3, 1}, {1, 2, 3, 4}, {}, {}}, {3, 4, 0, 0});
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(slotMembers(list, 0), (std::vector<int>{4, 3, 1}));
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(list.values, (std::vector<double>{0, 0, 0, 0}));
    EXPECT_TRUE(list.members[2].empty());
    // Only the first sizes[s] entries of each array are copied.
    list.assign({{2, 1, 9}, {}, {}, {}}, {2, 0, 0, 0});
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.members[0], (std::vector<int>{2, 1}));
}

TEST(ClusterListSort, ExchangeSortCarriesEqualSizesPastEachOther) {
    // Sizes 2 (a), 2 (b), 1 (c): c is exchanged with a, then b with a.
    ClusterList list = clustersOf(4, {{1, 2}, {3, 4}, {1}}, {0.1, 0.2, 0.3});
    list.sortBySize();
    EXPECT_EQ(slotMembers(list, 0), std::vector<int>{1});
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{3, 4}));
    EXPECT_EQ(slotMembers(list, 2), (std::vector<int>{1, 2}));
    EXPECT_EQ(list.values, (std::vector<double>{0.3, 0.2, 0.1, 0.0}));
}

TEST(ClusterListSort, OrdersByAscendingSizeAndLeavesEmptySlots) {
    ClusterList list = clustersOf(6, {{1, 2, 3, 4, 5, 6}, {1, 2}, {3, 4, 5}, {5, 6}, {3, 4}},
                                  {1.0, 0.9, 0.8, 0.7, 0.6});
    list.sortBySize();
    EXPECT_EQ(list.memberCounts, (std::vector<int>{2, 2, 2, 3, 6, 0}));
    // i=0 takes {1,2}; i=1 takes {3,4,5}, then {5,6}; i=2 takes {3,4,5}, then {3,4}.
    EXPECT_EQ(slotMembers(list, 0), (std::vector<int>{1, 2}));
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{5, 6}));
    EXPECT_EQ(slotMembers(list, 2), (std::vector<int>{3, 4}));
    EXPECT_EQ(slotMembers(list, 3), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(list.values, (std::vector<double>{0.9, 0.7, 0.6, 0.8, 1.0, 0.0}));
}

}  // namespace
