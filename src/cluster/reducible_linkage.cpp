// "compact" and "connected" without the nearest-neighbour table, for data
// whose merge record the table writes is the only one a smallest-pair order
// can write.
//
// Conditions. Every distance is finite, of magnitude below 1e100 and not a
// negative zero. Then the linkage of two clusters is the plain maximum
// ("compact") or minimum ("connected") of their pair distances, whatever the
// order of the pairs (the sentinels and not-a-number play no part, and
// without negative zeros equal doubles are the same double).
//
// The table under these conditions. Every cluster's entry holds the
// smallest linkage from it to any other cluster: the initial scan finds it;
// after a join, the kept cluster and every cluster whose neighbour was one
// of the joined two are scanned again; every other cluster keeps a
// neighbour X that is still active, and its linkage to the joined cluster
// is the larger (the smaller) of those to the two parts, so not below its
// linkage to X. So each step joins a pair whose linkage is the smallest of
// all active pairs. When that pair (A, B) is the only one with that value,
// only A's and B's entries hold it; the step selects the lower of their
// slots (slots are ordered by lowest row) and its neighbour, so the record
// is (A, B) with the lower lowest row first, at the height L(A, B).
//
// The check. Given a sequence of joins with strictly increasing heights in
// which every join's two clusters exist when it comes, the table writes
// exactly this sequence when, at every step t joining A and B at h_t, every
// other active cluster C has L(A, C) > h_t and L(B, C) > h_t. Proof: an
// active pair (X, Y) at step t is checked at the step t' >= t where the
// first of X and Y is joined (at t itself when X or Y is A or B), with
// L(X, Y) > h_t' >= h_t. So (A, B) is the only smallest pair at every step,
// and by induction the table's clusters are the sequence's. The check reads
// each pair of co-active clusters once, while the joins are replayed with
// the maximum / minimum updates, so it costs O(n^2) however the sequence
// was found.
//
// "connected": the joins of Kruskal's algorithm on a minimum spanning tree
// (Prim's, O(n^2)) in ascending order of weight are a smallest-pair order,
// and a tie at the smallest value of any step makes the next step join at
// the same value (the other pair, or its cluster with the joined one, keeps
// it). So strictly increasing weights imply the check above; no replay is
// needed.
//
// "compact": a nearest-neighbour chain on the single-precision cells. A
// cell rounds the maximum, which is the maximum of the rounded distances
// (rounding is monotone), so the chain is an exact chain on the rounded
// data; its joins are sorted by cell, equal cells by their exact heights,
// and the replay above (with exact heights from member lists, and exact
// linkages where a cell equals the height's cell) decides. Any failure
// returns to the table.

#include "cluster/reducible_linkage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

using linkage_cells::at;
using linkage_cells::Sentinel;

namespace {

// Whether a distance meets the conditions above.
inline bool plain(double v) { return (std::fabs(v) < Sentinel) & !((v == 0) & std::signbit(v)); }

inline void recordJoin(MergeTree& tree, std::vector<int>& codeOf, int step, int first, int second, double height) {
    tree.mergePairs[at(step)] = {codeOf[at(first)], codeOf[at(second)]};
    tree.setHeight(height, step);
    codeOf[at(first)] = step + 1;
}

void startCodes(std::vector<int>& codeOf, int n) {
    codeOf.resize(at(n));
    for (int i = 0; i < n; ++i) codeOf[at(i)] = -(i + 1);
}

// The largest distance between two sets of rows (ascending lists), read row
// by row of the triangle.
double largestBetween(const DistanceTriangle& distances, const std::vector<int>& p, const std::vector<int>& q) {
    const double* d = distances.entries.data();
    const int n = distances.objectCount;
    double largest = -Sentinel;
    for (const auto* lists : {&p, &q}) {
        const std::vector<int>& columns = lists == &p ? q : p;
        for (int a : *lists) {
            const double* row = d + pairIndex(n, a, a + 1) - at(a + 1);
            for (auto b = std::upper_bound(columns.begin(), columns.end(), a); b != columns.end(); ++b)
                largest = largest < row[*b] ? row[*b] : largest;
        }
    }
    return largest;
}

}  // namespace

