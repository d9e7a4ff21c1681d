#pragma once
// The state of the faster "average" route (average_pairs.cpp) and the
// joins it can show the nearest-neighbour table to make, with the record
// they write.
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
// Heights as printed. (1), (2) and the orientation need only bounds of L
// and H. Where the record's heights need only be exact to the report's
// digits, a "correlation" join whose orientation the cells show takes such
// bounds from the clusters' unit row sums (correlation_means.h) instead of
// its sums, and the heights are settled afterwards (printed_heights.h).

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "cluster/average_cells.h"
#include "cluster/correlation_means.h"
#include "cluster/pair_cells.h"
#include "cluster/reducible_linkage.h"

namespace average_route {

using linkage_cells::at;

// The relative bound of a documented value of m terms >= 0 against the
// real mean: gamma(m + 4), the recursive sum and the two divisions.
inline double documentedError(double termCount) { return (termCount + 4) * 0x1p-53 * 1.01; }

// The last join the proposal recorded, which the next one may go ahead of:
// lowest lies below every documented value of its two parts with any union
// of the clusters active when it was checked, and before is the upper
// bound of the join recorded just before it.
struct LateJoin {
    ReadyJoin join;
    int slot = -1;      // its cluster; -1 while no join may go ahead of it
    int departed = -1;  // the part that left its slot, whose cells stay as they were
    int checkedAt = 0;  // the step it was checked at
    double lowest = 0;
    double before = -std::numeric_limits<double>::infinity();
};

// Whether the join u of the clusters a and b, proposed right after the
// late one, may be recorded before it: u does not take the late cluster,
// and the order before < L(u), H(u) < L(late) holds. The table then makes
// u first: at u's step the late join's parts are active, and their values
// with u's clusters lie above lowest > H(u); at the late join's step u's
// cluster is a union of clusters active when the late join was checked,
// and its values with the parts lie above lowest > H(late). The other
// clusters were checked with each join as usual.
inline bool canGoAhead(const LateJoin& late, const ReadyJoin& u, int a, int b) {
    return late.slot >= 0 && a != late.slot && b != late.slot && late.before < u.low && u.high < late.join.low &&
           u.high < late.lowest && late.join.high < late.lowest;
}

// The route's state: the cells (means while proposing, sums in the
// replay), member records and codes by identity (records.join is given
// identities for slots), the proposal as joins by nodes (0 .. n-1 the rows,
// n + j the j-th join), and the replay's ready joins, smallest value first.
template <class Places>
struct AverageRoute {
    const DistanceTriangle& distances;
    float* cells;
    Places places;
    linkage_cells::ClusterRecords& records;
    ReducibleBuffers& buffers;
    std::size_t& exactCount;
    int n;
    double eps;       // relative bound of a documented value against the real mean
    int deepest = 0;  // the largest depth of a cluster formed so far
    bool meanCells = true;  // the proposal's cells, until the replay refills them
    int placed = 0;         // the clusters the cells are laid out for
    // Heights from the clusters' unit row sums where they print alike
    // (correlation_means.h), with the per-distance part of their width.
    bool estimating = false;
    double distanceSlack = 0;

    // What is known of the values of a younger cluster with the clusters
    // active when it was formed, but its partner: a lower bound of them
    // (low; cells, so that their intervals' widths apply), the cell of one
    // of them where known (else infinity), the largest depth of a cluster
    // then, and whether the active clusters are still those (sweep), but
    // for split (see youngerKeepsOlder).
    struct YoungerNearest {
        double low;
        double one;
        int deepest;
        bool sweep = false;
        int split = -1;
        double splitLowest = 0;
    };

    static constexpr std::greater<> later{};  // the smallest value on top
    // Absolute room of the cells' intervals for results near underflow.
    static constexpr double Tiny = 0x1p-129;

    // The relative part of the width of a cell of a cluster of this size and
    // depth with any active cluster: ((D + 1) 2^-22 + m 2^-52) 1.125 + 16u at
    // the largest depth sum D and term count m.
    double largestRelativeWidth(int size, int depth) const { return largestRelativeWidth(size, depth, deepest); }
    double largestRelativeWidth(int size, int depth, int deepestDepth) const {
        return ((depth + deepestDepth + 1) * 0x1p-22 + size * static_cast<double>(n) * 0x1p-52) * 1.125 + 0x1p-49;
    }

    // The lower and upper ends of the interval of a cell of this value
    // whose width is at most w times the value (and the absolute room).
    static double lowEnd(double value, double w) { return value * (1 - w) * (1 - 0x1p-50) - Tiny; }
    static double highEnd(double value, double w) { return value * (1 + w) * (1 + 0x1p-50) + Tiny; }

