#pragma once
// Support values of the first tree's clusters and the majority-rule
// selection over the resampled trees, computed from per-tree summaries.
//
// Both give exactly what scanning the trees' cluster lists member by member
// gives (first tree: one confidence value per merge step; majority: the
// clusters occurring in more than half of the h trees, in the order of their
// first occurrence by tree and then merge step), but in O(h * n) time and
// memory by counting clusters by their (key, size) identity.

#include <vector>

#include "consensus/cluster_list.h"
#include "consensus/sample_clusters.h"

// Per merge step of the first tree: the number of samples containing the
// step's cluster, times 1.0, divided by h = samples.size(). A first tree
// without steps gives an empty result.
std::vector<double> computeSupportValues(const SampleClusters& firstTree,
                                         const std::vector<SampleClusters>& samples);

// The clusters with an occurrence count c > floor(h/2), assigned into a list
// of rowCount slots in first-occurrence order, each holding the members in
// the order of the tree where it first occurs and valued c * 1.0 / h. Not yet
// sorted by size.
ClusterList selectMajorityClusters(const std::vector<SampleClusters>& samples, int rowCount);

// selectMajorityClusters followed by sortBySize: the list the consensus
// writer expects.
ClusterList buildConsensusClusters(const std::vector<SampleClusters>& samples, int rowCount);
