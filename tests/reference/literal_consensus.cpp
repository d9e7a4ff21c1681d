// Literal consensus algorithms: see literal_consensus.h.

#include "reference/literal_consensus.h"

#include <cstddef>
#include <cstdio>

namespace literal {

namespace {

void appendFormatted(std::string& out, const char* format, int value) {
    char buffer[60];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

// Writes the slot's members into destination (rowCount entries, the rest
// zeroed) and returns their number.
int copyMembers(const ClusterList& list, std::vector<int>& destination, int slot) {
    const int n = list.memberCounts[index(slot)];
    for (int t = 0; t < list.rowCount; ++t) destination[index(t)] = t < n ? list.members[index(slot)][index(t)] : 0;
    return n;
}

// 1 when other holds a cluster of the same size in which every member of
// the slot occurs (counting each member once), else 0.
int containsCluster(const ClusterList& list, int slot, const ClusterList& other) {
    const int n = list.memberCounts[index(slot)];
    if (n == 0) return 0;
    for (int j = 0; j < other.clusterCount; ++j) {
        if (other.memberCounts[index(j)] != n) continue;
        int found = 0;
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                if (list.members[index(slot)][index(a)] == other.members[index(j)][index(b)]) {
                    ++found;
                    break;
                }
            }
        }
        if (found == n) return 1;
    }
    return 0;
}

// Removes the smaller list's members from the larger list when all of them
// occur there, closing the gaps; returns 1 then, else 0. Counts unchanged.
int removeSubset(std::vector<int>& larger, int largerCount, const std::vector<int>& smaller,
                 int smallerCount) {
    if (smallerCount > largerCount) return 0;
    int found = 0;
    for (int a = 0; a < smallerCount; ++a) {
        for (int b = 0; b < largerCount; ++b) {
            if (smaller[index(a)] == larger[index(b)]) {
                ++found;
                break;
            }
        }
    }
    if (found != smallerCount) return 0;
    int remaining = largerCount;
    for (int a = 0; a < smallerCount; ++a) {
        for (int b = 0; b < remaining; ++b) {
            if (larger[index(b)] == smaller[index(a)]) {
                for (int c = b; c + 1 < remaining; ++c) larger[index(c)] = larger[index(c + 1)];
                --remaining;
                break;
            }
        }
    }
    return 1;
}

}  // namespace

ClusterList clusterListOf(const MergeTree& tree) {
    const int n = tree.objectCount;
    ClusterList list(n);
    list.clusterCount = n > 0 ? n - 1 : 0;
    for (int i = 0; i < list.clusterCount; ++i) {
        list.values[index(i)] = tree.height(i);
        const int a = tree.mergeMember(i, 0);
        const int b = tree.mergeMember(i, 1);
        std::vector<int>& joined = list.members[index(i)];
        auto append = [&](int member) {
            if (member < 0) {
                joined.push_back(-member);
            } else {
                const std::vector<int>& side = list.members[index(member - 1)];
                joined.insert(joined.end(), side.begin(), side.end());
            }
        };
        auto height = [&](int member) { return member < 0 ? 0.0 : list.values[index(member - 1)]; };
        if (a < 0 && b < 0) {
            joined.push_back(-a < -b ? -a : -b);
            joined.push_back(-a < -b ? -b : -a);
        } else if (height(a) < height(b)) {
            append(a);
            append(b);
        } else {
            append(b);
            append(a);
        }
        list.memberCounts[index(i)] = static_cast<int>(joined.size());
    }
    return list;
}

std::vector<double> computeSupportValues(const ClusterList& firstTreeClusters,
                                         const std::vector<ClusterList>& sampleLists) {
    const int h = static_cast<int>(sampleLists.size());
    std::vector<double> support(index(firstTreeClusters.count()));
    for (int d = 0; d < firstTreeClusters.count(); ++d) {
        int s = 0;
        for (int f = 0; f < h; ++f) {
            if (containsCluster(firstTreeClusters, d, sampleLists[index(f)]) == 1) ++s;
        }
        support[index(d)] = s * 1.0 / h;
    }
    return support;
}

ClusterList selectMajorityClusters(const std::vector<ClusterList>& sampleLists, int rowCount) {
    const int h = static_cast<int>(sampleLists.size());
    std::vector<int> memberScratch(index(rowCount), 0);
    std::vector<std::vector<int>> selectedMembers(index(rowCount));
    std::vector<int> selectedSizes(index(rowCount), 0);
    std::vector<int> selectedCounts(index(rowCount), 0);
    int g = 0;
    const int sourceCount = h - h / 2;
    for (int d = 0; d < sourceCount; ++d) {
        const ClusterList& list = sampleLists[index(d)];
        for (int slot = 0; slot < list.count(); ++slot) {
            bool seenBefore = false;
            for (int p = 0; p < d; ++p) {
                if (containsCluster(list, slot, sampleLists[index(p)]) == 1) {
                    seenBefore = true;
                    break;
                }
            }
            if (seenBefore) continue;
            int c = 1;
            for (int f = d + 1; f < h; ++f) {
                if (containsCluster(list, slot, sampleLists[index(f)]) == 1) ++c;
            }
            if (c > h / 2) {
                selectedCounts[index(g)] = c;
                const int n = copyMembers(list, memberScratch, slot);
                selectedMembers[index(g)].assign(memberScratch.begin(), memberScratch.begin() + n);
                selectedSizes[index(g)] = n;
                ++g;
            }
        }
    }
    for (int rest = g; rest < rowCount; ++rest) {
        selectedMembers[index(rest)].assign(1, 0);
        selectedSizes[index(rest)] = 0;
        selectedCounts[index(rest)] = 0;
    }
    ClusterList consensus(rowCount);
    consensus.assign(selectedMembers, selectedSizes);
    for (int d = 0; d < g; ++d) consensus.setValue(selectedCounts[index(d)] * 1.0 / h, d);
    return consensus;
}