    // A value above this has its interval above high, for a cluster of this
    // size and depth with any active cluster.
    double thresholdFor(int size, int depth, double high) const {
        const double w = largestRelativeWidth(size, depth);
        return w < 0.5 ? (high + Tiny) / (1 - w) * (1 + 0x1p-50) : std::numeric_limits<double>::infinity();
    }

    double sum(int first, int second) const {
        ++exactCount;
        return linkage_cells::documentedAverage(distances, records.members[at(first)], records.members[at(second)],
                                                buffers.scratch);
    }

    void startRecord() {
        records.start(n);
        deepest = 0;
        buffers.codeOf.resize(at(n));
        for (int i = 0; i < n; ++i) buffers.codeOf[at(i)] = -(i + 1);
        if (!estimating) return;
        correlation_means::startSums(distances.rows, buffers.unitSums);
        buffers.heightBounds.assign(at(n - 1), HeightBounds{});
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
        // An estimated join is oriented by identities, the older summed outer.
        if (estimating)
            buffers.heightBounds[at(t)] =
                join.estimated ? HeightBounds{false, join.low, join.high, join.older != a} : HeightBounds{};
    }

    // Lays the cells out for all n clusters again.
    void placeAll() {
        places.placeAll(n);
        placed = n;
    }

    void joinRecords(int a, int b) {
        if (estimating) correlation_means::joinSums(buffers.unitSums, distances.rows.columnCount, a, b);
        records.join(a, a, b);
        deepest = std::max(deepest, records.depths[at(a)]);
    }

    // Whether the entry of the cluster y, just formed, keeps its older
    // partner x, whose value first is v, when the cells' intervals leave
    // it open: yes when every other active cluster C has a real mean with
    // y above limit, no when some v(C, y) is below v (it then takes C);
    // nothing when a sum leaves it open. Only while the active clusters are
    // those of y's forming, but for split (when >= 0): it stands for two
    // clusters of y's forming whose values with y lie above splitLowest.
    std::optional<bool> youngerKeepsOlder(int y, int x, double v, double limit, int split, double splitLowest) const {
        const double inverseY = records.inverseOfSlot[at(y)];
        const double sizeY = records.sizeOfSlot[at(y)], depthY = records.depthOfSlot[at(y)];
        for (const int c : buffers.active) {
            if (c == y || c == x) continue;
            if (c == split) {
                if (splitLowest > limit) continue;
                return std::nullopt;
            }
            const float cell = pair_cells::cellBetween(cells, places, c, y);
            const double termCount = sizeY * records.sizeOfSlot[at(c)];
            const double depth = depthY + records.depthOfSlot[at(c)];
            const double value = meanCells ? cell : static_cast<double>(cell) * inverseY * records.inverseOfSlot[at(c)];
            const double width = meanCells ? linkage_cells::meanCellWidth(value, termCount, depth)
                                           : linkage_cells::averageWidth(value, termCount, depth, 0.0);
            if (value - width > limit) continue;
            const double firstC = sum(c, y);
            if (firstC < v) return false;
            const double e = documentedError(termCount);
            if (!((firstC - 0x1p-1000) / (1 + e) * (1 - 0x1p-50) > limit)) return std::nullopt;
        }
        return true;
    }

    // The join of the cluster y with its older partner x, given what is
    // known of y's values with the other clusters active when it was
    // formed; nothing when the orientation cannot be shown.
    // youngerKeepsOlder is asked only when the active clusters are still
    // those (but for the split one).
    std::optional<ReadyJoin> readyJoin(int x, int y, const YoungerNearest& nearest) const {
        const bool single = records.sizes[at(x)] == 1;  // both orientations alike
        // The interval ends of y's cells with the others lie within the
        // largest relative width of their values: every value with them is
        // above lowestLow, and one of them below oneHigh.
        const double widthY = largestRelativeWidth(records.sizes[at(y)], records.depths[at(y)], nearest.deepest);
        const double lowestLow = lowEnd(nearest.low, widthY);
        const double oneHigh = highEnd(nearest.one, widthY);
        if (estimating) {
            // Bounds of both orientations: enough where the orientation
            // needs no sums (as below, with the bounds for v's).
            const auto bounds = correlation_means::meanBounds(
                buffers.unitSums, distances.rows.columnCount, distanceSlack, x, y, records.sizes[at(x)],
                records.sizes[at(y)], records.depths[at(x)], records.depths[at(y)]);
            const bool olderFirst = lowestLow > bounds.high * (1 + 3 * eps) + 0x1p-1000;
            if (bounds.high < std::numeric_limits<double>::infinity() && (single || olderFirst))
                return ReadyJoin{bounds.estimate, bounds.estimate, bounds.low, bounds.high, x, y,
                                 single ? ReadyJoin::Orientation::Same : ReadyJoin::Orientation::OlderFirst, true};
        }
        const double v = sum(x, y);
        ReadyJoin next{v, v, v, v, x, y, ReadyJoin::Orientation::Same};
        if (single) return next;
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
        else if (oneHigh < next.low)
            keeps = false;
        else if (nearest.sweep)
            keeps = youngerKeepsOlder(y, x, v, limit, nearest.split, nearest.splitLowest);
        if (!keeps) return std::nullopt;
        next.orientation = *keeps ? ReadyJoin::Orientation::OlderFirst : ReadyJoin::Orientation::YoungerFirst;
        return next;
    }

