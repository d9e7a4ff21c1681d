#pragma once
// A set of clusters of objects (1-based row numbers), each with one value:
// the clusters of a tree (one per merge step, valued by merge height) or the
// clusters chosen by majority rule (valued by confidence).

#include <vector>

#include "cluster/merge_tree.h"

struct ClusterList {
    int rowCount = 0;                       // slots in every array
    std::vector<std::vector<int>> members;  // per slot; the first memberCounts[slot] entries count
    std::vector<double> values;
    std::vector<int> memberCounts;          // 0 marks an empty slot
    std::vector<int> scratch;               // after writeConsensusTree: the object order
    int clusterCount = 0;

    explicit ClusterList(int n = 0)
        : rowCount(n), values(static_cast<std::size_t>(n), 0.0),
          memberCounts(static_cast<std::size_t>(n), 0), scratch(static_cast<std::size_t>(n), 0) {}

    // One cluster per merge step; slot i is the cluster formed at step i+1.
    void fromMergeTree(const MergeTree& tree);
    // Whether other holds a cluster with exactly the member set of this slot.
    bool containsCluster(int slot, const ClusterList& other) const;
    // Writes the slot's members into destination (rowCount entries, the rest
    // zeroed) and returns their number.
    int copyMembers(std::vector<int>& destination, int slot) const;
    // Replaces the content by copies of the given clusters (rowCount entries each).
    void assign(const std::vector<std::vector<int>>& memberArrays, const std::vector<int>& sizes);
    void setValue(double value, int slot) { values[static_cast<std::size_t>(slot)] = value; }
    int count() const { return clusterCount; }
    // Exchange sort of the clusters in use, ascending by member count.
    void sortBySize();
};