bool joinBySpanningTree(MergeTree& tree, const DistanceTriangle& distances, ReducibleBuffers& buffers) {
    const int n = distances.objectCount;
    const double* d = distances.entries.data();
    // The rows outside the tree (ascending), with their nearest distance to
    // the tree and the tree row it comes from.
    auto& outside = buffers.active;
    auto& outsideBest = buffers.nearest;
    auto& outsideFrom = buffers.nodeOf;
    outside.resize(at(n - 1));
    outsideBest.resize(at(n - 1));
    outsideFrom.assign(at(n - 1), 0);
    bool usable = true;
    for (int w = 1; w < n; ++w) {
        outside[at(w - 1)] = w;
        outsideBest[at(w - 1)] = d[w - 1];
        usable &= plain(d[w - 1]);
    }
    if (!usable) return false;
    auto& joins = buffers.joins;
    joins.clear();
    while (!outside.empty()) {
        const std::size_t count = outside.size();
        std::size_t chosen = 0;
        for (std::size_t i = 1; i < count; ++i)
            if (outsideBest[i] < outsideBest[chosen]) chosen = i;
        const int v = outside[chosen];
        const int u = outsideFrom[chosen];
        joins.push_back({outsideBest[chosen], 0.0f, std::min(u, v), std::max(u, v), 0, 0});
        outside.erase(outside.begin() + static_cast<std::ptrdiff_t>(chosen));
        outsideBest.erase(outsideBest.begin() + static_cast<std::ptrdiff_t>(chosen));
        outsideFrom.erase(outsideFrom.begin() + static_cast<std::ptrdiff_t>(chosen));
        // Rows below v hold the pair in their own row, rows above in v's.
        const double* rowV = d + pairIndex(n, v, v + 1) - at(v + 1);
        const std::size_t below = chosen;
        for (std::size_t i = 0; i < below; ++i) {
            const double value = d[pairIndex(n, outside[i], v)];
            usable &= plain(value);
            if (value < outsideBest[i]) {
                outsideBest[i] = value;
                outsideFrom[i] = v;
            }
        }
        for (std::size_t i = below; i < outside.size(); ++i) {
            const double value = rowV[outside[i]];
            usable &= plain(value);
            if (value < outsideBest[i]) {
                outsideBest[i] = value;
                outsideFrom[i] = v;
            }
        }
        if (!usable) return false;
    }
    std::sort(joins.begin(), joins.end(), [](const auto& x, const auto& y) { return x.height < y.height; });
    for (std::size_t t = 1; t < joins.size(); ++t)
        if (!(joins[t - 1].height < joins[t].height)) return false;

    // Kruskal's joins: union-find sets, each with its lowest row.
    auto& setOf = buffers.setOf;
    auto& lowestOf = buffers.lowestOf;
    setOf.resize(at(n));
    lowestOf.resize(at(n));
    std::iota(setOf.begin(), setOf.end(), 0);
    std::iota(lowestOf.begin(), lowestOf.end(), 0);
    auto find = [&](int x) {
        while (setOf[at(x)] != x) x = setOf[at(x)] = setOf[at(setOf[at(x)])];
        return x;
    };
    startCodes(buffers.codeOf, n);
    for (int t = 0; t + 1 < n; ++t) {
        const auto& join = joins[at(t)];
        const int x = find(join.first), y = find(join.second);
        const int a = std::min(lowestOf[at(x)], lowestOf[at(y)]);
        const int b = std::max(lowestOf[at(x)], lowestOf[at(y)]);
        recordJoin(tree, buffers.codeOf, t, a, b, join.height);
        setOf[at(y)] = x;
        lowestOf[at(x)] = a;
    }
    return true;
}

namespace {

// Cells of one cluster (identity x) with the other active clusters, in the
// order of active: the lower identities' cells lie in their rows, the higher
// ones in x's row.
template <class Visit>
void forEachCell(float* cells, const std::size_t* rowOffsets, const std::vector<int>& active, int x, Visit visit) {
    const auto position = std::lower_bound(active.begin(), active.end(), x) - active.begin();
    const int* ids = active.data();
    for (std::ptrdiff_t k = 0; k < position; ++k) {
        if (k + 8 < position) __builtin_prefetch(cells + rowOffsets[ids[k + 8]] + x, 1);
        visit(ids[k], cells[rowOffsets[ids[k]] + at(x)]);
    }
    float* row = cells + rowOffsets[x];
    for (auto k = static_cast<std::size_t>(position) + 1; k < active.size(); ++k) visit(ids[k], row[ids[k]]);
}

// The exact linkage of two chain nodes from their rows.
double nodeHeight(const DistanceTriangle& distances, const ReducibleBuffers::Join& join, ReducibleBuffers& buffers) {
    auto rowsOf = [&](int node, std::vector<int>& rows) {
        rows.clear();
        buffers.stack.assign(1, node);
        while (!buffers.stack.empty()) {
            const int x = buffers.stack.back();
            buffers.stack.pop_back();
            if (x < 0) {
                rows.push_back(-1 - x);
                continue;
            }
            buffers.stack.push_back(buffers.joins[at(x)].firstNode);
            buffers.stack.push_back(buffers.joins[at(x)].secondNode);
        }
        std::sort(rows.begin(), rows.end());
    };
    std::vector<int> other;
    rowsOf(join.firstNode, buffers.leaves);
    rowsOf(join.secondNode, other);
    return largestBetween(distances, buffers.leaves, other);
}

}  // namespace

