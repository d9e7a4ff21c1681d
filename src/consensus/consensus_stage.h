#pragma once
// The consensus stage: the support values of the first tree's clusters and
// the majority-rule consensus tree, computed first, then written into the
// report.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "cluster/tree_writer.h"
#include "consensus/consensus_tree.h"
#include "consensus/sample_clusters.h"
#include "data/name_table.h"

struct ConsensusResults {
    std::vector<double> support;  // confidence of each merge step of the first tree
    ConsensusTree consensusTree;
};

// firstTreeClusters = summarizeTree(first tree); samples the h resampled
// trees' summaries in pass order.
ConsensusResults computeConsensus(const SampleClusters& firstTreeClusters,
                                  const std::vector<SampleClusters>& samples, int objectCount);

// Appends
//   "\n\n" "The original tree with confidence values is:\n" <first tree> "\n\n"
//   "The consensus tree is:\n" <consensus block>
// where the first tree is written with its support values in place of its
// heights (its merge pairs and leaf order as they are).
void writeConsensusStage(std::string& out, const MergeTree& firstTree,
                         const ConsensusResults& results, TreeNotation notation,
                         const NameTable& rowNames, bool hasRowNames);
