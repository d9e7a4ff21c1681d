// Display order of a merge tree's objects: see tree_layout.h.
#include "output/tree_layout.h"

#include <algorithm>
#include <cstddef>

namespace {

using Index = std::size_t;

// Checks the record's shape and the merge pairs; returns a description of the
// first fault found, or an empty text.
std::string checkMergePairs(const MergeTree& tree) {
    const int n = tree.objectCount;
    if (n < 0) return "negative object count";
    const Index steps = n > 1 ? static_cast<Index>(n - 1) : 0;
    if (tree.mergePairs.size() != steps || tree.heights.size() != steps)
        return "merge step count does not match the object count";
    std::vector<char> objectUsed(static_cast<Index>(n) + 1, 0);
    std::vector<char> stepUsed(steps + 1, 0);
    for (Index s = 0; s < steps; ++s) {
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(static_cast<int>(s), side);
            if (member < 0 && -member <= n && !objectUsed[static_cast<Index>(-member)]) {
                objectUsed[static_cast<Index>(-member)] = 1;
            } else if (member > 0 && static_cast<Index>(member) <= s &&
                       !stepUsed[static_cast<Index>(member)]) {
                stepUsed[static_cast<Index>(member)] = 1;
            } else {
                return "merge step " + std::to_string(s + 1) + " has an invalid member " +
                       std::to_string(member);
            }
        }
    }
    return {};
}

// Fills spanBegin/spanEnd from the positions of the objects in the order;
// returns false when some step's objects are not contiguous there.
bool computeSpans(const MergeTree& tree, const std::vector<int>& position, TreeLayout& layout) {
    const Index steps = tree.mergePairs.size();
    layout.spanBegin.assign(steps, 0);
    layout.spanEnd.assign(steps, 0);
    for (Index s = 0; s < steps; ++s) {
        int first = 0;
        int last = 0;
        int size = 0;
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(static_cast<int>(s), side);
            int b = 0;
            int e = 0;
            if (member < 0) {
                b = position[static_cast<Index>(-member)];
                e = b + 1;
            } else {
                b = layout.spanBegin[static_cast<Index>(member - 1)];
                e = layout.spanEnd[static_cast<Index>(member - 1)];
            }
            first = side == 0 ? b : std::min(first, b);
            last = side == 0 ? e : std::max(last, e);
            size += e - b;
        }
        if (last - first != size) return false;
        layout.spanBegin[s] = first;
        layout.spanEnd[s] = last;
    }
    return true;
}

// Objects under the last step, member 0 before member 1, without recursion
// (a chain-shaped tree is as deep as it has objects).
std::vector<int> mergeOrder(const MergeTree& tree) {
    std::vector<int> order;
    if (tree.objectCount == 1) order.push_back(1);
    if (tree.mergePairs.empty()) return order;
    order.reserve(static_cast<Index>(tree.objectCount));
    std::vector<int> pending{static_cast<int>(tree.mergePairs.size())};
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
    layout.problem = checkMergePairs(tree);
    if (!layout.problem.empty()) return layout;

    const Index n = static_cast<Index>(tree.objectCount);
    std::vector<int> position(n + 1, -1);
    bool permutation = tree.leafOrder.size() == n;
    for (Index i = 0; permutation && i < n; ++i) {
        const int object = tree.leafOrder[i];
        if (object < 1 || static_cast<Index>(object) > n ||
            position[static_cast<Index>(object)] >= 0)
            permutation = false;
        else
            position[static_cast<Index>(object)] = static_cast<int>(i);
    }
    if (permutation && computeSpans(tree, position, layout)) {
        layout.usesLeafOrder = true;
        layout.order = tree.leafOrder;
        return layout;
    }

    layout.order = mergeOrder(tree);
    for (Index i = 0; i < layout.order.size(); ++i)
        position[static_cast<Index>(layout.order[i])] = static_cast<int>(i);
    computeSpans(tree, position, layout);  // always contiguous in merge order
    return layout;
}

std::string objectLabel(int object, const NameTable& rowNames, bool hasRowNames) {
    if (hasRowNames && object >= 1 && static_cast<std::size_t>(object) <= rowNames.size() &&
        !rowNames[static_cast<std::size_t>(object - 1)].empty())
        return rowNames[static_cast<std::size_t>(object - 1)];
    return std::to_string(object);
}
