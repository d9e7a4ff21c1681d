#pragma once
// Agglomerative clustering of the rows behind a distance triangle.

#include <optional>
#include <string_view>

#include "cluster/distance_triangle.h"
#include "cluster/merge_tree.h"

enum class Linkage { Average, Compact, Connected };

// Exact, case-sensitive keyword match: "average", "compact", "connected".
std::optional<Linkage> linkageFromKeyword(std::string_view keyword);

// Fills the tree's merge pairs and heights (not its leaf order).
void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage);
