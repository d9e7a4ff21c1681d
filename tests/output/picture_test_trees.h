#pragma once
// A small first tree and its consensus tree, shared by the picture and
// cluster-table tests.

#include <vector>

#include "cluster/merge_tree.h"
#include "consensus/consensus_test_trees.h"
#include "consensus/consensus_tree.h"

// Four objects: (1,3) at 0.2, (2,4) at 0.5, both joined at 0.9; leaf order 1 3 2 4.
inline MergeTree fourObjectTree() {
    MergeTree tree(4);
    tree.mergePairs = {{-1, -3}, {-2, -4}, {1, 2}};
    tree.heights = {0.2, 0.5, 0.9};
    tree.leafOrder = {1, 3, 2, 4};
    return tree;
}

// The consensus tree of clusters given ascending by size, the root last.
inline ConsensusTree consensusOf(int n, const std::vector<std::vector<int>>& clusters,
                                 const std::vector<double>& values) {
    return buildConsensusTree(consensus_test::clustersOf(n, clusters, values));
}

// {1,2} 0.9, {3,4} 0.8 and the root: the object order is 2 1 4 3.
inline ConsensusTree fourObjectConsensus() {
    return consensusOf(4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.9, 0.8, 1.0});
}
