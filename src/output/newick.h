#pragma once
// Trees in standard Newick for ape, Bio.Phylo, scipy and other readers:
// numbers in plain decimal that read back to the same double, names quoted
// where Newick requires it.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "consensus/consensus_tree.h"
#include "data/name_table.h"

// The first tree: leaves at height 0, each branch half as long as the
// difference of the merge heights at its ends (so the path between two
// leaves, their cophenetic distance, is the merge height that joined them,
// as in ape's as.phylo of an hclust tree), each inner node labelled with its
// confidence value support[s].
std::string newickOfFirstTree(const MergeTree& tree, const std::vector<double>& support,
                              const NameTable& rowNames, bool hasRowNames);

// The majority-rule consensus tree, inner nodes labelled with their
// confidence values, no branch lengths.
std::string newickOfConsensusTree(const ConsensusTree& tree, const NameTable& rowNames,
                                  bool hasRowNames);
