// Cluster list operations: see cluster_list.h.

#include "consensus/cluster_list.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

std::size_t index(int i) { return static_cast<std::size_t>(i); }

// One side of a merge step while a tree is turned into clusters.
struct MergeSide {
    int singleObject = 0;          // object number when the side is a single object, else 0
    const std::vector<int>* cluster = nullptr;  // the side's members when it is a cluster
    int clusterSize = 0;
    double height = 0.0;           // a single object counts as height 0
};

}  // namespace

void ClusterList::fromMergeTree(const MergeTree& tree) {
    if (clusterCount > 0) {
        std::fill(memberCounts.begin(), memberCounts.end(), 0);
        for (auto& slotMembers : members) slotMembers.clear();
    }
    members.resize(index(rowCount));
    clusterCount = rowCount > 0 ? rowCount - 1 : 0;
    for (int i = 0; i < clusterCount; ++i) values[index(i)] = tree.height(i);

    for (int i = 0; i < clusterCount; ++i) {
        MergeSide sides[2];
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(i, side);
            if (member < 0) {
                sides[side].singleObject = -member;
            } else {
                sides[side].cluster = &members[index(member - 1)];
                sides[side].clusterSize = memberCounts[index(member - 1)];
                sides[side].height = values[index(member - 1)];
            }
        }
        const MergeSide& a = sides[0];
        const MergeSide& b = sides[1];
        std::vector<int>& joined = members[index(i)];
        joined.clear();
        auto append = [&joined](const MergeSide& s) {
            if (s.cluster == nullptr) {
                joined.push_back(s.singleObject);
            } else {
                joined.insert(joined.end(), s.cluster->begin(), s.cluster->begin() + s.clusterSize);
            }
        };
        if (a.cluster == nullptr && b.cluster == nullptr) {
            joined.push_back(std::min(a.singleObject, b.singleObject));
            joined.push_back(std::max(a.singleObject, b.singleObject));
        } else if (a.height < b.height) {
            append(a);
            append(b);
        } else {
            // Equal heights (or A higher, or an unordered NaN): member 1 first.
            append(b);
            append(a);
        }
        memberCounts[index(i)] = static_cast<int>(joined.size());
    }
    if (rowCount > 0) {
        memberCounts[index(rowCount - 1)] = 0;
        members[index(rowCount - 1)].clear();
    }
}

bool ClusterList::containsCluster(int slot, const ClusterList& other) const {
    const int n = memberCounts[index(slot)];
    if (n == 0) return false;
    // Members are distinct within a cluster, so "every member of the slot
    // occurs in a cluster of the same size" is equality of sorted copies.
    std::vector<int> wanted(members[index(slot)].begin(), members[index(slot)].begin() + n);
    std::sort(wanted.begin(), wanted.end());
    std::vector<int> candidate;
    for (int j = 0; j < other.clusterCount; ++j) {
        if (other.memberCounts[index(j)] != n) continue;
        const std::vector<int>& theirs = other.members[index(j)];
        candidate.assign(theirs.begin(), theirs.begin() + n);
        std::sort(candidate.begin(), candidate.end());
        if (candidate == wanted) return true;
    }
    return false;
}

int ClusterList::copyMembers(std::vector<int>& destination, int slot) const {
    if (destination.size() < index(rowCount)) destination.resize(index(rowCount));
    const int n = memberCounts[index(slot)];
    const std::vector<int>& source = members[index(slot)];
    std::copy(source.begin(), source.begin() + n, destination.begin());
    std::fill(destination.begin() + n, destination.begin() + rowCount, 0);
    return n;
}

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
