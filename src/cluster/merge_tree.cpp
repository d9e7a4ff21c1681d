// Merge tree leaf order and record check: see merge_tree.h.
//
// Each step's object sequence is the concatenation of its two sides'
// sequences in an order fixed at that step, so the last step's sequence is
// a depth-first walk of the tree that visits, at every step, the side that
// goes first before the other. The walk needs no stored sequences.

#include "cluster/merge_tree.h"

#include <utility>

void computeLeafOrder(MergeTree& tree) {
    const int steps = tree.stepCount();
    if (steps == 0) return;
    auto sideHeight = [&](int member) { return member < 0 ? 0.0 : tree.height(member - 1); };

    std::vector<int> pending{steps};  // members still to visit, the next one last
    std::vector<int> order;
    order.reserve(index(steps) + 1);
    while (!pending.empty()) {
        const int member = pending.back();
        pending.pop_back();
        if (member < 0) {
            order.push_back(-member);
            continue;
        }
        // Only members naming an earlier step (or the last step itself, the
        // root) are followed, so a malformed tree cannot loop.
        if (member < 1 || member > steps) continue;
        int first = tree.mergeMember(member - 1, 0);
        int second = tree.mergeMember(member - 1, 1);
        if (first >= member || second >= member) continue;
        if (first < 0 && second < 0) {
            if (-first > -second) std::swap(first, second);
        } else if (sideHeight(first) > sideHeight(second)) {
            std::swap(first, second);
        }
        pending.push_back(second);
        pending.push_back(first);
    }
    tree.leafOrder = std::move(order);
}

std::string mergeTreeProblem(const MergeTree& tree) {
    const int n = tree.objectCount;
    if (n < 0) return "negative object count";
    const int steps = n > 1 ? n - 1 : 0;
    if (tree.mergePairs.size() != index(steps) || tree.heights.size() != index(steps))
        return "merge step count does not match the object count";
    std::vector<char> objectUsed(index(n) + 1, 0);
    std::vector<char> stepUsed(index(steps) + 1, 0);
    for (int s = 0; s < steps; ++s) {
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(s, side);
            if (member < 0 && -member <= n && !objectUsed[index(-member)]) {
                objectUsed[index(-member)] = 1;
            } else if (member > 0 && member <= s && !stepUsed[index(member)]) {
                stepUsed[index(member)] = 1;
            } else {
                return "merge step " + std::to_string(s + 1) + " has an invalid member " +
                       std::to_string(member);
            }
        }
    }
    return {};
}
