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
// and by induction the table's clusters are the sequence's.
//
// "connected": the joins of Kruskal's algorithm on a minimum spanning tree
// (Prim's, O(n^2)) in ascending order of weight are a smallest-pair order,
// and a tie at the smallest value of any step makes the next step join at
// the same value (the other pair, or its cluster with the joined one, keeps
// it). So strictly increasing weights imply the check above; no replay is
// needed.
//
// "compact": the smallest pair first on the single-precision cells
// (pair_cells::SmallestFirst). A cell rounds the maximum, which is the
// maximum of the rounded distances (rounding is monotone), so the route
// works on the rounded data. At every join (A and B) the exact height
// h = L(A, B) comes from the member lists, and the route checks, while it
// updates the cells, that every other active cluster C has L(A, C) > h and
// L(B, C) > h (a cell above h's cell shows it, as rounding is monotone; an
// equal cell is decided from the member lists) and that h is above the
// heights of A and B. Sorted by height, the joins must then be strictly
// increasing. This implies the check above for the sorted sequence: its
// clusters exist when they are joined (heights grow towards the root), and
// a cluster C active at the step of (A, B) was, at the route's join of A
// and B, either active (checked), or not yet formed (its parts were active;
// "compact" of a union is at least that of a part), or already joined
// into its parent at a height h' above h: at that join of the route the
// rows of A lay in parts A' of A, all active and none of them C's partner
// (a partner holding rows of A would make the parent contain A, so come
// after the join of A and B), so L(A, C) >= L(A', C) > h'. Any failure
// returns to the table.

#include "cluster/reducible_linkage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>

#include "cluster/pair_cells.h"

using linkage_cells::at;
using linkage_cells::Sentinel;

namespace {

// Whether a distance meets the conditions above, on its bits (no
// floating-point comparison to wait on): the magnitude's bits below those of
// 1e100 (which not-a-number and the infinities are not), and not the bits
// of -0.
inline bool plain(double v) {
    constexpr auto sentinelBits = std::bit_cast<std::uint64_t>(Sentinel);
    const auto bits = std::bit_cast<std::uint64_t>(v);
    return ((bits & 0x7fffffffffffffffULL) < sentinelBits) & (bits != 0x8000000000000000ULL);
}

// Whether every distance is plain: four at a time, in the widest vectors
// the processor has.
[[gnu::target_clones("avx512f", "avx2", "default")]] bool allPlain(const double* d, std::size_t count) {
    typedef long long Bits __attribute__((vector_size(32)));
    constexpr std::size_t Width = 4;
    constexpr auto sentinelBits = static_cast<long long>(std::bit_cast<std::uint64_t>(Sentinel));
    constexpr auto negativeZero = static_cast<long long>(0x8000000000000000ULL);
    Bits all = Bits{} - 1;
    std::size_t i = 0;
    for (; i + Width <= count; i += Width) {
        Bits bits;
        std::memcpy(&bits, d + i, sizeof bits);
        all &= ((bits & 0x7fffffffffffffffLL) < sentinelBits) & (bits != negativeZero);
    }
    bool plainAll = true;
    for (std::size_t l = 0; l < Width; ++l) plainAll &= all[l] != 0;
    for (; i < count; ++i) plainAll &= plain(d[i]);
    return plainAll;
}

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
// by row of the triangle. The distances are plain numbers, so the maximum is
// the same in any order: four running maxima keep the reads independent.
double largestBetween(const DistanceTriangle& distances, const std::vector<int>& p, const std::vector<int>& q) {
    const double* d = distances.entries.data();
    const int n = distances.objectCount;
    double largest[4] = {-Sentinel, -Sentinel, -Sentinel, -Sentinel};
    const auto keep = [](double& running, double v) { running = running < v ? v : running; };
    for (const auto* lists : {&p, &q}) {
        const std::vector<int>& columns = lists == &p ? q : p;
        const int* end = columns.data() + columns.size();
        for (int a : *lists) {
            const int* b = std::upper_bound(columns.data(), end, a);
            if (b == end) continue;
            const double* row = d + (pairIndex(n, a, a + 1) - at(a + 1));
            for (; b + 4 <= end; b += 4) {
                keep(largest[0], row[b[0]]);
                keep(largest[1], row[b[1]]);
                keep(largest[2], row[b[2]]);
                keep(largest[3], row[b[3]]);
            }
            for (; b != end; ++b) keep(largest[0], row[*b]);
        }
    }
    keep(largest[0], largest[1]);
    keep(largest[2], largest[3]);
    keep(largest[0], largest[2]);
    return largest[0];
}

}  // namespace

