// Cluster list operations: see cluster_list.h.

#include "consensus/cluster_list.h"

#include <algorithm>
#include <utility>

void ClusterList::assign(const std::vector<std::vector<int>>& memberArrays,
                         const std::vector<int>& sizes) {
    if (clusterCount > 0) {
        std::fill(memberCounts.begin(), memberCounts.end(), 0);
        std::fill(values.begin(), values.end(), 0.0);
        for (auto& slotMembers : members) slotMembers.clear();
    }
    members.resize(index(rowCount));
    clusterCount = 0;
    for (int s = 0; s < rowCount; ++s) {
        const int size = sizes[index(s)];
        memberCounts[index(s)] = size;
        std::vector<int>& slotMembers = members[index(s)];
        if (size == 0) {
            slotMembers.clear();
        } else {
            ++clusterCount;
            const std::vector<int>& source = memberArrays[index(s)];
            slotMembers.assign(source.begin(), source.begin() + size);
        }
    }
}

void ClusterList::sortBySize() {
    for (int i = 0; i + 1 < clusterCount; ++i) {
        for (int j = i + 1; j < clusterCount; ++j) {
            if (memberCounts[index(j)] < memberCounts[index(i)]) {
                std::swap(members[index(i)], members[index(j)]);
                std::swap(memberCounts[index(i)], memberCounts[index(j)]);
                std::swap(values[index(i)], values[index(j)]);
            }
        }
    }
}
