// The cluster list's size sort, cluster keys and the majority-rule selection
// (support values and member order: see the differential test).

#include <gtest/gtest.h>

#include <vector>

#include "consensus/majority_rule.h"
#include "consensus/sample_clusters.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::clustersOf;
using consensus_test::makeTree;
using consensus_test::slotMembers;

// Four-object trees and their clusters (in slot order).
const MergeTree treeA = makeTree(4, {{-1, -2, 0.1}, {-3, -4, 0.2}, {1, 2, 0.3}});  // 12 34 1234
const MergeTree treeB = makeTree(4, {{-1, -2, 0.1}, {1, -3, 0.2}, {2, -4, 0.3}});  // 12 123 1234
const MergeTree treeC = makeTree(4, {{-2, -3, 0.1}, {1, -1, 0.2}, {2, -4, 0.3}});  // 23 123 1234
const MergeTree treeD = makeTree(4, {{-1, -3, 0.1}, {1, -2, 0.2}, {2, -4, 0.3}});  // 13 123 1234
// treeB's clusters formed with other sides and heights.
const MergeTree treeB2 = makeTree(4, {{-2, -1, 0.5}, {-3, 1, 0.5}, {-4, 2, 0.5}});  // 12 123 1234

std::vector<SampleClusters> summaries(const std::vector<MergeTree>& trees) {
    std::vector<SampleClusters> result;
    for (const MergeTree& tree : trees) result.push_back(summarizeTree(tree));
    return result;
}

TEST(ClusterList, ExchangeSortBySizeIsNotStable) {
    // Sizes 2 (a), 2 (b), 1 (c): c is exchanged with a, then b with a.
    ClusterList list = clustersOf(4, {{1, 2}, {3, 4}, {1}}, {0.1, 0.2, 0.3});
    list.sortBySize();
    EXPECT_EQ(slotMembers(list, 0), std::vector<int>{1});
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{3, 4}));
    EXPECT_EQ(slotMembers(list, 2), (std::vector<int>{1, 2}));
    EXPECT_EQ(list.values, (std::vector<double>{0.3, 0.2, 0.1, 0.0}));
    EXPECT_EQ(list.memberCounts, (std::vector<int>{1, 2, 2, 0}));
    // Assigning again replaces clusters and values; only sizes[s] entries count.
    list.assign({{2, 1, 9}, {}, {}, {}}, {2, 0, 0, 0});
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.members[0], (std::vector<int>{2, 1}));
    EXPECT_EQ(list.values, (std::vector<double>{0, 0, 0, 0}));
}

struct Selected {
    std::vector<int> members;
    double value;
    bool operator==(const Selected&) const = default;
};

void PrintTo(const Selected& s, std::ostream* os) {
    for (int o : s.members) *os << o << " ";
    *os << ": " << s.value;
}

std::vector<Selected> selection(const ClusterList& list) {
    std::vector<Selected> result;
    for (int s = 0; s < list.count(); ++s) result.push_back({slotMembers(list, s), list.values[index(s)]});
    return result;
}

TEST(MajoritySelection, StrictMajoritiesInFirstOccurrenceOrder) {
    struct Case {
        const char* what;
        std::vector<MergeTree> trees;
        std::vector<Selected> expected;
    };
    const Case cases[] = {
        {"h = 1: every cluster of the one tree", {treeB}, {{{1, 2}, 1.0}, {{3, 1, 2}, 1.0}, {{4, 3, 1, 2}, 1.0}}},
        {"h = 2: only clusters in both trees", {treeA, treeB}, {{{1, 2}, 1.0}, {{1, 2, 3, 4}, 1.0}}},
        // {1,2,3} is in lists 1 and 2 only and still selected; {3,4} in list 0 alone is not.
        {"h = 3", {treeA, treeB, treeC}, {{{1, 2}, 2 * 1.0 / 3}, {{1, 2, 3, 4}, 1.0}, {{3, 1, 2}, 2 * 1.0 / 3}}},
        // {1,2} and {3,4} in exactly half of the trees are not selected.
        {"h = 4", {treeA, treeB, treeC, treeD}, {{{1, 2, 3, 4}, 1.0}, {{3, 1, 2}, 0.75}}},
        // Selected once, with the first list's member order and the total count.
        {"repeated in source lists", {treeA, treeC, treeB, treeB2, treeC},
         {{{1, 2}, 0.6}, {{1, 2, 3, 4}, 1.0}, {{1, 2, 3}, 0.8}}},
    };
    for (const Case& c : cases) {
        const ClusterList consensus = selectMajorityClusters(summaries(c.trees), 4);
        EXPECT_EQ(selection(consensus), c.expected) << c.what;
        for (int s = consensus.count(); s < 4; ++s) EXPECT_EQ(consensus.memberCounts[index(s)], 0) << c.what;
    }
    EXPECT_EQ(selection(buildConsensusClusters(summaries({treeA, treeB, treeC}), 4)),
              (std::vector<Selected>{{{1, 2}, 2 * 1.0 / 3}, {{3, 1, 2}, 2 * 1.0 / 3}, {{1, 2, 3, 4}, 1.0}}));
}

TEST(ClusterKeys, SumOfMemberKeysWhateverTheMergeOrder) {
    const SampleClusters a = summarizeTree(treeB);
    EXPECT_EQ(a.keys, summarizeTree(treeB2).keys);
    EXPECT_EQ(a.sizes, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(a.keys[0], objectKey(1) + objectKey(2));
    EXPECT_FALSE(a.keys[0] == objectKey(1) + objectKey(3));
    // Carries from the low into the high word are kept.
    EXPECT_EQ((ClusterKey{~0ULL, 5}) + (ClusterKey{1, 0}), (ClusterKey{0, 6}));
}

}  // namespace
