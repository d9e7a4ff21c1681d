// Support values of the first tree and the majority-rule selection.

#include <gtest/gtest.h>

#include <vector>

#include "consensus/majority_rule.h"
#include "consensus/sample_clusters.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::makeTree;

// Four-object trees and their clusters (in slot order).
const MergeTree treeA = makeTree(4, {{-1, -2, 0.1}, {-3, -4, 0.2}, {1, 2, 0.3}});  // 12 34 1234
const MergeTree treeB = makeTree(4, {{-1, -2, 0.1}, {1, -3, 0.2}, {2, -4, 0.3}});  // 12 123 1234
const MergeTree treeC = makeTree(4, {{-2, -3, 0.1}, {1, -1, 0.2}, {2, -4, 0.3}});  // 23 123 1234
const MergeTree treeD = makeTree(4, {{-1, -3, 0.1}, {1, -2, 0.2}, {2, -4, 0.3}});  // 13 123 1234
// treeB's clusters formed in another order and with other sides.
const MergeTree treeB2 = makeTree(4, {{-2, -1, 0.5}, {-3, 1, 0.5}, {-4, 2, 0.5}});  // 12 123 1234

std::vector<SampleClusters> summaries(const std::vector<MergeTree>& trees) {
    std::vector<SampleClusters> result;
    for (const MergeTree& tree : trees) result.push_back(summarizeTree(tree));
    return result;
}

struct Selected {
    std::vector<int> members;
    double value;
    bool operator==(const Selected&) const = default;
};

std::vector<Selected> selection(const ClusterList& list) {
    std::vector<Selected> result;
    for (int s = 0; s < list.count(); ++s) {
        const auto& m = list.members[static_cast<std::size_t>(s)];
        result.push_back({{m.begin(), m.begin() + list.memberCounts[static_cast<std::size_t>(s)]},
                          list.values[static_cast<std::size_t>(s)]});
    }
    return result;
}

void PrintTo(const Selected& s, std::ostream* os) {
    *os << "{";
    for (int o : s.members) *os << o << " ";
    *os << ": " << s.value << "}";
}

TEST(SupportValues, FractionOfSamplesHoldingEachCluster) {
    const auto support = computeSupportValues(summarizeTree(treeA),
                                              summaries({treeA, treeB, treeC, treeD}));
    EXPECT_EQ(support, (std::vector<double>{0.5, 0.25, 1.0}));
}

TEST(SupportValues, FirstTreeIsNotCountedAndAbsentClustersGetZero) {
    const auto support = computeSupportValues(summarizeTree(treeD), summaries({treeA, treeB, treeC}));
    EXPECT_EQ(support, (std::vector<double>{0.0, 2 * 1.0 / 3, 1.0}));
}

TEST(SupportValues, SameSetsInOtherStepsAndSidesMatch) {
    const auto support = computeSupportValues(summarizeTree(treeB), summaries({treeB2}));
    EXPECT_EQ(support, (std::vector<double>{1.0, 1.0, 1.0}));
}

struct MajorityCase {
    const char* name;
    std::vector<MergeTree> trees;
    std::vector<Selected> expected;  // in first-occurrence order, before sorting
};

class MajoritySelection : public testing::TestWithParam<MajorityCase> {};

TEST_P(MajoritySelection, SelectsStrictMajoritiesInFirstOccurrenceOrder) {
    const MajorityCase& c = GetParam();
    const ClusterList consensus = selectMajorityClusters(summaries(c.trees), 4);
    EXPECT_EQ(selection(consensus), c.expected);
    EXPECT_EQ(consensus.rowCount, 4);
    for (int s = consensus.count(); s < 4; ++s) EXPECT_EQ(consensus.memberCounts[static_cast<std::size_t>(s)], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MajoritySelection,
    testing::Values(
        // h = 1: every cluster of the one tree, with value 1.
        MajorityCase{"OneSample", {treeB}, {{{1, 2}, 1.0}, {{3, 1, 2}, 1.0}, {{4, 3, 1, 2}, 1.0}}},
        // h = 2: only clusters in both trees.
        MajorityCase{"TwoSamples", {treeA, treeB}, {{{1, 2}, 1.0}, {{1, 2, 3, 4}, 1.0}}},
        // h = 3: {1,2,3} is in lists 1 and 2 only and still selected; {3,4}
        // is in list 0 alone and is not.
        MajorityCase{"ThreeSamples", {treeA, treeB, treeC},
                     {{{1, 2}, 2 * 1.0 / 3}, {{1, 2, 3, 4}, 1.0}, {{3, 1, 2}, 2 * 1.0 / 3}}},
        // h = 4: {1,2} and {3,4} are in exactly half of the trees: not
        // selected; {1,2,3} is in three of four.
        MajorityCase{"FourSamples", {treeA, treeB, treeC, treeD}, {{{1, 2, 3, 4}, 1.0}, {{3, 1, 2}, 0.75}}},
        // {1,2,3} occurs first in list 1 (treeC) and again in lists 2 to 4:
        // selected once, with treeC's member order and the total count.
        MajorityCase{"RepeatedInSourceLists", {treeA, treeC, treeB, treeB2, treeC},
                     {{{1, 2}, 0.6}, {{1, 2, 3, 4}, 1.0}, {{1, 2, 3}, 0.8}}},
        MajorityCase{"IdenticalTrees", {treeA, treeA, treeA},
                     {{{1, 2}, 1.0}, {{3, 4}, 1.0}, {{1, 2, 3, 4}, 1.0}}}),
    [](const testing::TestParamInfo<MajorityCase>& info) { return info.param.name; });

TEST(ConsensusClusters, SortedBySizeWithTheRootLast) {
    const ClusterList consensus = buildConsensusClusters(summaries({treeA, treeB, treeC}), 4);
    EXPECT_EQ(selection(consensus), (std::vector<Selected>{{{1, 2}, 2 * 1.0 / 3},
                                                           {{3, 1, 2}, 2 * 1.0 / 3},
                                                           {{1, 2, 3, 4}, 1.0}}));
}

TEST(ClusterKeys, SumOfMemberKeysWhateverTheMergeOrder) {
    const SampleClusters a = summarizeTree(treeB);
    const SampleClusters b = summarizeTree(treeB2);
    EXPECT_EQ(a.keys, b.keys);
    EXPECT_EQ(a.sizes, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(a.keys[0], objectKey(1) + objectKey(2));
    EXPECT_FALSE(a.keys[0] == objectKey(1) + objectKey(3));
    // Carries from the low into the high word are kept.
    const ClusterKey big{~0ULL, 5};
    EXPECT_EQ(big + (ClusterKey{1, 0}), (ClusterKey{0, 6}));
}

}  // namespace
