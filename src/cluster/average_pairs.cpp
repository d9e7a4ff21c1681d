// "average" without the nearest-neighbour table: joining the smallest pair
// of single-precision means first proposes the tree, a replay in the order
// of the heights proves that the table writes it and finds the orientation
// of every recorded value.
//
// Values. v(X, Y), the documented linkage, sums the pair distances with X's
// rows outer and divides by |X|, then by |Y|; v(Y, X) can differ from it in
// the last bits when both clusters have more than one row. r(X, Y) is the
// real mean. With every distance a number >= 0 (and the sizes below),
// |v - r| <= eps r + 2^-1070 in either orientation, eps = gamma(n^2 / 4 + 3)
// (a recursive sum of at most n^2 / 4 terms, then two divisions), and the
// interval of a cell (average_cells.h) holds r and both orientations.
//
// The table. Each entry holds a documented value of its cluster and its
// nearest neighbour, and for every other active cluster Y it is at most
// v(X, Y) or v(Y, X) (whichever the table last compared): the initial scan,
// the scan when X is formed, each new cluster's comparison and a rescan all
// keep this. Take a sequence of joins (A_t, B_t) whose clusters exist when
// they come, with L_t, H_t the smaller and larger of v(A_t, B_t) and
// v(B_t, A_t), such that
//   (1) every other cluster C active at step t has v(A_t, C), v(C, A_t),
//       v(B_t, C), v(C, B_t) > H_t, and
//   (2) L_{t+1} > H_t.
// Then at step t every active pair but (A_t, B_t) has both values above
// H_t (a pair away from A_t and B_t is checked by (1) when the first of
// its clusters is joined, at a step t' > t, and H_t' >= L_t' > H_t by (2)).
// So A_t's entry, at most H_t, names B_t and B_t's names A_t, every other
// entry is larger, and the table joins A_t and B_t: by induction it writes
// this sequence, selecting the one of the two entries with the smaller
// value (the lower slot, that is the lower row, on equal values).
//
// Orientation. Let A be the older of the two (formed at an earlier step,
// or a single row) and B the younger, formed at step s. A's entry holds
// v(A, B): it was set when B was formed (the new cluster comes second) or
// by a rescan of A (the rescanned cluster first). At step s B's entry
// takes the smallest v(C, B) of the active C. If every active C but A has
// r(B, C) > T = H (1 + 3 eps) + 2^-1000, H the larger of A and B's values,
// B's entry is v(A, B) and keeps it: a cluster formed later while B waits
// is a union of clusters active at step s, so its real mean with B is
// above T too, and its values above H. If some active C has v(C, B) <
// v(A, B), B's entry leaves A at step s; it can only come back through a
// rescan of B, which gives v(B, A). With single rows, or equal values, the
// orientation does not matter, and while B's entry keeps A, v(B, A) is
// only needed through its bounds (within 2 eps' v(A, B), eps' for the
// pair's own term count).
//
// The route. Joining the smallest pair of single-precision means first
// (pair_cells::SmallestFirst) proposes the tree; the cells are then
// refilled with sums (average_cells.h), and a replay joins, among the
// proposed joins whose two clusters exist, the one with the smallest L,
// checks (1) and (2) on the cells' intervals (the documented values where
// an interval cannot decide), decides every orientation as above (summing
// the clusters the intervals leave open), and writes the record. Anything it cannot show returns to the table: a
// wrong proposal, ties, or an orientation the sums leave open.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>

#include "cluster/average_cells.h"
#include "cluster/pair_cells.h"
#include "cluster/reducible_linkage.h"

using linkage_cells::at;

