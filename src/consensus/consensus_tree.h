#pragma once
// The majority-rule consensus tree as a record: the selected clusters nested
// into a tree, every node's children in their display order.

#include <vector>

#include "consensus/cluster_list.h"

struct ConsensusTree {
    int objectCount = 0;
    // Per node (node i is slot i of the size-sorted selection, the root last):
    // child entries in display order, a positive entry k naming node k - 1
    // and a negative entry -o the single object o; single objects come first,
    // ascending, then child nodes ascending by their number of children.
    std::vector<std::vector<int>> children;
    std::vector<std::vector<int>> members;  // per node: its objects in display order
    std::vector<double> values;             // per node: its confidence value
    // The root's members read from the last to the first; without a root
    // (a one-object matrix) the objects 1 to objectCount.
    std::vector<int> objectOrder;

    int nodeCount() const { return static_cast<int>(children.size()); }
};

// Nests the clusters and orders every node's children. The list must be as
// the selection leaves it after sortBySize: distinct clusters, pairwise
// nested or disjoint, ascending by size, the last one holding all rowCount
// objects (or no cluster at all).
//
// Node i's children are the clusters whose smallest enclosing cluster it is,
// then its objects in no child cluster. They are ordered by an exchange sort
// (objects before clusters, objects ascending, clusters by ascending number
// of children), which is not stable: the order among equal numbers follows
// from the procedure and from the order in which the children were found
// (child clusters by descending slot, then objects in stored order).
ConsensusTree buildConsensusTree(const ClusterList& consensus);
