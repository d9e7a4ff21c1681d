#pragma once
// The clusters of the first tree that a reader would pick as well supported:
// the outermost merge steps whose confidence is at least a threshold (no
// picked step lies inside another picked one), as pvclust's pvpick and
// pvrect choose them. The step that joins all objects is never picked: its
// confidence is 1 by construction.

#include <vector>

#include "cluster/merge_tree.h"

// Step positions (0-based) of the picked steps, ascending. support[s] is the
// confidence of step position s; a missing or NaN value is never picked.
std::vector<int> outermostStepsAtLeast(const MergeTree& tree, const std::vector<double>& support,
                                       double threshold);

// Every step at or above the threshold (the root excluded), ascending.
std::vector<int> stepsAtLeast(const MergeTree& tree, const std::vector<double>& support,
                              double threshold);
