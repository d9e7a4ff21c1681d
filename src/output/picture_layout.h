#pragma once
// The picture of a run: a caption saying what produced it; on the left the
// first tree as a dendrogram in its leaf order with the merge heights on an
// axis, each inner node's confidence value beside it and the well-supported
// clusters boxed; on the right the majority-rule consensus tree as a
// cladogram with its values. The page keeps a readable shape: past a few
// hundred objects the rows get closer, the leaf labels smaller and then
// thinned (a note says so), and the trees are still drawn whole.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "consensus/consensus_tree.h"
#include "data/name_table.h"
#include "output/picture_geometry.h"

inline constexpr double DefaultHighlight = 0.95;     // clusters at or above it are boxed
inline constexpr double DefaultPictureWidth = 720;   // points (10 inches)
inline constexpr double DefaultFontSize = 9;         // points, for leaf labels and captions

struct PictureInput {
    const MergeTree& firstTree;             // with its merge heights and leaf order
    const std::vector<double>& confidences; // per step position; missing: "n/a", never boxed
    const ConsensusTree& consensus;         // one that cannot be drawn gives a note
    const NameTable& rowNames;
    bool hasRowNames = false;
    double highlight = DefaultHighlight;
    bool highlightNested = false;           // box every cluster at or above, not the outermost only
    std::vector<std::string> caption;       // items, joined by "; " and wrapped
    double width = DefaultPictureWidth;
    double fontSize = DefaultFontSize;
};

// Where everything stands. No two labels overlap and no label crosses a line.
picture::Layout layoutPicture(const PictureInput& input, const picture::TextMeasure& measure);
