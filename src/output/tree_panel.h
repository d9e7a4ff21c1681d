#pragma once
// One tree of the picture, drawn with its root on the left and its leaves in
// rows on the right, whatever the tree: the first tree (two children per
// node, x from the merge height) and the consensus tree (any number of
// children, x from the nesting level) both become a Panel.

#include <string>
#include <vector>

#include "output/picture_geometry.h"

namespace picture {

inline constexpr double BoxInset = 3;  // a highlight box starts this far left of its node

struct PanelNode {
    double x = 0, y = 0;
    int spanBegin = 0, spanEnd = 0;  // the rows of its leaves
    int parent = -1;
    std::vector<int> children;  // >= 0: a node; < 0: the leaf in row -child - 1
    std::string value;          // the confidence text shown beside the node
    bool boxed = false;         // highlighted
};

struct Panel {
    std::vector<PanelNode> nodes;  // children before their parents, the root last
    double left = 0;               // nothing of the panel stands left of this
    double leafX = 0;              // where the leaves' branches end
    double boxRight = 0;           // right edge of the highlight boxes
    double top = 0, pitch = 0;     // row r is centred on top + (r + 0.5) * pitch
    double rowCentre(int row) const { return top + (row + 0.5) * pitch; }
};

// Fills every node's rows and y from its children (parents set as well).
void finishPanel(Panel& panel);

// The tree's lines and the highlight boxes (filled, with their edges as lines).
void addPanelLines(const Panel& panel, Layout& layout);

// Places each node's value beside it, left of the node and above or below
// the branch that leads to it, where no line and no other label stands;
// smaller when space is short. Returns how many found no room.
int placeValueLabels(const Panel& panel, double size, const TextMeasure& measure, Layout& layout);

// Writes the leaf labels (texts per row) from x, shortened to maxWidth, at
// most size large; where rows are too close, every label that would touch the
// one above it or a box edge is left out. Returns how many were written.
int placeLeafLabels(const Panel& panel, const std::vector<std::string>& texts, double x,
                    double maxWidth, double size, const TextMeasure& measure, Layout& layout);

}  // namespace picture