bool joinByChain(MergeTree& tree, const DistanceTriangle& distances, float* cells, const std::size_t* rowOffsets,
                 linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount) {
    const int n = distances.objectCount;
    const double* d = distances.entries.data();
    const std::size_t entryCount = distances.entries.size();
    bool usable = true;
    for (std::size_t e = 0; e < entryCount; ++e) {
        usable &= plain(d[e]);
        cells[e] = static_cast<float>(d[e]);
    }
    if (!usable) return false;
    auto cell = [&](int x, int y) -> float& {
        return x < y ? cells[rowOffsets[x] + at(y)] : cells[rowOffsets[y] + at(x)];
    };
    auto& active = buffers.active;
    auto& nodeOf = buffers.nodeOf;
    auto& joins = buffers.joins;
    auto& chain = buffers.chain;
    auto restart = [&] {
        active.resize(at(n));
        nodeOf.resize(at(n));
        for (int i = 0; i < n; ++i) {
            active[at(i)] = i;
            nodeOf[at(i)] = -1 - i;
        }
    };
    restart();
    joins.clear();
    chain.clear();

    // The chain: each cluster's nearest neighbour (on a tie the one below it
    // in the chain) is pushed until two are each other's nearest, then they
    // are joined; the clusters below stay a chain, as a join never brings a
    // cluster closer to the joined one than to the nearer part.
    while (active.size() > 1) {
        if (chain.empty()) chain.push_back(active[0]);
        const int x = chain.back();
        const int previous = chain.size() >= 2 ? chain[chain.size() - 2] : -1;
        float best = previous >= 0 ? cell(x, previous) : std::numeric_limits<float>::infinity();
        int next = previous;
        forEachCell(cells, rowOffsets, active, x, [&](int c, float v) {
            if (v < best) {
                best = v;
                next = c;
            }
        });
        if (next != previous) {
            chain.push_back(next);
            continue;
        }
        chain.resize(chain.size() - 2);
        const int a = std::min(x, previous), b = std::max(x, previous);
        joins.push_back({0.0, best, a, b, nodeOf[at(a)], nodeOf[at(b)]});
        nodeOf[at(a)] = static_cast<int>(joins.size()) - 1;
        forEachCell(cells, rowOffsets, active, a, [&](int c, float& v) {
            if (c == b) return;
            const float w = cell(b, c);
            v = v < w ? w : v;
        });
        active.erase(std::lower_bound(active.begin(), active.end(), b));
    }

    // The joins by cell; joins with equal cells by exact height.
    auto& order = buffers.order;
    order.resize(joins.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return joins[at(x)].key < joins[at(y)].key; });
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && joins[at(order[j])].key == joins[at(order[i])].key) ++j;
        if (j - i > 1) {
            for (std::size_t k = i; k < j; ++k) {
                joins[at(order[k])].height = nodeHeight(distances, joins[at(order[k])], buffers);
                ++exactCount;
            }
            std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(i), order.begin() + static_cast<std::ptrdiff_t>(j),
                             [&](int x, int y) { return joins[at(x)].height < joins[at(y)].height; });
        }
        i = j;
    }

    // The replay in that order, with the check.
    for (std::size_t e = 0; e < entryCount; ++e) cells[e] = static_cast<float>(d[e]);
    restart();
    records.start(n);
    startCodes(buffers.codeOf, n);
    double last = -std::numeric_limits<double>::infinity();
    for (int t = 0; t + 1 < n; ++t) {
        const int node = order[at(t)];
        const auto& join = joins[at(node)];
        const int a = join.first, b = join.second;
        if (nodeOf[at(a)] != join.firstNode || nodeOf[at(b)] != join.secondNode) return false;
        const double h = largestBetween(distances, records.members[at(a)], records.members[at(b)]);
        ++exactCount;
        if (!(last < h)) return false;
        last = h;
        const float key = static_cast<float>(h);
        // L(X, C) > h: by the cells where they differ from h's (rounding is
        // monotone), else from the member lists.
        auto above = [&](float v, int x, int c) {
            if (v != key) return v > key;
            ++exactCount;
            return largestBetween(distances, records.members[at(x)], records.members[at(c)]) > h;
        };
        bool unique = true;
        forEachCell(cells, rowOffsets, active, a, [&](int c, float& v) {
            if (c == b) return;
            const float w = cell(b, c);
            if (!((v > key) & (w > key))) unique &= above(v, a, c) && above(w, b, c);
            v = v < w ? w : v;
        });
        if (!unique) return false;
        records.join(a, a, b);
        active.erase(std::lower_bound(active.begin(), active.end(), b));
        nodeOf[at(a)] = node;
        recordJoin(tree, buffers.codeOf, t, a, b, h);
    }
    return true;
}