namespace {

// The relative bound of a documented value of m terms >= 0 against the
// real mean: gamma(m + 4), the recursive sum and the two divisions.
double documentedError(double termCount) { return (termCount + 4) * 0x1p-53 * 1.01; }

// Whether every distance is a number >= 0 other than a negative zero, and
// the largest: four at a time, in the widest vectors the processor has.
[[gnu::target_clones("avx512f", "avx2", "default")]] bool nonNegativeNumbers(const double* d, std::size_t count,
                                                                            double& largest) {
    typedef double Doubles __attribute__((vector_size(32)));
    typedef long long Bits __attribute__((vector_size(32)));
    constexpr std::size_t Width = 4;
    Bits usable = Bits{} - 1;
    Doubles running{};
    std::size_t i = 0;
    for (; i + Width <= count; i += Width) {
        Doubles v;
        Bits bits;
        std::memcpy(&v, d + i, sizeof v);
        std::memcpy(&bits, d + i, sizeof bits);
        usable &= (v >= 0) & (bits >= 0);  // the sign bit clear
        running = v > running ? v : running;
    }
    bool all = true;
    largest = 0;
    for (std::size_t l = 0; l < Width; ++l) {
        all &= usable[l] != 0;
        largest = running[l] > largest ? running[l] : largest;
    }
    for (; i < count; ++i) {
        all &= (d[i] >= 0) & !std::signbit(d[i]);
        largest = d[i] > largest ? d[i] : largest;
    }
    return all;
}

// The cells of single rows, for the proposal and again for the replay:
// every distance rounded, their mean and their sum alike.
template <class Places>
void fillFromDistances(float* cells, Places places, const DistanceTriangle& distances) {
    const double* d = distances.entries.data();
    pair_cells::fillCells(cells, places, distances.objectCount,
                          [d](std::size_t e) { return linkage_cells::AverageCells::initialCell(d[e]); });
}

// The proposed tree: joins by children, nodes 0 .. n-1 the rows, n + j the
// j-th join, the smallest pair first. The cells hold the means, rounded,
// and a join takes the weighted mean of its parts' cells (at least the
// smaller, also rounded); the replay judges the proposal.
template <class Places>
bool proposeTree(int n, float* cells, Places places, ReducibleBuffers& buffers) {
    auto& active = buffers.active;
    auto& sizeOf = buffers.lowestOf;
    auto& nodeOf = buffers.codeOf;  // by identity: the node it is now
    auto& joins = buffers.joins;
    auto& pairs = buffers.smallestFirst;
    sizeOf.assign(at(n), 1);
    nodeOf.resize(at(n));
    std::iota(nodeOf.begin(), nodeOf.end(), 0);
    joins.clear();
    pairs.start(n, cells, places, active);
    while (active.size() > 1) {
        int a = 0, b = 0;
        float cell = 0;
        if (!pairs.next(cells, places, active, a, b, cell)) return false;
        const double size = sizeOf[at(a)] + sizeOf[at(b)];
        const double weightA = sizeOf[at(a)] / size, weightB = sizeOf[at(b)] / size;
        pair_cells::forEachOther(cells, places, active, a, b, [&](int c, float& va, float vb) {
            va = static_cast<float>(weightA * va + weightB * vb);
            pairs.combined(a, b, c, va);
        });
        joins.push_back({cell, nodeOf[at(a)], nodeOf[at(b)]});
        nodeOf[at(a)] = n + static_cast<int>(joins.size()) - 1;
        sizeOf[at(a)] += sizeOf[at(b)];
        pairs.join(a, b, active);
    }
    return true;
}

// The replay's state: fresh sum cells, member records and codes by identity
// (records.join is given identities for slots), the proposal as nodes, and
// the ready joins, smallest value first.
template <class Places>
struct Replay {
    const DistanceTriangle& distances;
    float* cells;
    Places places;
    linkage_cells::ClusterRecords& records;
    ReducibleBuffers& buffers;
    std::size_t& exactCount;
    int n;
    double eps;       // relative bound of a documented value against the real mean
    int deepest = 0;  // the largest depth of a cluster formed so far

    static constexpr std::greater<> later{};  // the smallest value on top