    // The checked proposal (average_pairs.cpp).

    // The proposed join of the active clusters a and b as the table would
    // make it now, or nothing when its orientation cannot be shown: the
    // join prepared when the younger was formed, if it named the older.
    std::optional<ReadyJoin> proposedJoin(int a, int b, const std::vector<int>& formedAt) const;

    // What y's cells from its forming say of its values with the clusters
    // active then, but partner.
    YoungerNearest nearestBut(int y, int partner) const;

    // Prepares the join of y, just formed, with its nearest cluster, its
    // likely partner (and with the second nearest where the cells leave
    // open which is nearer), while the active clusters are those
    // youngerKeepsOlder needs (split as there); only where the partner has
    // more than one row (a single row's join needs no orientation).
    void prepareJoin(int y, int split = -1, double splitLowest = 0);

    // Whether the values of a and b with c, whose mean cells are va and vb,
    // are all above high, where the thresholds could not tell: by the
    // cells' intervals, or the sums. Out of line: the combining loop stays
    // small.
    [[gnu::noinline]] bool meansAbove(float va, float vb, int a, int b, int c, double high) const;

    // A lower bound of the real means of the late join's two parts with
    // the cluster q, from q's cells with the late cluster and with the
    // departed part; -infinity when q was formed after the late join.
    double partsLowest(const LateJoin& late, int q, const std::vector<int>& formedAt) const {
        if (formedAt[at(q)] >= late.checkedAt) return -std::numeric_limits<double>::infinity();
        // Neither cell changed since the late join: its cluster J = A + B and q
        // have not joined since, and B departed. The cell of J holds a weighted
        // mean, so r(A, q) = (|J| r(J, q) - |B| r(B, q)) / |A|, bounded with
        // the two cells' intervals; the three roundings stay within the slack.
        const double sizeQ = records.sizes[at(q)], sizeJ = records.sizes[at(late.slot)];
        const double sizeB = records.sizes[at(late.departed)], sizeA = sizeJ - sizeB;
        const int depthQ = records.depths[at(q)];
        const double joined = pair_cells::cellBetween(cells, places, late.slot, q);
        const double part = pair_cells::cellBetween(cells, places, late.departed, q);
        const double joinedLow =
            joined - linkage_cells::meanCellWidth(joined, sizeJ * sizeQ, records.depths[at(late.slot)] + depthQ);
        const double partWidth =
            linkage_cells::meanCellWidth(part, sizeB * sizeQ, records.depths[at(late.departed)] + depthQ);
        const double lowA = (sizeJ * joinedLow - sizeB * (part + partWidth)) / sizeA;
        const double slack = (sizeJ * std::fabs(joinedLow) + sizeB * (part + partWidth)) / sizeA * 0x1p-50 + Tiny;
        return std::min(lowA - slack, part - partWidth);
    }

    // Combines the mean cells of a and b with every other active c into a's,
    // and checks (1) for the join at the value bound high while it holds.
    // Returns whether it held; a's two nearest cells are kept for its own
    // join to come.
    bool combineChecked(int a, int b, double weightA, double weightB, double high, double& lowest);

    // The proposal: joins the smallest pair of mean cells first (a join's
    // cells the weighted means of its parts' cells, rounded). Up to the
    // first join that fails, each is checked as the replay would check it
    // (its orientation from the cells of its younger cluster when that was
    // formed, (1) on the mean cells' intervals and (2) in the proposal's
    // order) and recorded: when none fails, the proposal's order is the
    // replay's and proven is set with the record written. False when no
    // pair is left to join.
    bool propose(MergeTree& tree, bool& proven);

    // The replay (average_pairs.cpp).

    void push(int join, const ReadyJoin& ready);

    int partnerOf(int node) const;

    void startReplay();

    // Joins a and b (a < b) at the value bounds high: checks (1) for every
    // other active cluster and combines the sum cells. Returns the smallest
    // value of the joined cluster with an active cluster other than
    // partner (infinity when partner < 0), or not-a-number when (1) fails.
    double replayJoin(int a, int b, double high, int partner);

    // The replay of the whole proposal on fresh sum cells, in the order of
    // the values: true when it writes the table's record.
    bool replay(MergeTree& tree);
};

}  // namespace average_route