std::vector<int> writeConsensusTree(std::string& out, ClusterList& list, TreeNotation notation,
                                    const NameTable& rowNames, bool hasRowNames) {
    const int n = list.rowCount;
    const int m = list.clusterCount;
    std::vector<std::vector<int>> childLists(index(n));
    std::vector<int> childCounts(index(n), 0);
    std::vector<int> childRow(index(n), 0);
    std::vector<int> objectOrder(index(n), 0);

    // Nesting.
    for (int i = m - 1; i >= 0; --i) {
        int j = 0;
        int r = list.memberCounts[index(i)];
        for (int k = i - 1; k >= 0; --k) {
            if (removeSubset(list.members[index(i)], list.memberCounts[index(i)], list.members[index(k)],
                             list.memberCounts[index(k)]) == 1) {
                r = list.memberCounts[index(i)] - list.memberCounts[index(k)];
                list.memberCounts[index(i)] = r;
                childRow[index(j++)] = k + 1;
                if (r == 0) break;
            }
        }
        for (int t = 0; t < r; ++t) childRow[index(j++)] = -list.members[index(i)][index(t)];
        childLists[index(i)].assign(childRow.begin(), childRow.begin() + j);
        childCounts[index(i)] = j;
    }

    // Ordering and member rebuild.
    for (int i = 0; i < m; ++i) {
        std::vector<int>& entries = childLists[index(i)];
        for (int p = 0; p < childCounts[index(i)]; ++p) {
            for (int q = p + 1; q < childCounts[index(i)]; ++q) {
                const int x = entries[index(p)];
                const int y = entries[index(q)];
                bool exchange = false;
                if (x < 0 && y < 0 && x < y) exchange = true;
                if (x > 0 && y < 0) exchange = true;
                if (x > 0 && y > 0 && childCounts[index(x - 1)] > childCounts[index(y - 1)]) exchange = true;
                if (exchange) {
                    entries[index(p)] = y;
                    entries[index(q)] = x;
                }
            }
        }
        int count = 0;
        for (int p = 0; p < childCounts[index(i)]; ++p) {
            const int entry = entries[index(p)];
            if (entry < 0) {
                list.members[index(i)][index(count++)] = -entry;
            } else {
                for (int t = 0; t < list.memberCounts[index(entry - 1)]; ++t) {
                    list.members[index(i)][index(count++)] = list.members[index(entry - 1)][index(t)];
                }
            }
        }
        list.memberCounts[index(i)] = count;
    }

    // Object order.
    for (int t = 0; t < n; ++t) objectOrder[index(t)] = list.members[index(m - 1)][index(n - 1 - t)];

    if (notation == TreeNotation::SPlus) {
        appendFormatted(out, "The number of nodes is : %d\n", m);
        out += "The nodes of the tree are :\n";
        for (int i = 0; i < m; ++i) {
            appendFormatted(out, "%d  ", list.memberCounts[index(i)]);
            for (int t = 0; t < list.memberCounts[index(i)] - 1; ++t) {
                appendFormatted(out, "%d  ", list.members[index(i)][index(t)]);
            }
            appendFormatted(out, "%d\n", list.members[index(i)][index(list.memberCounts[index(i)] - 1)]);
        }
        out += "The heights of the tree nodes are :\n";
        for (int i = 0; i < m; ++i) {
            char buffer[400];
            std::snprintf(buffer, sizeof buffer, "%10.6f\n", list.values[index(i)]);
            out += buffer;
        }
        out += "The order of the objects in the tree is :\n";
        for (int t = 0; t < n; ++t) appendFormatted(out, "%d\n", objectOrder[index(t)]);
    } else if (notation == TreeNotation::NewHampshire) {
        std::vector<std::string> nodeTexts(index(m));
        for (int i = 0; i < m; ++i) {
            std::string text = "(";
            for (int p = 0; p < childCounts[index(i)]; ++p) {
                const int entry = childLists[index(i)][index(p)];
                if (entry > 0) {
                    text += nodeTexts[index(entry - 1)];
                } else if (hasRowNames) {
                    text += rowNames[index(-entry - 1)];
                } else {
                    appendFormatted(text, "%d", -entry);
                }
                text += p + 1 < childCounts[index(i)] ? "," : ")";
            }
            text += ":";
            text += formatValueText(list.values[index(i)]);
            nodeTexts[index(i)] = text;
        }
        out += nodeTexts[index(m - 1)];
        out += ";\n";
    }
    return objectOrder;
}

}  // namespace literal
