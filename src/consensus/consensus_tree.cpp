// Consensus tree nesting and child order: see consensus_tree.h.

#include "consensus/consensus_tree.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace {

// The children of every node. Clusters are processed from the smallest up;
// owner[o] is the largest cluster processed so far that holds object o.
// Because the clusters are laminar and ascending by size, every cluster below
// slot i that holds o lies inside cluster i, and the largest of them is the
// maximal one. So the children of i are the distinct owners of its members
// (which a search from slot i-1 downwards finds in descending slot order),
// followed by its members without an owner in their stored order.
std::vector<std::vector<int>> findChildren(const ClusterList& consensus) {
    const int m = consensus.clusterCount;
    std::vector<std::vector<int>> childLists(index(m));
    std::vector<int> owner(index(consensus.rowCount) + 1, -1);
    std::vector<int> seenBy(index(m), -1);
    std::vector<int> childClusters;
    std::vector<int> childObjects;
    for (int i = 0; i < m; ++i) {
        childClusters.clear();
        childObjects.clear();
        const std::vector<int>& members = consensus.members[index(i)];
        const int count = consensus.memberCounts[index(i)];
        for (int t = 0; t < count; ++t) {
            const int object = members[index(t)];
            const int c = owner[index(object)];
            if (c < 0) {
                childObjects.push_back(object);
            } else if (seenBy[index(c)] != i) {
                seenBy[index(c)] = i;
                childClusters.push_back(c);
            }
            owner[index(object)] = i;
        }
        std::sort(childClusters.begin(), childClusters.end(), std::greater<int>());
        std::vector<int>& entries = childLists[index(i)];
        entries.reserve(childClusters.size() + childObjects.size());
        for (int c : childClusters) entries.push_back(c + 1);
        for (int o : childObjects) entries.push_back(-o);
    }
    return childLists;
}

// The exchange sort of one node's child entries: objects first, ascending by
// object number, then clusters ascending by their number of child entries.
void orderChildren(std::vector<int>& entries, const std::vector<int>& childCounts) {
    const std::size_t count = entries.size();
    for (std::size_t p = 0; p < count; ++p) {
        for (std::size_t q = p + 1; q < count; ++q) {
            const int x = entries[p];
            const int y = entries[q];
            const bool exchange =
                (x < 0 && y < 0 && x < y) || (x > 0 && y < 0) ||
                (x > 0 && y > 0 && childCounts[index(x - 1)] > childCounts[index(y - 1)]);
            if (exchange) std::swap(entries[p], entries[q]);
        }
    }
}

}  // namespace

ConsensusTree buildConsensusTree(const ClusterList& consensus) {
    ConsensusTree tree;
    tree.objectCount = consensus.rowCount;
    const int m = consensus.clusterCount;
    tree.children = findChildren(consensus);
    tree.values.assign(consensus.values.begin(), consensus.values.begin() + m);
    std::vector<int> childCounts(index(m));
    for (int i = 0; i < m; ++i) childCounts[index(i)] = static_cast<int>(tree.children[index(i)].size());

    // Children are below their parent, so ascending order rebuilds them first.
    tree.members.resize(index(m));
    for (int i = 0; i < m; ++i) {
        std::vector<int>& entries = tree.children[index(i)];
        orderChildren(entries, childCounts);
        std::vector<int>& members = tree.members[index(i)];
        members.reserve(index(consensus.memberCounts[index(i)]));
        for (int entry : entries) {
            if (entry < 0) {
                members.push_back(-entry);
            } else {
                const std::vector<int>& child = tree.members[index(entry - 1)];
                members.insert(members.end(), child.begin(), child.end());
            }
        }
    }

    if (m == 0) {
        for (int o = 1; o <= tree.objectCount; ++o) tree.objectOrder.push_back(o);
    } else {
        const std::vector<int>& root = tree.members.back();
        tree.objectOrder.assign(root.rbegin(), root.rend());
    }
    return tree;
}
