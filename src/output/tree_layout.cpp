// Display order of a merge tree's objects: see tree_layout.h.
#include "output/tree_layout.h"

#include <algorithm>
#include <cstddef>

namespace {

// Whether order holds each object 1 to n exactly once; if so, position[o]
// is the place of object o in it.
bool isOrderOfObjects(const std::vector<int>& order, int n, std::vector<int>& position) {
    if (order.size() != index(n)) return false;
    position.assign(index(n) + 1, -1);
    for (int i = 0; i < n; ++i) {
        const int object = order[index(i)];
        if (object < 1 || object > n || position[index(object)] >= 0) return false;
        position[index(object)] = i;
    }
    return true;
}

// Fills spanBegin/spanEnd from the positions of the objects in the order;
// returns false when some step's objects are not contiguous there.
bool computeSpans(const MergeTree& tree, const std::vector<int>& position, TreeLayout& layout) {
    const int steps = tree.stepCount();
    layout.spanBegin.assign(index(steps), 0);
    layout.spanEnd.assign(index(steps), 0);
    for (int s = 0; s < steps; ++s) {
        int first = 0;
        int last = 0;
        int size = 0;
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(s, side);
            int b = 0;
            int e = 0;
            if (member < 0) {
                b = position[index(-member)];
                e = b + 1;
            } else {
                b = layout.spanBegin[index(member - 1)];
                e = layout.spanEnd[index(member - 1)];
            }
            first = side == 0 ? b : std::min(first, b);
            last = side == 0 ? e : std::max(last, e);
            size += e - b;
        }
        if (last - first != size) return false;
        layout.spanBegin[index(s)] = first;
        layout.spanEnd[index(s)] = last;
    }
    return true;
}

// Objects under the last step, member 0 before member 1, without recursion
// (a chain-shaped tree is as deep as it has objects).
std::vector<int> mergeOrder(const MergeTree& tree) {
    std::vector<int> order;
    if (tree.objectCount == 1) order.push_back(1);
    if (tree.mergePairs.empty()) return order;
    order.reserve(index(tree.objectCount));
    std::vector<int> pending{tree.stepCount()};
    while (!pending.empty()) {
        const int member = pending.back();
        pending.pop_back();
        if (member < 0) {
            order.push_back(-member);
        } else {
            pending.push_back(tree.mergeMember(member - 1, 1));
            pending.push_back(tree.mergeMember(member - 1, 0));
        }
    }
    return order;
}

}  // namespace

TreeLayout layoutMergeTree(const MergeTree& tree) {
    TreeLayout layout;
    layout.problem = mergeTreeProblem(tree);
    if (!layout.problem.empty()) return layout;

    std::vector<int> position;
    if (isOrderOfObjects(tree.leafOrder, tree.objectCount, position) &&
        computeSpans(tree, position, layout)) {
        layout.usesLeafOrder = true;
        layout.order = tree.leafOrder;
        return layout;
    }

    layout.order = mergeOrder(tree);
    position.assign(index(tree.objectCount) + 1, -1);
    for (std::size_t i = 0; i < layout.order.size(); ++i)
        position[index(layout.order[i])] = static_cast<int>(i);
    computeSpans(tree, position, layout);  // always contiguous in merge order
    return layout;
}
