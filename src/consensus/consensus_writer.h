#pragma once
// The consensus tree in the report's two notations.

#include <string>

#include "cluster/tree_writer.h"
#include "consensus/consensus_tree.h"
#include "data/name_table.h"

// Appends the consensus block to out: in "S_Plus" the node count, every
// node's member count and members, the values and the object order; in
// "New_Hampshire" one nested line. A tree without nodes (a one-object
// matrix) reports 0 nodes and the one object; in New_Hampshire it is the
// object's label followed by ";".
void writeConsensusTree(std::string& out, const ConsensusTree& tree, TreeNotation notation,
                        const NameTable& rowNames, bool hasRowNames);
