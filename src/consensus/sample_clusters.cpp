// Per-tree cluster summaries: see sample_clusters.h.

#include "consensus/sample_clusters.h"

#include <algorithm>
#include <cstddef>

namespace {

std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

}  // namespace

ClusterKey objectKey(int object) {
    const auto o = static_cast<std::uint64_t>(static_cast<std::uint32_t>(object));
    return ClusterKey{splitmix64(2 * o), splitmix64(2 * o + 1)};
}

SampleClusters summarizeTree(const MergeTree& tree) {
    SampleClusters summary;
    const int steps = tree.stepCount();
    summary.objectCount = tree.objectCount;
    summary.pairs = tree.mergePairs;
    summary.heights = tree.heights;
    summary.keys.resize(index(steps));
    summary.sizes.resize(index(steps));
    for (int s = 0; s < steps; ++s) {
        ClusterKey key;
        int size = 0;
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(s, side);
            if (member < 0) {
                key = key + objectKey(-member);
                size += 1;
            } else {
                key = key + summary.keys[index(member - 1)];
                size += summary.sizes[index(member - 1)];
            }
        }
        summary.keys[index(s)] = key;
        summary.sizes[index(s)] = size;
    }
    return summary;
}

std::vector<int> clusterMembers(const SampleClusters& sample, int slot) {
    // Depth-first expansion with the join rule of the cluster list: two
    // single objects by object number; otherwise side 0 first only when its
    // height is strictly lower (a single object counts as height 0).
    std::vector<int> result;
    result.reserve(index(sample.sizes[index(slot)]));
    std::vector<int> pending{slot + 1};  // merge-pair codes still to expand
    auto sideHeight = [&sample](int member) {
        return member < 0 ? 0.0 : sample.heights[index(member - 1)];
    };
    while (!pending.empty()) {
        const int code = pending.back();
        pending.pop_back();
        if (code < 0) {
            result.push_back(-code);
            continue;
        }
        const MergePair& pair = sample.pairs[index(code - 1)];
        const int a = pair.member0;
        const int b = pair.member1;
        int first = b;
        int second = a;
        if (a < 0 && b < 0) {
            first = std::max(a, b);  // the smaller object number
            second = std::min(a, b);
        } else if (sideHeight(a) < sideHeight(b)) {
            first = a;
            second = b;
        }
        pending.push_back(second);
        pending.push_back(first);
    }
    return result;
}
