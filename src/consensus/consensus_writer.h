#pragma once
// The majority-rule consensus tree: nests the selected clusters into a tree,
// orders every node's children and writes the tree in either notation.

#include <string>

#include "cluster/tree_writer.h"
#include "consensus/cluster_list.h"
#include "data/name_table.h"

// Appends the consensus block to out. The list must be as the selection
// leaves it after sortBySize: distinct clusters, pairwise nested or disjoint,
// ascending by size, the last one holding all rowCount objects.
//
// Node i is the cluster in slot i; its children are the clusters whose
// smallest enclosing cluster it is, then its objects in no child cluster.
// Children are ordered single objects first (ascending), then clusters by
// ascending number of children (an exchange sort, so the order among equal
// numbers follows from the procedure). On return every slot's members are in
// display order, memberCounts are the full sizes and scratch holds the
// object order (the root's members read backwards); values are unchanged.
//
// A list without clusters (a one-object matrix) has no root: the block then
// reports 0 nodes and the one object; in New_Hampshire it is the object's
// label followed by ";".
void writeConsensusTree(std::string& out, ClusterList& consensus, TreeNotation notation,
                        const NameTable& rowNames, bool hasRowNames);
