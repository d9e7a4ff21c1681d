// Literal consensus algorithms: see literal_consensus.h.

#include "reference/literal_consensus.h"

#include <cstddef>
#include <cstdio>

namespace literal {

namespace {

std::size_t ix(int i) { return static_cast<std::size_t>(i); }

void appendFormatted(std::string& out, const char* format, int value) {
    char buffer[60];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

}  // namespace

ClusterList clusterListOf(const MergeTree& tree) {
    const int n = tree.objectCount;
    ClusterList list(n);
    list.clusterCount = n > 0 ? n - 1 : 0;
    for (int i = 0; i < list.clusterCount; ++i) {
        list.values[ix(i)] = tree.height(i);
        const int a = tree.mergeMember(i, 0);
        const int b = tree.mergeMember(i, 1);
        std::vector<int>& joined = list.members[ix(i)];
        auto append = [&](int member) {
            if (member < 0) {
                joined.push_back(-member);
            } else {
                const std::vector<int>& side = list.members[ix(member - 1)];
                joined.insert(joined.end(), side.begin(), side.end());
            }
        };
        auto height = [&](int member) { return member < 0 ? 0.0 : list.values[ix(member - 1)]; };
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
        list.memberCounts[ix(i)] = static_cast<int>(joined.size());
    }
    return list;
}

int copyMembers(const ClusterList& list, std::vector<int>& destination, int slot) {
    const int n = list.memberCounts[ix(slot)];
    for (int t = 0; t < list.rowCount; ++t) destination[ix(t)] = t < n ? list.members[ix(slot)][ix(t)] : 0;
    return n;
}

int containsCluster(const ClusterList& list, int slot, const ClusterList& other) {
    const int n = list.memberCounts[ix(slot)];
    if (n == 0) return 0;
    for (int j = 0; j < other.clusterCount; ++j) {
        if (other.memberCounts[ix(j)] != n) continue;
        int found = 0;
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                if (list.members[ix(slot)][ix(a)] == other.members[ix(j)][ix(b)]) {
                    ++found;
                    break;
                }
            }
        }
        if (found == n) return 1;
    }
    return 0;
}

std::vector<double> computeSupportValues(const ClusterList& firstTreeClusters,
                                         const std::vector<ClusterList>& sampleLists) {
    const int h = static_cast<int>(sampleLists.size());
    std::vector<double> support(ix(firstTreeClusters.count()));
    for (int d = 0; d < firstTreeClusters.count(); ++d) {
        int s = 0;
        for (int f = 0; f < h; ++f) {
            if (containsCluster(firstTreeClusters, d, sampleLists[ix(f)]) == 1) ++s;
        }
        support[ix(d)] = s * 1.0 / h;
    }
    return support;
}

ClusterList selectMajorityClusters(const std::vector<ClusterList>& sampleLists, int rowCount) {
    const int h = static_cast<int>(sampleLists.size());
    std::vector<int> memberScratch(ix(rowCount), 0);
    std::vector<std::vector<int>> selectedMembers(ix(rowCount));
    std::vector<int> selectedSizes(ix(rowCount), 0);
    std::vector<int> selectedCounts(ix(rowCount), 0);
    int g = 0;
    const int sourceCount = h - h / 2;
    for (int d = 0; d < sourceCount; ++d) {
        const ClusterList& list = sampleLists[ix(d)];
        for (int slot = 0; slot < list.count(); ++slot) {
            bool seenBefore = false;
            for (int p = 0; p < d; ++p) {
                if (containsCluster(list, slot, sampleLists[ix(p)]) == 1) {
                    seenBefore = true;
                    break;
                }
            }
            if (seenBefore) continue;
            int c = 1;
            for (int f = d + 1; f < h; ++f) {
                if (containsCluster(list, slot, sampleLists[ix(f)]) == 1) ++c;
            }
            if (c > h / 2) {
                selectedCounts[ix(g)] = c;
                const int n = copyMembers(list, memberScratch, slot);
                selectedMembers[ix(g)].assign(memberScratch.begin(), memberScratch.begin() + n);
                selectedSizes[ix(g)] = n;
                ++g;
            }
        }
    }
    for (int rest = g; rest < rowCount; ++rest) {
        selectedMembers[ix(rest)].assign(1, 0);
        selectedSizes[ix(rest)] = 0;
        selectedCounts[ix(rest)] = 0;
    }
    ClusterList consensus(rowCount);
    consensus.assign(selectedMembers, selectedSizes);
    for (int d = 0; d < g; ++d) consensus.setValue(selectedCounts[ix(d)] * 1.0 / h, d);
    return consensus;
}

int removeSubset(std::vector<int>& larger, int largerCount, const std::vector<int>& smaller,
                 int smallerCount) {
    if (smallerCount > largerCount) return 0;
    int found = 0;
    for (int a = 0; a < smallerCount; ++a) {
        for (int b = 0; b < largerCount; ++b) {
            if (smaller[ix(a)] == larger[ix(b)]) {
                ++found;
                break;
            }
        }
    }
    if (found != smallerCount) return 0;
    int remaining = largerCount;
    for (int a = 0; a < smallerCount; ++a) {
        for (int b = 0; b < remaining; ++b) {
            if (larger[ix(b)] == smaller[ix(a)]) {
                for (int c = b; c + 1 < remaining; ++c) larger[ix(c)] = larger[ix(c + 1)];
                --remaining;
                break;
            }
        }
    }
    return 1;
}

