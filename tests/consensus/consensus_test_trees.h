#pragma once
// Trees and cluster lists for the consensus tests: hand-written trees and
// random trees whose clusters recur between samples.

#include <algorithm>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "cluster/merge_tree.h"
#include "consensus/cluster_list.h"

namespace consensus_test {

struct Step {
    int member0;
    int member1;
    double height;
};

inline MergeTree makeTree(int n, const std::vector<Step>& steps) {
    MergeTree tree(n);
    for (std::size_t s = 0; s < steps.size(); ++s) {
        tree.mergePairs[s] = MergePair{steps[s].member0, steps[s].member1};
        tree.heights[s] = steps[s].height;
    }
    return tree;
}

// A selection-style list: the given clusters in this slot order, valued.
inline ClusterList clustersOf(int n, const std::vector<std::vector<int>>& clusters,
                              const std::vector<double>& values) {
    std::vector<std::vector<int>> memberArrays(index(n));
    std::vector<int> sizes(index(n), 0);
    for (std::size_t c = 0; c < clusters.size(); ++c) {
        memberArrays[c] = clusters[c];
        sizes[c] = static_cast<int>(clusters[c].size());
    }
    ClusterList list(n);
    list.assign(memberArrays, sizes);
    for (std::size_t c = 0; c < values.size(); ++c) list.setValue(values[c], static_cast<int>(c));
    return list;
}

inline std::vector<int> slotMembers(const ClusterList& list, int slot) {
    const std::vector<int>& m = list.members[index(slot)];
    return {m.begin(), m.begin() + list.memberCounts[index(slot)]};
}

// Random trees over n objects whose clusters recur: each tree merges
// neighbours of a sequence that is the base order with a few neighbour
// exchanges, in random order, with random sides and heights drawn from a
// small set (ties, zero, a negative value and now and then NaN).
class TreeSource {
public:
    TreeSource(int n, unsigned seed) : n_(n), random_(seed) {
        for (int o = 1; o <= n; ++o) base_.push_back(o);
        std::shuffle(base_.begin(), base_.end(), random_);
    }

    MergeTree next(int exchanges) {
        std::vector<int> sequence = base_;
        for (int e = 0; e < exchanges && n_ > 1; ++e) {
            const int p = pick(n_ - 1);
            std::swap(sequence[index(p)], sequence[index(p + 1)]);
        }
        std::vector<int> parts;  // active parts as merge-pair codes, in sequence order
        for (int o : sequence) parts.push_back(-o);
        MergeTree tree(n_);
        for (int s = 0; s + 1 < n_; ++s) {
            const std::size_t p = index(pick(static_cast<int>(parts.size()) - 1));
            int a = parts[p];
            int b = parts[p + 1];
            if (pick(2) == 0) std::swap(a, b);
            tree.mergePairs[index(s)] = MergePair{a, b};
            tree.heights[index(s)] = height();
            parts[p] = s + 1;
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(p) + 1);
        }
        return tree;
    }

    int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

private:
    double height() {
        static const double choices[] = {0.0, 0.25, 0.25, 0.5, 1.0, 1.0, 2.0, -0.125};
        if (pick(50) == 0) return std::numeric_limits<double>::quiet_NaN();
        return choices[pick(8)];
    }

    int n_;
    std::mt19937 random_;
    std::vector<int> base_;
};

}  // namespace consensus_test
