#pragma once
// A picture of a run's results as a plain record of lines, highlight boxes
// and text labels in points, computed apart from any drawing library so that
// where things stand can be checked without rendering. The measures of text
// come from a TextMeasure (the drawing's own font metrics).

#include <functional>
#include <string>
#include <vector>

#include "consensus/consensus_tree.h"

namespace picture {

struct Rect {
    double left = 0, top = 0, right = 0, bottom = 0;
};

enum class Ink { Tree, Highlight, Axis, Text, Value, Caption, Note };

struct Line {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // horizontal or vertical
    Ink ink = Ink::Tree;
};

struct Label {
    std::string text;     // valid UTF-8 without control characters
    double x = 0;         // left end of the text
    double baseline = 0;
    double size = 0;      // font size
    bool bold = false;
    Ink ink = Ink::Text;
    Rect box;             // advance by ascent + descent
};

struct Layout {
    double width = 0, height = 0;
    std::vector<Rect> highlights;  // filled boxes; their edges are among the lines
    std::vector<Line> lines;
    std::vector<Label> labels;
    int hiddenValues = 0;      // confidence values without room beside their node
    int shownLeafLabels = 0;   // of the first tree
};

struct FontMetrics {
    double ascent = 0, descent = 0;
};

// Text measures of the picture's one font family at a given size.
struct TextMeasure {
    std::function<double(const std::string& text, double size)> advance;
    std::function<FontMetrics(double size)> metrics;
};

// Interiors overlap.
bool overlaps(const Rect& a, const Rect& b);
// The line passes through the rectangle's interior.
bool crosses(const Rect& box, const Line& line);

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
