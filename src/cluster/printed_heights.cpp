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
    // A side's height: a single object's is 0, a step's lies in its bounds.
    auto lowOf = [&](int member) {
        return member < 0 ? 0.0 : bounds[index(member - 1)].exact ? tree.height(member - 1) : bounds[index(member - 1)].low;
    };
    auto highOf = [&](int member) {
        return member < 0 ? 0.0 : bounds[index(member - 1)].exact ? tree.height(member - 1) : bounds[index(member - 1)].high;
    };
    auto exactOf = [&](int member) { return member < 0 || bounds[index(member - 1)].exact; };
    for (int s = 0; s < steps; ++s) {
        const int m0 = tree.mergeMember(s, 0), m1 = tree.mergeMember(s, 1);
        if ((exactOf(m0) && exactOf(m1)) || highOf(m0) < lowOf(m1) || highOf(m1) < lowOf(m0)) continue;
        for (const int m : {m0, m1})
            if (!exactOf(m)) sum[index(m - 1)] = 1;
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
