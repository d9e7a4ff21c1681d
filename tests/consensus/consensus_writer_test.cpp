// The consensus tree: nesting, child order, member rebuild, both notations,
// and the consensus stage's part of the report.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "consensus/consensus_stage.h"
#include "consensus/consensus_writer.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::clustersOf;
using consensus_test::makeTree;

std::string written(const ClusterList& list, TreeNotation notation, const NameTable& names = {},
                    bool hasRowNames = false) {
    std::string out;
    writeConsensusTree(out, buildConsensusTree(list), notation, names, hasRowNames);
    return out;
}

TEST(ConsensusTree, NestsAndOrdersChildren) {
    struct Case {
        const char* what;
        int n;
        std::vector<std::vector<int>> clusters;  // ascending by size, the root last
        std::vector<double> values;
        std::vector<int> rootMembers;
        std::vector<int> objectOrder;
        std::string newHampshire;
    };
    const Case cases[] = {
        // Found as cluster 2, cluster 1; equal child counts are not exchanged.
        {"two disjoint clusters", 4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.9, 0.8, 1.0},
         {3, 4, 1, 2}, {2, 1, 4, 3}, "((3,4):0.8,(1,2):0.9):1.;\n"},
        {"single objects before clusters", 4, {{1, 2}, {1, 2, 3}, {1, 2, 3, 4}}, {0.7, 0.6, 1.0},
         {4, 3, 1, 2}, {2, 1, 3, 4}, "(4,(3,(1,2):0.7):0.6):1.;\n"},
        // Found as 3, 2, 1, object 8: the object comes first and cluster 1
        // ends before cluster 2 though both have two children.
        {"exchange sort is not stable", 8, {{2, 1}, {4, 3}, {7, 5, 6}, {8, 7, 6, 5, 4, 3, 2, 1}},
         {0.9, 0.8, 0.7, 1.0}, {8, 1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1, 8},
         "(8,(1,2):0.9,(3,4):0.8,(5,6,7):0.7):1.;\n"},
        {"objects ascend whatever their stored order", 4, {{3, 1}, {4, 3, 2, 1}}, {0.55, 1.0},
         {2, 4, 1, 3}, {3, 1, 4, 2}, "(2,4,(1,3):0.55):1.;\n"},
        {"root alone", 3, {{3, 1, 2}}, {1.0}, {1, 2, 3}, {3, 2, 1}, "(1,2,3):1.;\n"},
    };
    for (const Case& c : cases) {
        const ClusterList list = clustersOf(c.n, c.clusters, c.values);
        const ConsensusTree tree = buildConsensusTree(list);
        EXPECT_EQ(tree.members.back(), c.rootMembers) << c.what;
        EXPECT_EQ(tree.objectOrder, c.objectOrder) << c.what;
        EXPECT_EQ(tree.values, c.values) << c.what;
        EXPECT_EQ(written(list, TreeNotation::NewHampshire), c.newHampshire) << c.what;
    }
}

TEST(ConsensusWriter, LongChainIsWrittenWithoutDeepRecursion) {
    const int n = 3000;  // {1,2}, {1,2,3}, ...: one node per level
    std::vector<std::vector<int>> clusters;
    std::vector<int> members{1};
    for (int size = 2; size <= n; ++size) {
        members.push_back(size);
        clusters.push_back(members);
    }
    const ConsensusTree tree = buildConsensusTree(clustersOf(n, clusters, std::vector<double>(n - 1, 1.0)));
    std::string out;
    writeConsensusTree(out, tree, TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(std::count(out.begin(), out.end(), '('), n - 1);
    EXPECT_EQ(out.substr(0, 12), "(3000,(2999,");
    EXPECT_NE(out.find(",(3,(1,2):1.):1.):1."), std::string::npos);
    EXPECT_TRUE(out.ends_with("):1.):1.;\n"));
    EXPECT_EQ(tree.objectOrder.front(), 2);
    EXPECT_EQ(tree.objectOrder.back(), n);
}

TEST(ConsensusWriter, OneObjectHasNoRootAndNamesAreWrittenAsStored) {
    EXPECT_EQ(written(ClusterList(1), TreeNotation::SPlus),
              "The number of nodes is : 0\n"
              "The nodes of the tree are :\n"
              "The heights of the tree nodes are :\n"
              "The order of the objects in the tree is :\n"
              "1\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire), "1;\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire, {"onlyGene"}, true), "onlyGene;\n");
    // Names as stored, an empty one included.
    EXPECT_EQ(written(clustersOf(4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.9, 0.8, 1.0}),
                      TreeNotation::NewHampshire, {"gA", "", "gC", "gD"}, true),
              "((gC,gD):0.8,(gA,):0.9):1.;\n");
}

TEST(ConsensusStage, ConfidenceTreeThenConsensusTreeAndTheFirstTreeUnchanged) {
    MergeTree first = makeTree(4, {{-1, -2, 0.1}, {-3, -4, 0.2}, {1, 2, 0.3}});
    first.leafOrder = {1, 2, 3, 4};
    const MergeTree before = first;
    std::vector<SampleClusters> samples;
    for (const MergeTree& tree : {first, makeTree(4, {{-1, -2, 0.1}, {1, -3, 0.2}, {2, -4, 0.3}}),
                                  makeTree(4, {{-2, -3, 0.1}, {1, -1, 0.2}, {2, -4, 0.3}})})
        samples.push_back(summarizeTree(tree));
    // Support: {1,2} in 2 of 3, {3,4} in 1 of 3, the root in all. Consensus:
    // {1,2} and {1,2,3} in 2 of 3 each, and the root.
    const ConsensusResults results = computeConsensus(summarizeTree(first), samples, 4);
    EXPECT_EQ(results.support, (std::vector<double>{2 * 1.0 / 3, 1 * 1.0 / 3, 1.0}));
    std::string out;
    writeConsensusStage(out, first, results, TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(out,
              "\n\nThe original tree with confidence values is:\n"
              "((1,2):0.666667,(3,4):0.333333):1.;\n"
              "\n\n"
              "The consensus tree is:\n"
              "(4,(3,(1,2):0.666667):0.666667):1.;\n");
    EXPECT_EQ(first.heights, before.heights);
}

}  // namespace
