// "average" without the nearest-neighbour table: a chain proposes the tree,
// a replay in the order of the heights proves that the table writes it and
// finds the orientation of every recorded value.
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
// above T too, and its values above H. If some active C has both values
// of (C, B) below L, B's entry leaves A at step s; it can only come back
// through a rescan of B, which gives v(B, A). With single rows, or equal
// values, the orientation does not matter.
//
// The route. A nearest-neighbour chain on single-precision means proposes
// the tree; the cells are then refilled with sums (average_cells.h), and a
// replay joins, among the proposed joins whose two clusters exist, the one
// with the smallest L, checks (1) and (2) on the cells' intervals (the
// documented values where an interval cannot decide), decides every
// orientation as above (summing the clusters the intervals leave open),
// and writes the record. Anything it cannot show returns to the table: a
// wrong proposal, ties, or an orientation the sums leave open.

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "cluster/average_cells.h"
#include "cluster/chain_cells.h"
#include "cluster/reducible_linkage.h"

using linkage_cells::at;

namespace {

// The proposed tree: joins by children, nodes 0 .. n-1 the rows, n + j the
// j-th join. The chain's cells hold the means, rounded, and a join takes
// the weighted mean of its parts' cells (the replay judges the proposal).
void proposeTree(int n, float* cells, const std::size_t* rowOffsets, ReducibleBuffers& buffers) {
    auto& active = buffers.active;
    auto& chain = buffers.chain;
    auto& sizeOf = buffers.lowestOf;
    auto& nodeOf = buffers.codeOf;  // by identity: the node it is now
    auto& joins = buffers.joins;
    active.resize(at(n));
    std::iota(active.begin(), active.end(), 0);
    sizeOf.assign(at(n), 1);
    nodeOf.resize(at(n));
    std::iota(nodeOf.begin(), nodeOf.end(), 0);
    joins.clear();
    chain.clear();
    while (active.size() > 1) {
        if (chain.empty()) chain.push_back(active[0]);
        const int x = chain.back();
        const int previous = chain.size() >= 2 ? chain[chain.size() - 2] : -1;
        float key = std::numeric_limits<float>::infinity();
        if (previous >= 0) key = x < previous ? cells[rowOffsets[x] + at(previous)] : cells[rowOffsets[previous] + at(x)];
        int next = previous;
        chain_cells::findNearest(cells, rowOffsets, active, x, [](float cell, int) { return cell; }, key, next);
        if (next != previous) {
            chain.push_back(next);
            continue;
        }
        chain.resize(chain.size() - 2);
        const int a = std::min(x, previous), b = std::max(x, previous);
        const double size = sizeOf[at(a)] + sizeOf[at(b)];
        const double weightA = sizeOf[at(a)] / size, weightB = sizeOf[at(b)] / size;
        chain_cells::forEachOther(cells, rowOffsets, active, a, b, [&](int, float& va, float vb) {
            va = static_cast<float>(weightA * va + weightB * vb);
        });
        joins.push_back({key, nodeOf[at(a)], nodeOf[at(b)]});
        nodeOf[at(a)] = n + static_cast<int>(joins.size()) - 1;
        sizeOf[at(a)] += sizeOf[at(b)];
        active.erase(std::lower_bound(active.begin(), active.end(), b));
    }
}

}  // namespace