    // The relative part of the width of a cell of a cluster of this size and
    // depth with any active cluster: ((D + 1) 2^-22 + m 2^-52) 1.125 + 16u at
    // the largest depth sum D and term count m.
    double largestRelativeWidth(int size, int depth) const {
        return ((depth + deepest + 1) * 0x1p-22 + size * static_cast<double>(n) * 0x1p-52) * 1.125 + 0x1p-49;
    }

    double sum(int first, int second) const {
        ++exactCount;
        return linkage_cells::documentedAverage(distances, records.members[at(first)], records.members[at(second)],
                                                buffers.scratch);
    }

    void push(int join, const ReadyJoin& ready) {
        buffers.ready[at(join)] = ready;
        buffers.queue.push_back({ready.low, join});
        std::push_heap(buffers.queue.begin(), buffers.queue.end(), later);
    }

    int partnerOf(int node) const {
        const int j = buffers.setOf[at(node)];
        if (j < 0) return -1;
        const auto& join = buffers.joins[at(j)];
        return join.first == node ? join.second : join.first;
    }

    void start() {
        fillFromDistances(cells, places, distances);
        const double* d = distances.entries.data();
        records.start(n);
        auto& active = buffers.active;
        active.resize(at(n));
        std::iota(active.begin(), active.end(), 0);
        buffers.codeOf.resize(at(n));
        for (int i = 0; i < n; ++i) buffers.codeOf[at(i)] = -(i + 1);
        const int joinCount = n - 1;
        auto& parentOf = buffers.setOf;  // by node: the join that takes it, -1 for the root
        parentOf.assign(at(n + joinCount), -1);
        for (int j = 0; j < joinCount; ++j) parentOf[at(buffers.joins[at(j)].first)] = parentOf[at(buffers.joins[at(j)].second)] = j;
        auto& identityOf = buffers.from;  // by node, once formed; -1 before
        identityOf.assign(at(n + joinCount), -1);
        std::iota(identityOf.begin(), identityOf.begin() + n, 0);
        buffers.ready.assign(at(joinCount), ReadyJoin{});
        buffers.queue.clear();
        for (int j = 0; j < joinCount; ++j) {
            const auto& join = buffers.joins[at(j)];
            if (join.first >= n || join.second >= n) continue;
            const int a = std::min(join.first, join.second), b = std::max(join.first, join.second);
            const double v = d[pairIndex(n, a, b)];
            push(j, {v, v, v, v, a, b, ReadyJoin::Orientation::Same});
        }
    }

    // The record of step t: the selected entry first, at its value (the
    // lower row first on equal values).
    void record(MergeTree& tree, int t, const ReadyJoin& join) const {
        const int a = std::min(join.older, join.younger), b = std::max(join.older, join.younger);
        int first = a;
        double height = join.olderFirst;
        if (join.orientation == ReadyJoin::Orientation::YoungerFirst) {
            first = join.youngerFirst < join.olderFirst ? join.younger : join.older;
            height = std::min(join.olderFirst, join.youngerFirst);
        }
        auto& codeOf = buffers.codeOf;
        tree.mergePairs[at(t)] = {codeOf[at(first)], codeOf[at(first == a ? b : a)]};
        tree.setHeight(height, t);
        codeOf[at(a)] = t + 1;
    }

