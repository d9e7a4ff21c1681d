#pragma once
// Slow, literal versions of the consensus algorithms, kept to check the fast
// product code against: clusters are compared member by member, every list
// keeps all its member arrays, and the consensus writer searches subsets
// slot by slot and keeps one text per node.

#include <string>
#include <vector>

#include "cluster/tree_writer.h"
#include "consensus/cluster_list.h"
#include "data/name_table.h"

namespace literal {

// 1 when other holds a cluster of the same size in which every member of
// the slot occurs (counting each member once), else 0.
int containsCluster(const ClusterList& list, int slot, const ClusterList& other);

// Per slot of the first tree's list: the number of sample lists containing
// the cluster, times 1.0, divided by the number of lists.
std::vector<double> computeSupportValues(const ClusterList& firstTreeClusters,
                                         const std::vector<ClusterList>& sampleLists);

// The first-occurrence scan over the source lists with the strict majority
// test; the selected clusters assigned and valued, not sorted.
ClusterList selectMajorityClusters(const std::vector<ClusterList>& sampleLists, int rowCount);

// Removes the smaller list's members from the larger list when all of them
// occur there, closing the gaps; returns 1 then, else 0. Counts unchanged.
int removeSubset(std::vector<int>& larger, int largerCount, const std::vector<int>& smaller,
                 int smallerCount);

// The nesting, child ordering, member rebuild, object order and both
// notations, exactly step by step. Needs at least the root cluster.
void writeConsensusTree(std::string& out, ClusterList& list, TreeNotation notation,
                        const NameTable& rowNames, bool hasRowNames);

}  // namespace literal
