#pragma once
// Deliberately literal, slow versions of the clustering subsystem, kept as
// the yardstick for differential tests of the product's engine. They follow
// the documented algorithms step by step: distances column by column per
// pair, member lists rebuilt at every merge step, every linkage recomputed
// from the member lists, one stored sequence or text per merge step.
//
// They include the product's two deliberate departures for degenerate
// data, so that the engine can be compared with them on any input:
// - a cluster with no other cluster strictly below the 1e100 sentinel has
//   no nearest neighbour (instead of pointing at slot 0, possibly itself);
//   a linkage value that is not below the sentinel never becomes a nearest
//   distance; when no cluster has a neighbour, slots 0 and 1 are joined at
//   their actual linkage value;
// - "compact" and "connected" over pairs that are all not-a-number give
//   not-a-number (instead of leaking the start sentinel).

#include <string>

#include "cluster/clustering.h"
#include "cluster/distance_triangle.h"
#include "cluster/merge_tree.h"
#include "data/data_matrix.h"
#include "data/name_table.h"

namespace literal {

void computeDistances(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric);

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage);

void computeLeafOrder(MergeTree& tree);

// The "New_Hampshire" line without its line end, built from one text per step.
std::string newHampshireLine(const MergeTree& tree, const NameTable& rowNames, bool hasRowNames);

}  // namespace literal
