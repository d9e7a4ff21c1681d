// Picture geometry: see picture_geometry.h.
#include "output/picture_geometry.h"

#include <algorithm>
#include <cmath>

namespace picture {

bool overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool crosses(const Rect& box, const Line& line) {
    const double left = std::min(line.x0, line.x1), right = std::max(line.x0, line.x1);
    const double top = std::min(line.y0, line.y1), bottom = std::max(line.y0, line.y1);
    return left < box.right && right > box.left && top < box.bottom && bottom > box.top;
}

double tickStep(double range) {
    const double raw = range / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normalised = raw / magnitude;
    const double factor = normalised < 1.5 ? 1 : normalised < 3 ? 2 : normalised < 7 ? 5 : 10;
    return factor * magnitude;
}

CladogramLayout layoutCladogram(const ConsensusTree& tree, int n) {
    CladogramLayout layout;
    const int m = tree.nodeCount();
    if (m == 0) {
        layout.problem = "The consensus tree has no clusters.";
        return layout;
    }
    if (tree.objectCount != n || tree.objectOrder.size() != index(n)) {
        layout.problem = "The consensus tree does not hold every object.";
        return layout;
    }
    layout.position.assign(index(n) + 1, 0);
    for (int row = 0; row < n; ++row) layout.position[index(tree.objectOrder[index(row)])] = row;

    // Children stand in lower slots than their parents.
    layout.parent.assign(index(m), -1);
    layout.objectParent.assign(index(n) + 1, -1);
    for (int i = 0; i < m; ++i) {
        for (int entry : tree.children[index(i)]) {
            if (entry > 0)
                layout.parent[index(entry - 1)] = i;
            else
                layout.objectParent[index(-entry)] = i;
        }
    }
    layout.depth.assign(index(m), 0);
    for (int i = m - 2; i >= 0; --i) {
        layout.depth[index(i)] = layout.depth[index(layout.parent[index(i)])] + 1;
        layout.maxDepth = std::max(layout.maxDepth, layout.depth[index(i)]);
    }
    return layout;
}

}  // namespace picture
