#include "cluster/printed_heights.h"

#include <algorithm>

#include "cluster/average_cells.h"
#include "cluster/tree_writer.h"

namespace {

// The objects (0-based) under a merge-record member, ascending.
void membersOf(const MergeTree& tree, int member, std::vector<int>& members, std::vector<int>& stack) {
    members.clear();
    stack.assign(1, member);
    while (!stack.empty()) {
        const int m = stack.back();
        stack.pop_back();
        if (m < 0) {
            members.push_back(-m - 1);
        } else {
            stack.push_back(tree.mergeMember(m - 1, 0));
            stack.push_back(tree.mergeMember(m - 1, 1));
        }
    }
    std::sort(members.begin(), members.end());
}

}  // namespace

void settlePrintedHeights(MergeTree& tree, const std::vector<HeightBounds>& bounds,
                          const DistanceTriangle& distances, std::vector<double>& scratch,
                          std::size_t& exactCount) {
    const int steps = tree.stepCount();
    std::vector<char> sum(index(steps), 0);
    for (int s = 0; s < steps; ++s) {
        const HeightBounds& b = bounds[index(s)];
        sum[index(s)] = !b.exact && !printsAlike(b.low, b.high);
    }
    // A side's height: a single object's is 0, a step's lies in its bounds
    // (the tree's height where it is exact).
    struct Side {
        double low, high;
        bool exact;
    };
    auto sideOf = [&](int member) -> Side {
        if (member < 0) return {0.0, 0.0, true};
        const HeightBounds& b = bounds[index(member - 1)];
        const double h = tree.height(member - 1);
        return b.exact ? Side{h, h, true} : Side{b.low, b.high, false};
    };
    for (int s = 0; s < steps; ++s) {
        const int m0 = tree.mergeMember(s, 0), m1 = tree.mergeMember(s, 1);
        const Side s0 = sideOf(m0), s1 = sideOf(m1);
        if ((s0.exact && s1.exact) || s0.high < s1.low || s1.high < s0.low) continue;
        if (!s0.exact) sum[index(m0 - 1)] = 1;
        if (!s1.exact) sum[index(m1 - 1)] = 1;
    }
    std::vector<int> outer, inner, stack;
    for (int s = 0; s < steps; ++s) {
        if (!sum[index(s)]) continue;
        const bool swap = bounds[index(s)].outerIsSecond;
        membersOf(tree, tree.mergeMember(s, swap ? 1 : 0), outer, stack);
        membersOf(tree, tree.mergeMember(s, swap ? 0 : 1), inner, stack);
        tree.setHeight(linkage_cells::documentedAverage(distances, outer, inner, scratch), s);
        ++exactCount;
    }
}
