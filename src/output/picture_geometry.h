#pragma once
// Where things stand in the picture of a run: the fixed measures, the height
// axis of the first tree and the nesting levels of the consensus tree.

#include <string>
#include <vector>

#include "consensus/consensus_tree.h"

namespace picture {

inline constexpr double Margin = 20;
inline constexpr double RowPitch = 14;         // one object per row
inline constexpr double CharWidth = 6.7;       // advance of a monospace character at 11 px
inline constexpr double HeaderHeight = 84;     // three title lines and the upper axis
inline constexpr double RootLabelRoom = 36;    // left of the root node, for its value
inline constexpr double TreeWidth = 380;
inline constexpr double CladogramWidth = 260;
inline constexpr double PanelGap = 60;
inline constexpr double LabelGap = 6;
inline constexpr double NoteSpacing = 16;

inline double rowCentre(int row) { return HeaderHeight + (row + 0.5) * RowPitch; }
inline double baselineOf(int row) { return rowCentre(row) + 4; }

// Maps merge heights to x: `low` at `right`, growing to the left over TreeWidth.
struct HeightAxis {
    double low = 0;
    double high = 1;
    double right = 0;
    // Halves keep the difference finite for heights near the limits of double.
    double x(double height) const {
        return right - (height / 2 - low / 2) / (high / 2 - low / 2) * TreeWidth;
    }
};

// 1, 2 or 5 times a power of ten, near a fifth of the range.
double tickStep(double range);

// The consensus tree as a cladogram: one column per nesting level.
struct CladogramLayout {
    std::string problem;            // empty when the tree can be drawn
    std::vector<int> position;      // object number -> row
    std::vector<int> parent;        // per node; -1 for the root
    std::vector<int> objectParent;  // object number -> the node that holds it as a child
    std::vector<int> depth;         // per node; the root is 0
    int maxDepth = 0;
};

// Lays out the consensus tree of n objects; a tree without nodes or of
// another number of objects gives a problem instead.
CladogramLayout layoutCladogram(const ConsensusTree& tree, int n);

}  // namespace picture
