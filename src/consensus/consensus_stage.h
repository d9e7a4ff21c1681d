#pragma once
// The consensus stage's part of the report: the first tree again with
// confidence values in place of its heights, then the consensus tree.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "cluster/tree_writer.h"
#include "consensus/cluster_list.h"
#include "consensus/sample_clusters.h"
#include "data/name_table.h"

// Replaces firstTree's heights by the support values of its clusters
// (firstTreeClusters = summarizeTree(firstTree) taken before, samples the h
// resampled trees' summaries in pass order) and appends
//   "\n\n" "The original tree with confidence values is:\n" <tree> "\n\n"
//   "The consensus tree is:\n" <consensus block>
// The tree keeps its merge pairs and leaf order.
struct ConsensusResults {
    std::vector<double> support;  // confidence of each merge step of the first tree
    ClusterList consensus;        // as the consensus writer leaves it
};
ConsensusResults writeConsensusStage(std::string& out, MergeTree& firstTree,
                         const SampleClusters& firstTreeClusters,
                         const std::vector<SampleClusters>& samples, TreeNotation notation,
                         const NameTable& rowNames, bool hasRowNames);