std::vector<int> writeConsensusTree(std::string& out, ClusterList& list, TreeNotation notation,
                                    const NameTable& rowNames, bool hasRowNames) {
    const int n = list.rowCount;
    const int m = list.clusterCount;
    std::vector<std::vector<int>> childLists(ix(n));
    std::vector<int> childCounts(ix(n), 0);
    std::vector<int> childRow(ix(n), 0);
    std::vector<int> objectOrder(ix(n), 0);

    // Nesting.
    for (int i = m - 1; i >= 0; --i) {
        int j = 0;
        int r = list.memberCounts[ix(i)];
        for (int k = i - 1; k >= 0; --k) {
            if (removeSubset(list.members[ix(i)], list.memberCounts[ix(i)], list.members[ix(k)],
                             list.memberCounts[ix(k)]) == 1) {
                r = list.memberCounts[ix(i)] - list.memberCounts[ix(k)];
                list.memberCounts[ix(i)] = r;
                childRow[ix(j++)] = k + 1;
                if (r == 0) break;
            }
        }
        for (int t = 0; t < r; ++t) childRow[ix(j++)] = -list.members[ix(i)][ix(t)];
        childLists[ix(i)].assign(childRow.begin(), childRow.begin() + j);
        childCounts[ix(i)] = j;
    }

    // Ordering and member rebuild.
    for (int i = 0; i < m; ++i) {
        std::vector<int>& entries = childLists[ix(i)];
        for (int p = 0; p < childCounts[ix(i)]; ++p) {
            for (int q = p + 1; q < childCounts[ix(i)]; ++q) {
                const int x = entries[ix(p)];
                const int y = entries[ix(q)];
                bool exchange = false;
                if (x < 0 && y < 0 && x < y) exchange = true;
                if (x > 0 && y < 0) exchange = true;
                if (x > 0 && y > 0 && childCounts[ix(x - 1)] > childCounts[ix(y - 1)]) exchange = true;
                if (exchange) {
                    entries[ix(p)] = y;
                    entries[ix(q)] = x;
                }
            }
        }
        int count = 0;
        for (int p = 0; p < childCounts[ix(i)]; ++p) {
            const int entry = entries[ix(p)];
            if (entry < 0) {
                list.members[ix(i)][ix(count++)] = -entry;
            } else {
                for (int t = 0; t < list.memberCounts[ix(entry - 1)]; ++t) {
                    list.members[ix(i)][ix(count++)] = list.members[ix(entry - 1)][ix(t)];
                }
            }
        }
        list.memberCounts[ix(i)] = count;
    }

    // Object order.
    for (int t = 0; t < n; ++t) objectOrder[ix(t)] = list.members[ix(m - 1)][ix(n - 1 - t)];

    if (notation == TreeNotation::SPlus) {
        appendFormatted(out, "The number of nodes is : %d\n", m);
        out += "The nodes of the tree are :\n";
        for (int i = 0; i < m; ++i) {
            appendFormatted(out, "%d  ", list.memberCounts[ix(i)]);
            for (int t = 0; t < list.memberCounts[ix(i)] - 1; ++t) {
                appendFormatted(out, "%d  ", list.members[ix(i)][ix(t)]);
            }
            appendFormatted(out, "%d\n", list.members[ix(i)][ix(list.memberCounts[ix(i)] - 1)]);
        }
        out += "The heights of the tree nodes are :\n";
        for (int i = 0; i < m; ++i) {
            char buffer[400];
            std::snprintf(buffer, sizeof buffer, "%10.6f\n", list.values[ix(i)]);
            out += buffer;
        }
        out += "The order of the objects in the tree is :\n";
        for (int t = 0; t < n; ++t) appendFormatted(out, "%d\n", objectOrder[ix(t)]);
    } else if (notation == TreeNotation::NewHampshire) {
        std::vector<std::string> nodeTexts(ix(m));
        for (int i = 0; i < m; ++i) {
            std::string text = "(";
            for (int p = 0; p < childCounts[ix(i)]; ++p) {
                const int entry = childLists[ix(i)][ix(p)];
                if (entry > 0) {
                    text += nodeTexts[ix(entry - 1)];
                } else if (hasRowNames) {
                    text += rowNames[ix(-entry - 1)];
                } else {
                    char buffer[60];
                    std::snprintf(buffer, sizeof buffer, "%d", -entry);
                    text += buffer;
                }
                text += p + 1 < childCounts[ix(i)] ? "," : ")";
            }
            text += ":";
            text += formatValueText(list.values[ix(i)]);
            nodeTexts[ix(i)] = text;
        }
        out += nodeTexts[ix(m - 1)];
        out += ";\n";
    }
    return objectOrder;
}

}  // namespace literal
