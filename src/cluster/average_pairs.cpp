// "average" without the nearest-neighbour table (the argument is in
// average_route.h).
//
// The route. Joining the smallest pair of single-precision means first
// (pair_cells::SmallestFirst) proposes the tree, and while it joins, it
// checks each join as the table would make it at that step and writes the
// record: the orientation (prepared when the younger cluster was formed,
// with the clusters active then), (1) on the intervals of the mean cells
// (meanCellWidth, the documented values where an interval cannot decide)
// and (2) in the proposal's own order, where a join whose value lies below
// the one before it (both within the cells' rounding) may go ahead of it
// (canGoAhead). When every join passes, the record is the table's and the
// route is done. Otherwise (mostly an orientation the cells of a cluster
// formed around such a swap leave open) the proposal goes on unchecked, the
// cells are refilled with sums (average_cells.h), and a replay joins, among
// the proposed joins whose two clusters exist, the one with the smallest L,
// checks (1) and (2) on the cells' intervals, decides every orientation
// (summing the clusters the intervals leave open) and writes the record.
// Anything it cannot show returns to the table: a wrong proposal, ties, or
// an orientation the sums leave open.

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>

#include "cluster/average_route.h"
#include "cluster/single_row_cells.h"

namespace average_route {

namespace {

// The cells of single rows again, for the replay (the proposal's come from
// fillSingleRowCells): every distance rounded, their mean and their sum
// alike.
template <class Places>
void fillFromDistances(float* cells, Places places, const DistanceTriangle& distances) {
    const double* d = distances.entries.data();
    pair_cells::fillCells(cells, places, distances.objectCount,
                          [d](std::size_t e) { return linkage_cells::AverageCells::initialCell(d[e]); });
}

}  // namespace

// The checked proposal.

template <class Places>
std::optional<ReadyJoin> AverageRoute<Places>::proposedJoin(int a, int b, const std::vector<int>& formedAt) const {
    const int older = formedAt[at(a)] < formedAt[at(b)] ? a : b, younger = older == a ? b : a;
    if (formedAt[at(younger)] < 0) {
        const double v =
            distances.entries.empty() ? rowDistance(distances.rows, a, b) : distances.entries[pairIndex(n, a, b)];
        return ReadyJoin{v, v, v, v, older, younger, ReadyJoin::Orientation::Same};
    }
    if (buffers.ready[at(younger)].older == older) return buffers.ready[at(younger)];
    if (buffers.readySecond[at(younger)].older == older) return buffers.readySecond[at(younger)];
    return readyJoin(older, younger, nearestBut(younger, older));
}

template <class Places>
typename AverageRoute<Places>::YoungerNearest AverageRoute<Places>::nearestBut(int y, int partner) const {
    const auto& nearest = buffers.nearestAtForming[at(y)];
    const bool firstIsPartner = nearest.firstWith == partner;
    const double value = firstIsPartner ? nearest.second : nearest.first;
    const int with = firstIsPartner ? nearest.secondWith : nearest.firstWith;
    const bool real = !nearest.belowOnly && with != nearest.apart[0] && with != nearest.apart[1] &&
                      (nearest.merged < 0 || with != nearest.merged);
    return {std::min(value, nearest.floor), real ? value : std::numeric_limits<double>::infinity(), nearest.deepest};
}

template <class Places>
void AverageRoute<Places>::prepareJoin(int y, int split, double splitLowest) {
    buffers.ready[at(y)].older = -1;
    buffers.readySecond[at(y)].older = -1;
    const auto& nearest = buffers.nearestAtForming[at(y)];
    const double widthY = largestRelativeWidth(records.sizes[at(y)], records.depths[at(y)], nearest.deepest);
    // Whether the cells show the values around low above a pair's value,
    // which lies below the upper end of the pair's interval, by readyJoin's
    // margin: it then knows the orientation without the sweep.
    auto farAbove = [&](double low, double value) {
        const double highest = highEnd(value, widthY) * (1 + 3 * eps) + 0x1p-1000;
        return lowEnd(low, widthY) > highest * (1 + 3 * eps) + 0x1p-1000;
    };
    auto prepare = [&](int x, double value, ReadyJoin& prepared) {
        if (x < 0 || x == split || records.sizes[at(x)] == 1) return;
        YoungerNearest known = nearestBut(y, x);
        known.sweep = true;
        known.split = split;
        known.splitLowest = splitLowest;
        if (farAbove(known.low, value)) return;  // no sweep needed later
        if (const auto join = readyJoin(x, y, known)) prepared = *join;
    };
    prepare(nearest.firstWith, nearest.first, buffers.ready[at(y)]);
    // The second nearest cluster too, where the cells cannot show that the
    // nearest one is nearer: either may turn out the partner, and its
    // orientation needs the clusters active now.
    if (!farAbove(nearest.second, nearest.first))
        prepare(nearest.secondWith, nearest.second, buffers.readySecond[at(y)]);
}

template <class Places>
bool AverageRoute<Places>::meansAbove(float va, float vb, int a, int b, int c, double high) const {
    auto above = [&](float cell, int x) {
        const double value = cell;
        const double width = linkage_cells::meanCellWidth(
            value, static_cast<double>(records.sizes[at(x)]) * records.sizes[at(c)],
            records.depths[at(x)] + records.depths[at(c)]);
        return value - width > high || (sum(x, c) > high && sum(c, x) > high);
    };
    return above(va, a) && above(vb, b);
}

template <class Places>
bool AverageRoute<Places>::combineChecked(int a, int b, double weightA, double weightB, double high,
                                          double& lowest) {
    auto& pairs = buffers.smallestFirst;
    const int sizeA = records.sizes[at(a)], sizeB = records.sizes[at(b)];
    const int depthA = records.depths[at(a)], depthB = records.depths[at(b)];
    const double thresholdA = thresholdFor(sizeA, depthA, high), thresholdB = thresholdFor(sizeB, depthB, high);
    constexpr double infinity = std::numeric_limits<double>::infinity();
    ReducibleBuffers::NearestTwo nearest{infinity, infinity, infinity, -1, -1, deepest, -1, false};
    float smallest = std::numeric_limits<float>::infinity();
    bool separated = true;
    pair_cells::forEachOther(cells, places, buffers.active, a, b, [&](int c, float& va, float vb) {
        if (separated && !(va > thresholdA && vb > thresholdB)) separated = meansAbove(va, vb, a, b, c, high);
        smallest = std::min(smallest, std::min(va, vb));
        va = static_cast<float>(weightA * va + weightB * vb);
        pairs.combined(a, b, c, va);
        const double joined = va;
        if (joined < nearest.second) {
            if (joined < nearest.first) {
                nearest.second = nearest.first;
                nearest.secondWith = nearest.firstWith;
                nearest.first = joined;
                nearest.firstWith = c;
            } else {
                nearest.second = joined;
                nearest.secondWith = c;
            }
        }
    });
    buffers.nearestAtForming[at(a)] = nearest;
    // The intervals' lower ends bound the real means, a union's real mean is
    // at least the smallest of its parts', and a documented value lies
    // within eps of the real mean.
    const double w = std::max(largestRelativeWidth(sizeA, depthA), largestRelativeWidth(sizeB, depthB));
    lowest = w < 0.5 ? lowEnd(smallest, w) * (1 - eps) * (1 - 0x1p-50) - 0x1p-1000 : -infinity;
    return separated;
}

template <class Places>
bool AverageRoute<Places>::propose(MergeTree& tree, bool& proven) {
    auto& active = buffers.active;
    auto& sizeOf = buffers.lowestOf;
    auto& nodeOf = buffers.setOf;    // by identity: the node it is now
    auto& formedAt = buffers.from;   // by identity: the step that recorded it, -1 for a row
    auto& joins = buffers.joins;
    auto& pairs = buffers.smallestFirst;
    sizeOf.assign(at(n), 1);
    nodeOf.resize(at(n));
    std::iota(nodeOf.begin(), nodeOf.end(), 0);
    formedAt.assign(at(n), -1);
    joins.clear();
    startRecord();
    buffers.nearestAtForming.resize(at(n));
    buffers.ready.resize(at(n));
    buffers.readySecond.resize(at(n));
    bool checking = true;
    double previousHigh = -std::numeric_limits<double>::infinity();
    LateJoin late;
    placed = n;
    pairs.startFromRows(n, active);  // the rows' smallest cells came with the fill
    for (int t = 0; active.size() > 1; ++t) {
        int a = 0, b = 0;
        float cell = 0;
        if (!pairs.next(cells, places, active, a, b, cell)) return false;
        const double size = sizeOf[at(a)] + sizeOf[at(b)];
        const double weightA = sizeOf[at(a)] / size, weightB = sizeOf[at(b)] / size;
        std::optional<ReadyJoin> ready;
        bool ahead = false;  // recorded before the late join
        if (checking) {
            ready = proposedJoin(a, b, formedAt);
            checking = ready.has_value();
            if (checking && !(ready->low > previousHigh)) checking = ahead = canGoAhead(late, *ready, a, b);  // (2)
        }
        // Below the real means of the late join's parts with this join's
        // clusters, and so with their union, before the cells change.
        double partsLow = 0;
        if (checking && ahead)
            partsLow = std::max(late.lowest, std::min(partsLowest(late, a, formedAt), partsLowest(late, b, formedAt)));
        double lowest = 0;
        if (checking) {
            checking = combineChecked(a, b, weightA, weightB, ready->high, lowest);  // (1)
        } else {
            pair_cells::forEachOther(cells, places, active, a, b, [&](int c, float& va, float vb) {
                va = static_cast<float>(weightA * va + weightB * vb);
                pairs.combined(a, b, c, va);
            });
        }
        if (checking && ahead) {
            // The join takes the late join's step, which moves to this one.
            const MergePair lateRecord = tree.mergePairs[at(t - 1)];
            const double lateHeight = tree.height(t - 1);
            const HeightBounds lateBounds = estimating ? buffers.heightBounds[at(t - 1)] : HeightBounds{};
            record(tree, t - 1, *ready);
            tree.mergePairs[at(t)] = lateRecord;
            tree.setHeight(lateHeight, t);
            if (estimating) buffers.heightBounds[at(t)] = lateBounds;
            buffers.codeOf[at(late.slot)] = t + 1;
            formedAt[at(a)] = t - 1;
            formedAt[at(late.slot)] = t;
            late.before = ready->high;
            // The late cluster's cells saw this join's parts apart, and a's
            // saw the late cluster instead of its parts, whose real means with
            // a lie above partsLow: their nearest values only bound from
            // below. The late cluster's prepared join stands unless it relied
            // on a nearer cluster, or named a part of this join, whose slot
            // now holds another cluster, older than the late one.
            auto& seen = buffers.nearestAtForming[at(late.slot)];
            if (seen.apart[0] < 0) {
                seen.apart[0] = a;
                seen.apart[1] = b;
            } else {
                seen.belowOnly = true;
            }
            buffers.nearestAtForming[at(a)].merged = late.slot;
            buffers.nearestAtForming[at(a)].floor = partsLow;
            for (ReadyJoin* prepared : {&buffers.ready[at(late.slot)], &buffers.readySecond[at(late.slot)]})
                if (prepared->orientation == ReadyJoin::Orientation::YoungerFirst || prepared->older == a ||
                    prepared->older == b)
                    prepared->older = -1;
        } else if (checking) {
            record(tree, t, *ready);
            formedAt[at(a)] = t;
            late = {*ready, a, b, t, lowest, previousHigh};
            previousHigh = ready->high;
        }
        if (checking) joinRecords(a, b);
        joins.push_back({cell, nodeOf[at(a)], nodeOf[at(b)]});
        nodeOf[at(a)] = n + static_cast<int>(joins.size()) - 1;
        sizeOf[at(a)] += sizeOf[at(b)];
        pairs.join(a, b, active);
        if (checking && ahead)
            prepareJoin(a, late.slot, partsLow);  // the late cluster's parts were active at its forming
        else if (checking)
            prepareJoin(a);
        // The late join's departed part: the next join may still read its cells.
        pair_cells::compactWhenSparse(cells, places, active, checking && late.slot >= 0 ? late.departed : -1,
                                      buffers.kept, placed);
    }
    proven = checking;
    return true;
}

// The replay.

template <class Places>
void AverageRoute<Places>::push(int join, const ReadyJoin& ready) {
    buffers.ready[at(join)] = ready;
    buffers.queue.push_back({ready.low, join});
    std::push_heap(buffers.queue.begin(), buffers.queue.end(), later);
}

template <class Places>
int AverageRoute<Places>::partnerOf(int node) const {
    const int j = buffers.setOf[at(node)];
    if (j < 0) return -1;
    const auto& join = buffers.joins[at(j)];
    return join.first == node ? join.second : join.first;
}

template <class Places>
void AverageRoute<Places>::startReplay() {
    placeAll();
    fillFromDistances(cells, places, distances);
    meanCells = false;
    const double* d = distances.entries.data();
    startRecord();
    auto& active = buffers.active;
    active.resize(at(n));
    std::iota(active.begin(), active.end(), 0);
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

template <class Places>
double AverageRoute<Places>::replayJoin(int a, int b, double high, int partner) {
    const int sizeA = records.sizes[at(a)], sizeB = records.sizes[at(b)];
    const int depthA = records.depths[at(a)], depthB = records.depths[at(b)];
    const double inverseA = 1.0 / sizeA, inverseB = 1.0 / sizeB, inverseJ = 1.0 / (sizeA + sizeB);
    const double thresholdA = thresholdFor(sizeA, depthA, high), thresholdB = thresholdFor(sizeB, depthB, high);
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
    joinRecords(a, b);
    buffers.active.erase(std::lower_bound(buffers.active.begin(), buffers.active.end(), b));
    return nearestValue;
}

template <class Places>
bool AverageRoute<Places>::replay(MergeTree& tree) {
    startReplay();
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
        const double nearestValue = replayJoin(a, b, pair.high, oriented ? partner : -1);
        if (std::isnan(nearestValue)) return false;  // (1)
        buffers.from[at(node)] = a;
        // The join above becomes ready when its other cluster exists:
        // this cluster is then the younger.
        if (partner < 0) continue;
        const auto next = readyJoin(partner, a, {nearestValue, nearestValue, deepest, true});
        if (!next) return false;
        push(buffers.setOf[at(node)], *next);
    }
    return true;
}

namespace {

template <class Places>
bool averagePairs(MergeTree& tree, const DistanceTriangle& distances, float* cells, Places places,
                  linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount,
                  bool printedHeights) {
    const int n = distances.objectCount;
    // Distances >= 0 but not a negative zero (as for the other routes), and
    // the bounds of the cells' intervals (no overflow of a single-precision
    // sum, few enough terms and levels).
    const double largestTermCount = std::floor(n / 2.0) * std::ceil(n / 2.0);
    double largest = 0;
    if (n > (1 << 16) || !fillSingleRowCells(cells, places, distances, largest, buffers.smallestFirst) ||
        !(largest * largestTermCount <= 0x1p120))
        return false;
    AverageRoute<Places> route{distances, cells, places, records, buffers, exactCount, n, documentedError(largestTermCount)};
    route.estimating = printedHeights && distances.rows.metric == DistanceMetric::Correlation && distances.rows.rowCount == n;
    route.distanceSlack = route.estimating ? correlation_means::distanceSlack(distances.rows) : 0.0;
    bool proven = false;
    if (!route.propose(tree, proven)) return false;
    // The replay reads the distances again, one by one: only from the entries.
    if (!proven && (distances.entries.empty() || !route.replay(tree))) return false;
    if (route.estimating) settlePrintedHeights(tree, buffers.heightBounds, distances, buffers.scratch, exactCount);
    return true;
}

}  // namespace

}  // namespace average_route

bool joinAverageBySmallestPairs(MergeTree& tree, const DistanceTriangle& distances, pair_cells::PairCells cells,
                                linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount,
                                bool printedHeights) {
    return pair_cells::withPlaces(cells, [&](auto places) {
        return average_route::averagePairs(tree, distances, cells.cells, places, records, buffers, exactCount,
                                           printedHeights);
    });
}
