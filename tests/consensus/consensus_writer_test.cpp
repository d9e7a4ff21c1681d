// The consensus tree: nesting, child order, member rebuild and both notations.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "consensus/consensus_writer.h"
#include "consensus_test_trees.h"

namespace {

using consensus_test::clustersOf;

std::string written(ClusterList list, TreeNotation notation, const NameTable& names = {},
                    bool hasRowNames = false) {
    std::string out;
    writeConsensusTree(out, list, notation, names, hasRowNames);
    return out;
}

TEST(ConsensusWriter, TwoDisjointClustersUnderTheRoot) {
    ClusterList list = clustersOf(4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.9, 0.8, 1.0});
    std::string out;
    writeConsensusTree(out, list, TreeNotation::SPlus, {}, false);
    EXPECT_EQ(out,
              "The number of nodes is : 3\n"
              "The nodes of the tree are :\n"
              "2  1  2\n"
              "2  3  4\n"
              "4  3  4  1  2\n"
              "The heights of the tree nodes are :\n"
              "  0.900000\n"
              "  0.800000\n"
              "  1.000000\n"
              "The order of the objects in the tree is :\n"
              "2\n1\n4\n3\n");
    EXPECT_EQ(list.members[2], (std::vector<int>{3, 4, 1, 2}));
    EXPECT_EQ(list.memberCounts, (std::vector<int>{2, 2, 4, 0}));
    EXPECT_EQ(list.scratch, (std::vector<int>{2, 1, 4, 3}));
    EXPECT_EQ(list.values, (std::vector<double>{0.9, 0.8, 1.0, 0.0}));
    EXPECT_EQ(written(clustersOf(4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.9, 0.8, 1.0}),
                      TreeNotation::NewHampshire),
              "((3,4):0.8,(1,2):0.9):1.;\n");
}

TEST(ConsensusWriter, SingleObjectsComeBeforeClusters) {
    ClusterList list = clustersOf(4, {{1, 2}, {1, 2, 3}, {1, 2, 3, 4}}, {0.7, 0.6, 1.0});
    std::string out;
    writeConsensusTree(out, list, TreeNotation::SPlus, {}, false);
    EXPECT_NE(out.find("\n4  4  3  1  2\n"), std::string::npos) << out;
    EXPECT_EQ(list.scratch, (std::vector<int>{2, 1, 3, 4}));
    EXPECT_EQ(written(clustersOf(4, {{1, 2}, {1, 2, 3}, {1, 2, 3, 4}}, {0.7, 0.6, 1.0}),
                      TreeNotation::NewHampshire),
              "(4,(3,(1,2):0.7):0.6):1.;\n");
}

TEST(ConsensusWriter, ExchangeSortOfChildrenIsNotStable) {
    // Root children found as cluster 3, 2, 1, object 8; the exchange sort
    // brings the object first and leaves cluster 1 before cluster 2 although
    // both have two children.
    ClusterList list = clustersOf(8, {{2, 1}, {4, 3}, {7, 5, 6}, {8, 7, 6, 5, 4, 3, 2, 1}},
                                  {0.9, 0.8, 0.7, 1.0});
    std::string out;
    writeConsensusTree(out, list, TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(out, "(8,(1,2):0.9,(3,4):0.8,(5,6,7):0.7):1.;\n");
    EXPECT_EQ(list.members[3], (std::vector<int>{8, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(list.scratch, (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 8}));
}

TEST(ConsensusWriter, ObjectsAscendWhateverTheirStoredOrderAndRowNamesLabelThem) {
    const NameTable names{"gA", "gB", "gC", "gD"};
    EXPECT_EQ(written(clustersOf(4, {{3, 1}, {4, 3, 2, 1}}, {0.55, 1.0}), TreeNotation::NewHampshire),
              "(2,4,(1,3):0.55):1.;\n");
    EXPECT_EQ(written(clustersOf(4, {{3, 1}, {4, 3, 2, 1}}, {0.55, 1.0}), TreeNotation::NewHampshire,
                      names, true),
              "(gB,gD,(gA,gC):0.55):1.;\n");
}

TEST(ConsensusWriter, RootAloneHoldsAllObjectsAscending) {
    ClusterList list = clustersOf(3, {{3, 1, 2}}, {1.0});
    std::string out;
    writeConsensusTree(out, list, TreeNotation::SPlus, {}, false);
    EXPECT_EQ(out,
              "The number of nodes is : 1\n"
              "The nodes of the tree are :\n"
              "3  1  2  3\n"
              "The heights of the tree nodes are :\n"
              "  1.000000\n"
              "The order of the objects in the tree is :\n"
              "3\n2\n1\n");
    EXPECT_EQ(written(clustersOf(3, {{3, 1, 2}}, {1.0}), TreeNotation::NewHampshire), "(1,2,3):1.;\n");
}

TEST(ConsensusWriter, DeepChainNestsEveryLevel) {
    // {1,2} in {1,2,3} in ... in {1..6}: a chain, written without a text per node.
    std::vector<std::vector<int>> clusters;
    std::vector<double> values;
    for (int size = 2; size <= 6; ++size) {
        std::vector<int> members;
        for (int o = size; o >= 1; --o) members.push_back(o);
        clusters.push_back(members);
        values.push_back(size == 6 ? 1.0 : 0.75);
    }
    EXPECT_EQ(written(clustersOf(6, clusters, values), TreeNotation::NewHampshire),
              "(6,(5,(4,(3,(1,2):0.75):0.75):0.75):0.75):1.;\n");
}

TEST(ConsensusWriter, LongChainIsWrittenWithoutDeepRecursion) {
    // 3,000 nested clusters {1,2}, {1,2,3}, ...: one node per level.
    const int n = 3000;
    std::vector<std::vector<int>> clusters;
    std::vector<double> values;
    std::vector<int> members{1};
    for (int size = 2; size <= n; ++size) {
        members.push_back(size);
        clusters.push_back(members);
        values.push_back(1.0);
    }
    ClusterList list = clustersOf(n, clusters, values);
    std::string out;
    writeConsensusTree(out, list, TreeNotation::NewHampshire, {}, false);
    EXPECT_EQ(std::count(out.begin(), out.end(), '('), n - 1);
    EXPECT_EQ(out.substr(0, 12), "(3000,(2999,");
    EXPECT_NE(out.find(",(3,(1,2):1.):1.):1.):1."), std::string::npos);
    const std::string end = "):1.):1.;\n";
    EXPECT_EQ(out.substr(out.size() - end.size()), end);
    EXPECT_EQ(list.scratch.front(), 2);
    EXPECT_EQ(list.scratch.back(), n);
}

TEST(ConsensusWriter, OneObjectHasNoRoot) {
    ClusterList list(1);
    std::string out;
    writeConsensusTree(out, list, TreeNotation::SPlus, {}, false);
    EXPECT_EQ(out,
              "The number of nodes is : 0\n"
              "The nodes of the tree are :\n"
              "The heights of the tree nodes are :\n"
              "The order of the objects in the tree is :\n"
              "1\n");
    EXPECT_EQ(list.scratch, std::vector<int>{1});
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire), "1;\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire, {"onlyGene"}, true), "onlyGene;\n");
}

}  // namespace
