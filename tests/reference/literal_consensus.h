#pragma once
// Slow, literal versions of the consensus algorithms, kept to check the fast
// product code against: clusters are compared member by member, every list
// keeps all its member arrays, and the consensus writer searches subsets
// slot by slot and keeps one text per node.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "cluster/tree_writer.h"
#include "consensus/cluster_list.h"
#include "data/name_table.h"

namespace literal {

// One cluster per merge step, slot i the cluster formed at step i+1, valued
// by its height; the last slot stays empty. Each step joins its sides'
// members: two single objects by object number, otherwise the lower side
// first (a single object counts as height 0), member 1 first on equal
// heights.
ClusterList clusterListOf(const MergeTree& tree);

// Per slot of the first tree's list: the number of sample lists containing
// the cluster, times 1.0, divided by the number of lists.
std::vector<double> computeSupportValues(const ClusterList& firstTreeClusters,
                                         const std::vector<ClusterList>& sampleLists);

// The first-occurrence scan over the source lists with the strict majority
// test; the selected clusters assigned and valued, not sorted.
ClusterList selectMajorityClusters(const std::vector<ClusterList>& sampleLists, int rowCount);

// The nesting, child ordering, member rebuild, object order and both
// notations, exactly step by step; returns the object order. Needs at least
// the root cluster.
std::vector<int> writeConsensusTree(std::string& out, ClusterList& list, TreeNotation notation,
                        const NameTable& rowNames, bool hasRowNames);

}  // namespace literal
