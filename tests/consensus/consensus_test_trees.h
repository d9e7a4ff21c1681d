#pragma once
// Cluster lists for the consensus and picture tests.

#include <vector>

#include "consensus/cluster_list.h"

namespace consensus_test {

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

}  // namespace consensus_test