bool joinAverageByChain(MergeTree& tree, const DistanceTriangle& distances, float* cells,
                        const std::size_t* rowOffsets, linkage_cells::ClusterRecords& records,
                        ReducibleBuffers& buffers, std::size_t& exactCount) {
    const int n = distances.objectCount;
    const double* d = distances.entries.data();
    const std::size_t entryCount = distances.entries.size();
    // Distances >= 0 but not a negative zero (as for the other routes), and
    // the bounds of the cells' intervals (no overflow of a single-precision
    // sum, few enough terms and levels).
    const double largestTermCount = std::floor(n / 2.0) * std::ceil(n / 2.0);
    double largest = 0;
    bool usable = n <= (1 << 16);
    for (std::size_t e = 0; e < entryCount; ++e) {
        usable &= (d[e] >= 0) & !std::signbit(d[e]);
        largest = d[e] > largest ? d[e] : largest;
        cells[e] = linkage_cells::AverageCells::initialCell(d[e]);
    }
    if (!usable || !(largest * largestTermCount <= 0x1p120)) return false;
    proposeTree(n, cells, rowOffsets, buffers);

    // The proposal as a tree of nodes.
    const int joinCount = n - 1;
    std::vector<int>& parentOf = buffers.setOf;  // by node: the join that takes it, -1 for the root
    parentOf.assign(at(n + joinCount), -1);
    for (int j = 0; j < joinCount; ++j) parentOf[at(buffers.joins[at(j)].first)] = parentOf[at(buffers.joins[at(j)].second)] = j;
    auto partnerOf = [&](int node) {
        const int j = parentOf[at(node)];
        if (j < 0) return -1;
        const auto& join = buffers.joins[at(j)];
        return join.first == node ? join.second : join.first;
    };

    // The replay, on fresh cells.
    for (std::size_t e = 0; e < entryCount; ++e) cells[e] = linkage_cells::AverageCells::initialCell(d[e]);
    records.start(n);
    auto& active = buffers.active;
    active.resize(at(n));
    std::iota(active.begin(), active.end(), 0);
    auto& codeOf = buffers.codeOf;
    codeOf.resize(at(n));
    for (int i = 0; i < n; ++i) codeOf[at(i)] = -(i + 1);
    std::vector<int>& identityOf = buffers.from;  // by node, once formed; -1 before
    identityOf.assign(at(n + joinCount), -1);
    std::iota(identityOf.begin(), identityOf.begin() + n, 0);
    std::vector<ReadyJoin>& ready = buffers.ready;
    ready.assign(at(joinCount), ReadyJoin{});
    auto& queue = buffers.queue;  // (L, join), smallest first
    queue.clear();
    const auto later = [](const std::pair<double, int>& x, const std::pair<double, int>& y) { return x > y; };
    for (int j = 0; j < joinCount; ++j) {
        const auto& join = buffers.joins[at(j)];
        if (join.first >= n || join.second >= n) continue;
        const int a = std::min(join.first, join.second), b = std::max(join.first, join.second);
        const double v = d[pairIndex(n, a, b)];
        ready[at(j)] = {v, v, v, v, a, b, ReadyJoin::Orientation::Same};
        queue.push_back({v, j});
    }
    std::make_heap(queue.begin(), queue.end(), later);

    const double eps = (largestTermCount + 4) * 0x1p-53 * 1.01;
    // Whether the entry of the cluster y, just formed, keeps its older
    // partner x, whose value first is v, when the cells' intervals leave
    // it open: yes when every other active cluster C has a real mean with
    // y above limit, no when some v(C, y) is below v (it then takes C);
    // nothing when a sum leaves it open.
    auto youngerKeepsOlder = [&](int y, int x, double v, double limit) -> std::optional<bool> {
        const double inverseY = records.inverseOfSlot[at(y)];
        const double sizeY = records.sizeOfSlot[at(y)], depthY = records.depthOfSlot[at(y)];
        for (const int c : active) {
            if (c == y || c == x) continue;
            const float cell = c < y ? cells[rowOffsets[c] + at(y)] : cells[rowOffsets[y] + at(c)];
            const double value = static_cast<double>(cell) * inverseY * records.inverseOfSlot[at(c)];
            const double termCount = sizeY * records.sizeOfSlot[at(c)];
            if (value - linkage_cells::averageWidth(value, termCount, depthY + records.depthOfSlot[at(c)], 0.0) > limit)
                continue;
            ++exactCount;
            const double firstC = linkage_cells::documentedAverage(distances, records.members[at(c)], records.members[at(y)]);
            if (firstC < v) return false;
            const double e = (termCount + 4) * 0x1p-53 * 1.01;
            if (!((firstC - 0x1p-1000) / (1 + e) * (1 - 0x1p-50) > limit)) return std::nullopt;
        }
        return true;
    };
    int deepest = 0;
    double previousHigh = -std::numeric_limits<double>::infinity();
    for (int t = 0; t < joinCount; ++t) {
        if (queue.empty()) return false;
        std::pop_heap(queue.begin(), queue.end(), later);
        const int j = queue.back().second;
        queue.pop_back();
        const ReadyJoin& join = ready[at(j)];
        const double high = join.high;
        if (!(join.low > previousHigh)) return false;
        previousHigh = high;

        // The record: the selected entry first, at its value (the lower row
        // first on equal values).
        const int a = std::min(join.older, join.younger), b = std::max(join.older, join.younger);
        int first = a;
        double height = join.olderFirst;
        if (join.orientation == ReadyJoin::Orientation::YoungerFirst) {
            first = join.youngerFirst < join.olderFirst ? join.younger : join.older;
            height = std::min(join.olderFirst, join.youngerFirst);
        }
        tree.mergePairs[at(t)] = {codeOf[at(first)], codeOf[at(first == a ? b : a)]};
        tree.setHeight(height, t);
        codeOf[at(a)] = t + 1;

        // (1) for every other active cluster, and the joined cluster's cells.
        const int node = n + j;
        const int partnerNode = partnerOf(node);
        const int partner = partnerNode < 0 ? -1 : identityOf[at(partnerNode)];
        const int sizeA = records.sizes[at(a)], sizeB = records.sizes[at(b)];
        const int depthA = records.depths[at(a)], depthB = records.depths[at(b)];
        const int sizeJ = sizeA + sizeB, depthJ = 1 + std::max(depthA, depthB);
        const bool orient = partner >= 0 && records.sizes[at(partner)] > 1;
        const double inverseA = 1.0 / sizeA, inverseB = 1.0 / sizeB, inverseJ = 1.0 / sizeJ;
        // A value above its threshold has its interval above high: the
        // relative part of the width at most (D + 1) 2^-22 + m 2^-52 times
        // 1.125, plus 16u, for any active partner.
        auto thresholdFor = [&](int size, int depth) {
            const double w = ((depth + deepest + 1) * 0x1p-22 + size * static_cast<double>(n) * 0x1p-52) * 1.125 + 0x1p-49;
            return w < 0.5 ? (high + 0x1p-139) / (1 - w) * (1 + 0x1p-50) : std::numeric_limits<double>::infinity();
        };
        const double thresholdA = thresholdFor(sizeA, depthA), thresholdB = thresholdFor(sizeB, depthB);
        double nearestValue = std::numeric_limits<double>::infinity();  // the joined cluster's, partner aside
        bool separated = true;
        const double* inverses = records.inverseOfSlot.data();  // by identity, as join is given identities
        auto above = [&](float cell, double inverse, double threshold, int x, int size, int depth, int c) {
            const double value = static_cast<double>(cell) * inverse * inverses[c];
            if (value > threshold) return true;
            const double width = linkage_cells::averageWidth(value, static_cast<double>(size) * records.sizes[at(c)],
                                                             depth + records.depths[at(c)], 0.0);
            if (value - width > high) return true;
            exactCount += 2;
            return linkage_cells::documentedAverage(distances, records.members[at(x)], records.members[at(c)]) > high &&
                   linkage_cells::documentedAverage(distances, records.members[at(c)], records.members[at(x)]) > high;
        };
        chain_cells::forEachOther(cells, rowOffsets, active, a, b, [&](int c, float& va, float vb) {
            separated = separated && above(va, inverseA, thresholdA, a, sizeA, depthA, c) &&
                        above(vb, inverseB, thresholdB, b, sizeB, depthB, c);
            va = linkage_cells::AverageCells::combine(va, vb);
            if (orient && c != partner) nearestValue = std::min(nearestValue, static_cast<double>(va) * inverseJ * inverses[c]);
        });
        if (!separated) return false;
        records.join(a, a, b);
        deepest = std::max(deepest, depthJ);
        // The smallest interval ends of the joined cluster's cells lie
        // within the largest relative width of the smallest value.
        const double widthJ = ((2 * deepest + 1) * 0x1p-22 + sizeJ * static_cast<double>(n) * 0x1p-52) * 1.125 + 0x1p-49;
        const double lowestLow = nearestValue * (1 - widthJ) * (1 - 0x1p-50) - 0x1p-139;
        const double lowestHigh = nearestValue * (1 + widthJ) * (1 + 0x1p-50) + 0x1p-139;
        active.erase(std::lower_bound(active.begin(), active.end(), b));
        identityOf[at(node)] = a;

        // The join above becomes ready when its other cluster exists: this
        // cluster is the younger.
        if (partner < 0) continue;
        const int parent = parentOf[at(node)];
        const auto& older = records.members[at(partner)];
        const auto& younger = records.members[at(a)];
        ++exactCount;
        const double v = linkage_cells::documentedAverage(distances, older, younger);
        ReadyJoin next{v, v, v, v, partner, a, ReadyJoin::Orientation::Same};
        if (older.size() > 1) {
            // The younger-first value lies within 2 e v of v (both are
            // within e r of the real mean): bounds that suffice when the
            // younger's entry keeps the older.
            const double e = (static_cast<double>(older.size()) * younger.size() + 4) * 0x1p-53 * 1.01;
            next.low = v * (1 - 3 * e) - 0x1p-1000;
            next.high = v * (1 + 3 * e) + 0x1p-1000;
            next.orientation = ReadyJoin::Orientation::OlderFirst;
            if (!(lowestLow > next.high * (1 + 3 * eps) + 0x1p-1000)) {
                ++exactCount;
                const double w = linkage_cells::documentedAverage(distances, younger, older);
                next = {v, w, std::min(v, w), std::max(v, w), partner, a, ReadyJoin::Orientation::Same};
                if (w != v) {
                    const double limit = next.high * (1 + 3 * eps) + 0x1p-1000;
                    if (lowestLow > limit)
                        next.orientation = ReadyJoin::Orientation::OlderFirst;
                    else if (lowestHigh < next.low)
                        next.orientation = ReadyJoin::Orientation::YoungerFirst;
                    else if (const auto keeps = youngerKeepsOlder(a, partner, v, limit))
                        next.orientation = *keeps ? ReadyJoin::Orientation::OlderFirst
                                                  : ReadyJoin::Orientation::YoungerFirst;
                    else
                        return false;
                }
            }
        }
        ready[at(parent)] = next;
        queue.push_back({next.low, parent});
        std::push_heap(queue.begin(), queue.end(), later);
    }
    return true;
}