    // Joins a and b (a < b) at the value bounds high: checks (1) for every
    // other active cluster and combines the cells. Returns the smallest
    // value of the joined cluster with an active cluster other than
    // partner (infinity when partner < 0), or not-a-number when (1) fails.
    double join(int a, int b, double high, int partner) {
        const int sizeA = records.sizes[at(a)], sizeB = records.sizes[at(b)];
        const int depthA = records.depths[at(a)], depthB = records.depths[at(b)];
        const double inverseA = 1.0 / sizeA, inverseB = 1.0 / sizeB, inverseJ = 1.0 / (sizeA + sizeB);
        // A value above its threshold has its interval above high.
        auto thresholdFor = [&](int size, int depth) {
            const double w = largestRelativeWidth(size, depth);
            return w < 0.5 ? (high + 0x1p-139) / (1 - w) * (1 + 0x1p-50) : std::numeric_limits<double>::infinity();
        };
        const double thresholdA = thresholdFor(sizeA, depthA), thresholdB = thresholdFor(sizeB, depthB);
        const double* inverses = records.inverseOfSlot.data();
        auto above = [&](float cell, double inverse, double threshold, int x, int size, int depth, int c) {
            const double value = static_cast<double>(cell) * inverse * inverses[c];
            if (value > threshold) return true;
            const double width = linkage_cells::averageWidth(value, static_cast<double>(size) * records.sizes[at(c)],
                                                             depth + records.depths[at(c)], 0.0);
            return value - width > high || (sum(x, c) > high && sum(c, x) > high);
        };
        double nearestValue = std::numeric_limits<double>::infinity();
        bool separated = true;
        pair_cells::forEachOther(cells, places, buffers.active, a, b, [&](int c, float& va, float vb) {
            separated = separated && above(va, inverseA, thresholdA, a, sizeA, depthA, c) &&
                        above(vb, inverseB, thresholdB, b, sizeB, depthB, c);
            va = linkage_cells::AverageCells::combine(va, vb);
            if (partner >= 0 && c != partner) nearestValue = std::min(nearestValue, static_cast<double>(va) * inverseJ * inverses[c]);
        });
        if (!separated) return std::numeric_limits<double>::quiet_NaN();
        records.join(a, a, b);
        deepest = std::max(deepest, records.depths[at(a)]);
        buffers.active.erase(std::lower_bound(buffers.active.begin(), buffers.active.end(), b));
        return nearestValue;
    }

    // Whether the entry of the cluster y, just formed, keeps its older
    // partner x, whose value first is v, when the cells' intervals leave
    // it open: yes when every other active cluster C has a real mean with
    // y above limit, no when some v(C, y) is below v (it then takes C);
    // nothing when a sum leaves it open.
    std::optional<bool> youngerKeepsOlder(int y, int x, double v, double limit) const {
        const double inverseY = records.inverseOfSlot[at(y)];
        const double sizeY = records.sizeOfSlot[at(y)], depthY = records.depthOfSlot[at(y)];
        for (const int c : buffers.active) {
            if (c == y || c == x) continue;
            const float cell = pair_cells::cellBetween(cells, places, c, y);
            const double value = static_cast<double>(cell) * inverseY * records.inverseOfSlot[at(c)];
            const double termCount = sizeY * records.sizeOfSlot[at(c)];
            if (value - linkage_cells::averageWidth(value, termCount, depthY + records.depthOfSlot[at(c)], 0.0) > limit)
                continue;
            const double firstC = sum(c, y);
            if (firstC < v) return false;
            const double e = documentedError(termCount);
            if (!((firstC - 0x1p-1000) / (1 + e) * (1 - 0x1p-50) > limit)) return std::nullopt;
        }
        return true;
    }