bool joinBySpanningTree(MergeTree& tree, const DistanceTriangle& distances, ReducibleBuffers& buffers) {
    const int n = distances.objectCount;
    const double* d = distances.entries.data();
    // The rows outside the tree (ascending), with their nearest distance to
    // the tree and the tree row it comes from.
    auto& outside = buffers.active;
    auto& outsideBest = buffers.nearest;
    auto& outsideFrom = buffers.from;
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
    std::size_t chosen = static_cast<std::size_t>(std::min_element(outsideBest.begin(), outsideBest.end()) - outsideBest.begin());
    while (!outside.empty()) {
        // The nearest outside row joins the tree; the others take their
        // distance to it where it is nearer, are moved up over its place,
        // and the next nearest is found on the way.
        const int v = outside[chosen];
        joins.push_back({outsideBest[chosen], std::min(outsideFrom[chosen], v), std::max(outsideFrom[chosen], v)});
        std::size_t kept = 0, nearest = 0;
        double lowest = std::numeric_limits<double>::infinity();
        auto offer = [&](std::size_t i, double value) {
            usable &= plain(value);
            double best = outsideBest[i];
            int from = outsideFrom[i];
            if (value < best) {
                best = value;
                from = v;
            }
            outside[kept] = outside[i];
            outsideBest[kept] = best;
            outsideFrom[kept] = from;
            if (best < lowest) {
                lowest = best;
                nearest = kept;
            }
            ++kept;
        };
        // Rows below v hold the pair in their own row, rows above in v's.
        for (std::size_t i = 0; i < chosen; ++i) {
            if (i + 16 < chosen) __builtin_prefetch(d + pairIndex(n, outside[i + 16], v), 0);
            offer(i, d[pairIndex(n, outside[i], v)]);
        }
        for (std::size_t i = chosen + 1; i < outside.size(); ++i) offer(i, d[pairIndex(n, v, outside[i])]);
        if (!usable) return false;
        outside.resize(kept);
        outsideBest.resize(kept);
        outsideFrom.resize(kept);
        chosen = nearest;
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

template <class Places>
bool compactPairs(MergeTree& tree, const DistanceTriangle& distances, float* cells, Places places,
                  linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount) {
    const int n = distances.objectCount;
    const double* d = distances.entries.data();
    if (!allPlain(d, distances.entries.size())) return false;
    pair_cells::fillCells(cells, places, n, [d](std::size_t e) { return static_cast<float>(d[e]); });
    auto& active = buffers.active;
    auto& joins = buffers.joins;
    auto& pairs = buffers.smallestFirst;
    auto& heightOf = buffers.nearest;  // by identity: the height it was formed at
    heightOf.assign(at(n), -std::numeric_limits<double>::infinity());
    joins.clear();
    records.start(n);
    auto linkage = [&](int x, int y) {
        ++exactCount;
        return largestBetween(distances, records.members[at(x)], records.members[at(y)]);
    };

    int placed = n;
    pairs.start(n, cells, places, active);
    while (active.size() > 1) {
        int a = 0, b = 0;
        float key = 0;
        if (!pairs.next(cells, places, active, a, b, key)) return false;
        const double h = linkage(a, b);
        bool unique = heightOf[at(a)] < h && heightOf[at(b)] < h;
        pair_cells::forEachOther(cells, places, active, a, b, [&](int c, float& va, float& vb) {
            if (!((va > key) & (vb > key))) unique &= (va > key || linkage(a, c) > h) && (vb > key || linkage(b, c) > h);
            va = va < vb ? vb : va;
            pairs.combined(a, b, c, va);
        });
        if (!unique) return false;
        joins.push_back({h, a, b});
        records.join(a, a, b);
        heightOf[at(a)] = h;
        pairs.join(a, b, active);
        pair_cells::compactWhenSparse(cells, places, active, -1, buffers.kept, placed);
    }

    std::sort(joins.begin(), joins.end(), [](const auto& x, const auto& y) { return x.height < y.height; });
    startCodes(buffers.codeOf, n);
    for (int t = 0; t + 1 < n; ++t) {
        const auto& join = joins[at(t)];
        if (t > 0 && !(joins[at(t - 1)].height < join.height)) return false;
        recordJoin(tree, buffers.codeOf, t, join.first, join.second, join.height);
    }
    return true;
}

}  // namespace

bool joinBySmallestPairs(MergeTree& tree, const DistanceTriangle& distances, pair_cells::PairCells cells,
                         linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount) {
    return pair_cells::withPlaces(cells, [&](auto places) {
        return compactPairs(tree, distances, cells.cells, places, records, buffers, exactCount);
    });
}
