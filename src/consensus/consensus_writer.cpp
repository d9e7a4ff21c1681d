// Consensus tree nesting and output: see consensus_writer.h.

#include "consensus/consensus_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

std::size_t index(int i) { return static_cast<std::size_t>(i); }

void appendInt(std::string& out, const char* format, int value) {
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    out.append(buffer, static_cast<std::size_t>(length));
}

void appendHeight(std::string& out, double value) {
    char buffer[400];  // "%10.6f" of the largest double needs 317 characters
    const int length = std::snprintf(buffer, sizeof buffer, "%10.6f\n", value);
    out.append(buffer, static_cast<std::size_t>(length));
}

void appendLabel(std::string& out, int object, const NameTable& rowNames, bool hasRowNames) {
    if (hasRowNames && index(object - 1) < rowNames.size()) {
        out += rowNames[index(object - 1)];
    } else {
        out += std::to_string(object);
    }
}

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

void writeSPlus(std::string& out, const ClusterList& consensus) {
    const int m = consensus.clusterCount;
    appendInt(out, "The number of nodes is : %d\n", m);
    out += "The nodes of the tree are :\n";
    for (int i = 0; i < m; ++i) {
        const int count = consensus.memberCounts[index(i)];
        appendInt(out, "%d  ", count);
        for (int t = 0; t < count; ++t) {
            appendInt(out, t + 1 < count ? "%d  " : "%d\n", consensus.members[index(i)][index(t)]);
        }
    }
    out += "The heights of the tree nodes are :\n";
    for (int i = 0; i < m; ++i) appendHeight(out, consensus.values[index(i)]);
    out += "The order of the objects in the tree is :\n";
    for (int t = 0; t < consensus.rowCount; ++t) appendInt(out, "%d\n", consensus.scratch[index(t)]);
}

// The root's nested text, written depth first without keeping a text per node.
void writeNewHampshire(std::string& out, const ClusterList& consensus,
                       const std::vector<std::vector<int>>& childLists, const NameTable& rowNames,
                       bool hasRowNames) {
    struct Frame {
        int node;
        std::size_t next;
    };
    std::vector<Frame> path{{consensus.clusterCount - 1, 0}};
    out += '(';
    while (!path.empty()) {
        const int node = path.back().node;
        const std::vector<int>& entries = childLists[index(node)];
        if (path.back().next == entries.size()) {
            out += "):";
            out += formatValueText(consensus.values[index(node)]);
            path.pop_back();
            if (!path.empty() && path.back().next < childLists[index(path.back().node)].size()) out += ',';
            continue;
        }
        const int entry = entries[path.back().next++];
        if (entry < 0) {
            appendLabel(out, -entry, rowNames, hasRowNames);
            if (path.back().next < entries.size()) out += ',';
        } else {
            out += '(';
            path.push_back({entry - 1, 0});
        }
    }
    out += ";\n";
}

// The block of a list without clusters: only a one-object matrix gives one.
void writeWithoutRoot(std::string& out, ClusterList& consensus, TreeNotation notation,
                      const NameTable& rowNames, bool hasRowNames) {
    for (int t = 0; t < consensus.rowCount; ++t) consensus.scratch[index(t)] = t + 1;
    if (notation == TreeNotation::SPlus) {
        writeSPlus(out, consensus);
    } else {
        if (consensus.rowCount == 1) appendLabel(out, 1, rowNames, hasRowNames);
        out += ";\n";
    }
}

}  // namespace

void writeConsensusTree(std::string& out, ClusterList& consensus, TreeNotation notation,
                        const NameTable& rowNames, bool hasRowNames) {
    const int m = consensus.clusterCount;
    if (m == 0) {
        writeWithoutRoot(out, consensus, notation, rowNames, hasRowNames);
        return;
    }

    std::vector<std::vector<int>> childLists = findChildren(consensus);
    std::vector<int> childCounts(index(m));
    for (int i = 0; i < m; ++i) childCounts[index(i)] = static_cast<int>(childLists[index(i)].size());

    // Children are below their parent, so ascending order rebuilds them first.
    std::vector<int> rebuilt;
    for (int i = 0; i < m; ++i) {
        std::vector<int>& entries = childLists[index(i)];
        orderChildren(entries, childCounts);
        rebuilt.clear();
        for (int entry : entries) {
            if (entry < 0) {
                rebuilt.push_back(-entry);
            } else {
                const std::vector<int>& child = consensus.members[index(entry - 1)];
                rebuilt.insert(rebuilt.end(), child.begin(),
                               child.begin() + consensus.memberCounts[index(entry - 1)]);
            }
        }
        std::vector<int>& members = consensus.members[index(i)];
        if (members.size() < rebuilt.size()) members.resize(rebuilt.size());
        std::copy(rebuilt.begin(), rebuilt.end(), members.begin());
        consensus.memberCounts[index(i)] = static_cast<int>(rebuilt.size());
    }

    // The object order: the root's members from the last to the first.
    const std::vector<int>& root = consensus.members[index(m - 1)];
    const int rootCount = consensus.memberCounts[index(m - 1)];
    for (int t = 0; t < consensus.rowCount; ++t) {
        consensus.scratch[index(t)] = t < rootCount ? root[index(rootCount - 1 - t)] : 0;
    }

    if (notation == TreeNotation::SPlus) {
        writeSPlus(out, consensus);
    } else {
        writeNewHampshire(out, consensus, childLists, rowNames, hasRowNames);
    }
}
