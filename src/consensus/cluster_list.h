#pragma once
// A set of clusters of objects (1-based row numbers), each with one value:
// the clusters chosen by majority rule, valued by confidence.

#include <vector>

#include "data/index.h"

struct ClusterList {
    int rowCount = 0;                       // slots in every array
    std::vector<std::vector<int>> members;  // per slot; the first memberCounts[slot] entries count
    std::vector<double> values;
    std::vector<int> memberCounts;          // 0 marks an empty slot
    int clusterCount = 0;

    explicit ClusterList(int n = 0)
        : rowCount(n), members(index(n)), values(index(n), 0.0), memberCounts(index(n), 0) {}

    // Replaces the content by copies of the given clusters (rowCount entries each).
    void assign(const std::vector<std::vector<int>>& memberArrays, const std::vector<int>& sizes);
    void setValue(double value, int slot) { values[index(slot)] = value; }
    int count() const { return clusterCount; }
    // Exchange sort of the clusters in use, ascending by member count.
    void sortBySize();
};
