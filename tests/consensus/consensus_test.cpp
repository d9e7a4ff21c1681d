// Hand-worked cases of the rules the differential test cannot judge on its
// own: the unstable size sort, strict majorities, the child order of the
// consensus tree, one object, and a chain too deep for recursion.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "consensus/consensus_writer.h"
#include "consensus/majority_rule.h"
#include "consensus/sample_clusters.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::clustersOf;
using consensus_test::makeTree;
using consensus_test::slotMembers;

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

TEST(ClusterList, ExchangeSortBySizeIsNotStable) {
    // Sizes 2 (a), 2 (b), 1 (c): c is exchanged with a, then b with a.
    ClusterList list = clustersOf(4, {{1, 2}, {3, 4}, {1}}, {0.1, 0.2, 0.3});
    list.sortBySize();
    EXPECT_EQ(selection(list), (std::vector<Selected>{{{1}, 0.3}, {{3, 4}, 0.2}, {{1, 2}, 0.1}}));
}

TEST(MajoritySelection, StrictMajoritiesInFirstOccurrenceOrder) {
    const MergeTree treeA = makeTree(4, {{-1, -2, 0.1}, {-3, -4, 0.2}, {1, 2, 0.3}});  // 12 34 1234
    const MergeTree treeB = makeTree(4, {{-1, -2, 0.1}, {1, -3, 0.2}, {2, -4, 0.3}});  // 12 123 1234
    const MergeTree treeC = makeTree(4, {{-2, -3, 0.1}, {1, -1, 0.2}, {2, -4, 0.3}});  // 23 123 1234
    const MergeTree treeD = makeTree(4, {{-1, -3, 0.1}, {1, -2, 0.2}, {2, -4, 0.3}});  // 13 123 1234
    // treeB's clusters formed with other sides and heights.
    const MergeTree treeB2 = makeTree(4, {{-2, -1, 0.5}, {-3, 1, 0.5}, {-4, 2, 0.5}});
    const struct {
        std::vector<MergeTree> trees;
        std::vector<Selected> expected;
    } cases[] = {
        // {1,2,3} is in lists 1 and 2 only and still selected; {3,4} in list 0 alone is not.
        {{treeA, treeB, treeC}, {{{1, 2}, 2 * 1.0 / 3}, {{1, 2, 3, 4}, 1.0}, {{3, 1, 2}, 2 * 1.0 / 3}}},
        // {1,2} and {3,4} in exactly half of the trees are not selected.
        {{treeA, treeB, treeC, treeD}, {{{1, 2, 3, 4}, 1.0}, {{3, 1, 2}, 0.75}}},
        // Selected once, with the first list's member order and the total count.
        {{treeA, treeC, treeB, treeB2, treeC}, {{{1, 2}, 0.6}, {{1, 2, 3, 4}, 1.0}, {{1, 2, 3}, 0.8}}},
    };
    for (const auto& c : cases) {
        std::vector<SampleClusters> samples;
        for (const MergeTree& tree : c.trees) samples.push_back(summarizeTree(tree));
        EXPECT_EQ(selection(selectMajorityClusters(samples, 4)), c.expected) << c.trees.size();
    }
}

std::string written(const ClusterList& list, TreeNotation notation, const NameTable& names = {}) {
    std::string out;
    writeConsensusTree(out, buildConsensusTree(list), notation, names, !names.empty());
    return out;
}

TEST(ConsensusTree, NestsAndOrdersChildren) {
    const struct {
        int n;
        std::vector<std::vector<int>> clusters;  // ascending by size, the root last
        std::vector<double> values;
        std::vector<int> objectOrder;
        std::string newHampshire;
    } cases[] = {
        // Found as cluster 2, cluster 1; equal child counts are not exchanged.
        {4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.9, 0.8, 1.0}, {2, 1, 4, 3}, "((3,4):0.8,(1,2):0.9):1.;\n"},
        // Found as 3, 2, 1, object 8: the object comes first and cluster 1
        // ends before cluster 2 though both have two children.
        {8, {{2, 1}, {4, 3}, {7, 5, 6}, {8, 7, 6, 5, 4, 3, 2, 1}}, {0.9, 0.8, 0.7, 1.0},
         {7, 6, 5, 4, 3, 2, 1, 8}, "(8,(1,2):0.9,(3,4):0.8,(5,6,7):0.7):1.;\n"},
        // Objects ascend whatever their stored order.
        {4, {{3, 1}, {4, 3, 2, 1}}, {0.55, 1.0}, {3, 1, 4, 2}, "(2,4,(1,3):0.55):1.;\n"},
        {3, {{3, 1, 2}}, {1.0}, {3, 2, 1}, "(1,2,3):1.;\n"},
    };
    for (const auto& c : cases) {
        const ClusterList list = clustersOf(c.n, c.clusters, c.values);
        EXPECT_EQ(buildConsensusTree(list).objectOrder, c.objectOrder) << c.newHampshire;
        EXPECT_EQ(written(list, TreeNotation::NewHampshire), c.newHampshire);
    }
}

TEST(ConsensusTree, OneObjectHasNoRoot) {
    EXPECT_EQ(written(ClusterList(1), TreeNotation::SPlus),
              "The number of nodes is : 0\nThe nodes of the tree are :\n"
              "The heights of the tree nodes are :\nThe order of the objects in the tree is :\n1\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire), "1;\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire, {"onlyGene"}), "onlyGene;\n");
}

TEST(ConsensusTree, LongChainIsWrittenWithoutDeepRecursion) {
    const int n = 3000;  // {1,2}, {1,2,3}, ...: one node per level
    std::vector<std::vector<int>> clusters;
    std::vector<int> members{1};
    for (int size = 2; size <= n; ++size) {
        members.push_back(size);
        clusters.push_back(members);
    }
    const std::string out =
        written(clustersOf(n, clusters, std::vector<double>(n - 1, 1.0)), TreeNotation::NewHampshire);
    EXPECT_EQ(std::count(out.begin(), out.end(), '('), n - 1);
    EXPECT_TRUE(out.starts_with("(3000,(2999,"));
    EXPECT_NE(out.find(",(3,(1,2):1.):1.):1."), std::string::npos);
    EXPECT_TRUE(out.ends_with("):1.):1.;\n"));
}

}  // namespace