    // The join of the cluster y, just formed, with its older partner x,
    // given y's smallest value with the other active clusters; nothing
    // when the orientation cannot be shown.
    std::optional<ReadyJoin> readyJoin(int x, int y, double nearestValue) const {
        const double v = sum(x, y);
        ReadyJoin next{v, v, v, v, x, y, ReadyJoin::Orientation::Same};
        if (records.sizes[at(x)] == 1) return next;
        // The interval ends of y's cells with the others lie within the
        // largest relative width of the smallest value.
        const double widthY = largestRelativeWidth(records.sizes[at(y)], records.depths[at(y)]);
        const double lowestLow = nearestValue * (1 - widthY) * (1 - 0x1p-50) - 0x1p-139;
        const double lowestHigh = nearestValue * (1 + widthY) * (1 + 0x1p-50) + 0x1p-139;
        // The younger-first value lies within 2 e v of v (both are within
        // e r of the real mean): bounds that suffice when y's entry keeps x.
        const double e = documentedError(static_cast<double>(records.sizes[at(x)]) * records.sizes[at(y)]);
        next.low = v * (1 - 3 * e) - 0x1p-1000;
        next.high = v * (1 + 3 * e) + 0x1p-1000;
        next.orientation = ReadyJoin::Orientation::OlderFirst;
        if (lowestLow > next.high * (1 + 3 * eps) + 0x1p-1000) return next;
        const double w = sum(y, x);
        next = {v, w, std::min(v, w), std::max(v, w), x, y, ReadyJoin::Orientation::Same};
        if (w == v) return next;
        const double limit = next.high * (1 + 3 * eps) + 0x1p-1000;
        std::optional<bool> keeps;
        if (lowestLow > limit)
            keeps = true;
        else if (lowestHigh < next.low)
            keeps = false;
        else
            keeps = youngerKeepsOlder(y, x, v, limit);
        if (!keeps) return std::nullopt;
        next.orientation = *keeps ? ReadyJoin::Orientation::OlderFirst : ReadyJoin::Orientation::YoungerFirst;
        return next;
    }

    // The whole replay: true when it writes the table's record.
    bool run(MergeTree& tree) {
        start();
        auto& queue = buffers.queue;
        double previousHigh = -std::numeric_limits<double>::infinity();
        for (int t = 0; t + 1 < n; ++t) {
            if (queue.empty()) return false;
            std::pop_heap(queue.begin(), queue.end(), later);
            const int j = queue.back().second;
            queue.pop_back();
            const ReadyJoin pair = buffers.ready[at(j)];
            if (!(pair.low > previousHigh)) return false;  // (2)
            previousHigh = pair.high;
            record(tree, t, pair);
            const int a = std::min(pair.older, pair.younger), b = std::max(pair.older, pair.younger);
            const int node = n + j;
            const int partnerNode = partnerOf(node);
            const int partner = partnerNode < 0 ? -1 : buffers.from[at(partnerNode)];
            const bool oriented = partner >= 0 && records.sizes[at(partner)] > 1;  // both orientations can differ
            const double nearestValue = join(a, b, pair.high, oriented ? partner : -1);
            if (std::isnan(nearestValue)) return false;  // (1)
            buffers.from[at(node)] = a;
            // The join above becomes ready when its other cluster exists:
            // this cluster is then the younger.
            if (partner < 0) continue;
            const auto next = readyJoin(partner, a, nearestValue);
            if (!next) return false;
            push(buffers.setOf[at(node)], *next);
        }
        return true;
    }
};

template <class Places>
bool averagePairs(MergeTree& tree, const DistanceTriangle& distances, float* cells, Places places,
                  linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount) {
    const int n = distances.objectCount;
    const double* d = distances.entries.data();
    // Distances >= 0 but not a negative zero (as for the other routes), and
    // the bounds of the cells' intervals (no overflow of a single-precision
    // sum, few enough terms and levels).
    const double largestTermCount = std::floor(n / 2.0) * std::ceil(n / 2.0);
    double largest = 0;
    if (n > (1 << 16) || !nonNegativeNumbers(d, distances.entries.size(), largest) ||
        !(largest * largestTermCount <= 0x1p120))
        return false;
    fillFromDistances(cells, places, distances);
    if (!proposeTree(n, cells, places, buffers)) return false;
    Replay<Places> replay{distances, cells, places, records, buffers, exactCount, n, documentedError(largestTermCount)};
    return replay.run(tree);
}

}  // namespace

bool joinAverageBySmallestPairs(MergeTree& tree, const DistanceTriangle& distances, pair_cells::PairCells cells,
                                linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount) {
    return pair_cells::withPlaces(cells, [&](auto places) {
        return averagePairs(tree, distances, cells.cells, places, records, buffers, exactCount);
    });
}
