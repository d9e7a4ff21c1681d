#pragma once
// A picture of a run's results as one SVG 1.1 document: on the left the first
// tree as a dendrogram in its leaf order, leaves listed top to bottom with
// their labels and the merge heights on an axis above and below the tree,
// every inner node labelled with its confidence value and every cluster at or
// above the highlight threshold boxed; on the right the majority-rule
// consensus tree as a cladogram (one column per nesting level) with its
// confidence values. The picture grows by one row per object, so labels stay
// readable for thousands of objects.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "consensus/consensus_tree.h"
#include "data/name_table.h"

// Clusters at or above this confidence are boxed in the picture unless told otherwise.
inline constexpr double DefaultHighlight = 0.95;

struct DendrogramInput {
    // The first tree with its merge heights and leaf order.
    const MergeTree& firstTree;
    // Confidence of the cluster formed at each step position; a missing entry
    // is shown as "n/a" and never boxed.
    const std::vector<double>& confidences;
    // The consensus tree; one without nodes or of another number of objects
    // is reported in a note instead of drawn.
    const ConsensusTree& consensus;
    const NameTable& rowNames;
    bool hasRowNames = false;
    double highlight = DefaultHighlight;  // clusters with confidence >= highlight are boxed
};

// Appends the whole document to out. The cluster of all objects (confidence 1
// by construction) is not boxed. Non-finite merge heights are drawn at the
// end of the axis and marked; labels are escaped, invalid UTF-8 and control
// characters are shown as U+FFFD.
void writeDendrogramSvg(std::string& out, const DendrogramInput& input);

