// The consensus stage's report items: the first tree with confidence values
// and the consensus tree, worked out by hand.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "consensus/consensus_stage.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::makeTree;

std::vector<SampleClusters> summaries(const std::vector<MergeTree>& trees) {
    std::vector<SampleClusters> result;
    for (const MergeTree& tree : trees) result.push_back(summarizeTree(tree));
    return result;
}

TEST(ConsensusStage, WritesConfidenceTreeThenConsensusTree) {
    MergeTree first = makeTree(4, {{-1, -2, 0.1}, {-3, -4, 0.2}, {1, 2, 0.3}});
    first.leafOrder = {1, 2, 3, 4};
    const SampleClusters firstClusters = summarizeTree(first);
    const auto samples = summaries({
        first,
        makeTree(4, {{-1, -2, 0.1}, {1, -3, 0.2}, {2, -4, 0.3}}),
        makeTree(4, {{-2, -3, 0.1}, {1, -1, 0.2}, {2, -4, 0.3}}),
    });
    // Support: {1,2} in 2 of 3, {3,4} in 1 of 3, the root in all. Consensus:
    // {1,2} and {1,2,3} in 2 of 3 each, and the root.
    std::string out;
    writeConsensusStage(out, first, firstClusters, samples, TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(out,
              "\n\nThe original tree with confidence values is:\n"
              "((1,2):0.666667,(3,4):0.333333):1.;\n"
              "\n\n"
              "The consensus tree is:\n"
              "(4,(3,(1,2):0.666667):0.666667):1.;\n");
    EXPECT_EQ(first.heights, (std::vector<double>{2 * 1.0 / 3, 1 * 1.0 / 3, 1.0}));
    EXPECT_EQ(first.leafOrder, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(first.mergePairs[2].member0, 1);
}

TEST(ConsensusStage, OneObjectWritesBothBlocksWithoutRoot) {
    MergeTree first(1);
    first.leafOrder = {1};
    const SampleClusters firstClusters = summarizeTree(first);
    const auto samples = summaries({MergeTree(1), MergeTree(1)});
    std::string out;
    writeConsensusStage(out, first, firstClusters, samples, TreeNotation::NewHampshire, {"g1"}, true);
    EXPECT_EQ(out,
              "\n\nThe original tree with confidence values is:\n"
              "g1;\n"
              "\n\n"
              "The consensus tree is:\n"
              "g1;\n");
    out.clear();
    writeConsensusStage(out, first, firstClusters, samples, TreeNotation::SPlus, {}, false);
    const std::string tail =
        "The consensus tree is:\n"
        "The number of nodes is : 0\n"
        "The nodes of the tree are :\n"
        "The heights of the tree nodes are :\n"
        "The order of the objects in the tree is :\n"
        "1\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

}  // namespace
