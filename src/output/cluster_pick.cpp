#include "output/cluster_pick.h"

#include <cmath>

namespace {

bool qualifies(const std::vector<double>& support, int step, double threshold) {
    return index(step) < support.size() && !std::isnan(support[index(step)]) &&
           support[index(step)] >= threshold;
}

}  // namespace

std::vector<int> stepsAtLeast(const MergeTree& tree, const std::vector<double>& support,
                              double threshold) {
    std::vector<int> steps;
    for (int s = 0; s + 1 < tree.stepCount(); ++s)
        if (qualifies(support, s, threshold)) steps.push_back(s);
    return steps;
}

std::vector<int> outermostStepsAtLeast(const MergeTree& tree, const std::vector<double>& support,
                                       double threshold) {
    // Walk from the last step down: a step is covered when an enclosing step
    // was picked or is itself covered. A step's enclosing step comes later,
    // so one backward pass decides every step.
    const int steps = tree.stepCount();
    std::vector<char> covered(index(steps), 0), picked(index(steps), 0);
    for (int s = steps - 1; s >= 0; --s) {
        const bool isRoot = s == steps - 1;
        if (!isRoot && !covered[index(s)] && qualifies(support, s, threshold)) picked[index(s)] = 1;
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(s, side);
            if (member > 0 && member <= steps && (picked[index(s)] || covered[index(s)]))
                covered[index(member - 1)] = 1;
        }
    }
    std::vector<int> result;
    for (int s = 0; s < steps; ++s)
        if (picked[index(s)]) result.push_back(s);
    return result;
}
