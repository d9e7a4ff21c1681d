// Agglomerative clustering with a nearest-neighbour table: see clustering.h.
//
// The table, its scan orders, its strict comparisons and its rescan rule are
// kept exactly; only the way linkage values are obtained differs from
// recomputing them from member lists. Every cluster is identified by its
// lowest row (stable while it lives: a join keeps the lower one), and a
// packed triangle over these identities caches one value per pair of active
// clusters, updated in one pass over the active clusters per join.
//
// "compact" and "connected": the cached value is the linkage itself. The
// linkage is the running maximum (minimum) started at -1e100 (1e100) over
// the pairs that are not not-a-number, so it is the maximum (minimum) of the
// start value and those pairs, whatever their order: the linkage of A+B and
// C is the larger (smaller) of the linkages of A and C and of B and C. A
// cell that is not-a-number stands for "all pairs not-a-number".
//
// "average": the specified value is fl(fl(S / |first|) / |second|), where S
// is the sum of the m = |first| |second| pair distances in the order "first
// cluster's rows outer, second's inner, both ascending", started at 0. The
// cache holds T, the sum of the same terms in another order (cell of A+B and
// C = cell of A and C + cell of B and C). Any summation order of m terms is
// within gamma(m-1) * P of the exact sum, where P is the sum of the terms'
// magnitudes and gamma(k) = k u / (1 - k u), u = 2^-53; so
// |S - T| <= 2 gamma(m-1) P. The two divisions are monotone and each is off
// by at most u relatively, which turns that into a rigorous interval
// value +- width around the specified value (see averageEstimate). A
// comparison whose two intervals do not overlap is decided by them;
// otherwise both values are made exact by summing S from the member lists,
// in the orientation the value was specified with. Every recorded height is
// made exact the same way; the joined pairs cost sum |A||B| = n(n-1)/2 reads
// over a whole run. When every distance is an integer and no sum can exceed
// 2^53, every order gives S exactly and no interval is needed.

#include "cluster/clustering.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

namespace {

constexpr double Sentinel = 1e100;
constexpr int NoSlot = -1;

using Nearest = ClusteringWorkspace::Nearest;
using Slot = ClusteringWorkspace::Slot;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

constexpr Nearest SentinelNearest{Sentinel, 0.0, -1, -1};

// "compact": the running maximum from -1e100; not-a-number marks "no pair yet".
struct CompactLinkage {
    // A join can move a cluster's linkage to the joined cluster above its
    // former nearest distance, so the rescan is needed.
    static constexpr bool rescanCanImprove = true;
    static double single(double d) { return std::isnan(d) ? d : (-Sentinel < d ? d : -Sentinel); }
    static double combine(double x, double y) {
        if (std::isnan(x)) return y;
        if (std::isnan(y)) return x;
        return x < y ? y : x;
    }
};

// "connected": the running minimum from 1e100.
struct ConnectedLinkage {
    // The table is exact: a cluster's nearest distance is the smallest of its
    // linkages. When its nearest neighbour X is joined with Y, its linkage
    // to X+Y is the smaller of those to X and Y, so it equals the former
    // nearest distance and no other linkage is strictly smaller: the rescan
    // cannot change the entry, and is skipped.
    static constexpr bool rescanCanImprove = false;
    static double single(double d) { return std::isnan(d) ? d : (Sentinel > d ? d : Sentinel); }
    static double combine(double x, double y) {
        if (std::isnan(x)) return y;
        if (std::isnan(y)) return x;
        return x > y ? y : x;
    }
};

// Cached values that are the linkage itself.
template <class Rule>
class ExactPolicy {
public:
    static constexpr bool rescanCanImprove = Rule::rescanCanImprove;

    ExactPolicy(const DistanceTriangle&, ClusteringWorkspace&) {}
    double initialCell(double d) { return Rule::single(d); }
    void finishInitialisation(int) {}
    static double combine(double x, double y) { return Rule::combine(x, y); }
    Nearest estimate(double cell, int first, int second) const { return {cell, 0.0, first, second}; }
    void makeExact(Nearest&) const {}
    double exactLinkage(double cell, int, int) const { return cell; }
    bool greater(Nearest& x, Nearest& y) const { return x.value > y.value; }
    // Whether y cannot be strictly below x (a fast rejection for scans).
    static bool surelyNotBelow(const Nearest& x, const Nearest& y) { return !(x.value > y.value); }
    void join(int, int) {}
};

// "average" with cached sums and rigorous intervals.
class AveragePolicy {
public:
    static constexpr bool rescanCanImprove = true;

    AveragePolicy(const DistanceTriangle& distances, ClusteringWorkspace& workspace)
        : distances_(distances), workspace_(workspace) {}

    double initialCell(double d) {
        if (!std::isnan(d)) {
            const double magnitude = std::fabs(d);
            if (!(magnitude < Sentinel)) bounded_ = false;
            if (d < smallest_) smallest_ = d;
            if (magnitude > largestMagnitude_) largestMagnitude_ = magnitude;
            if (integers_ && d != std::trunc(d)) integers_ = false;
        }
        return 0.0 + d;  // the specified sum of one term: 0 + d (never -0)
    }

    void finishInitialisation(int n) {
        const double largestTermCount = std::floor(n / 2.0) * std::ceil(n / 2.0);
        // Integer terms and every partial sum below 2^53 in magnitude: exact in any order.
        exactSums_ = integers_ && largestMagnitude_ * largestTermCount <= 9007199254740992.0;
        // The interval argument needs (m-1) u <= 2^-12 and no overflow; otherwise
        // every value is computed from the member lists.
        useIntervals_ = !exactSums_ && bounded_ && largestTermCount <= 0x1p40;
        negativeExcess_ = smallest_ < 0 ? -smallest_ : 0.0;
        auto& members = workspace_.members;
        members.resize(at(n));
        for (int i = 0; i < n; ++i) members[at(i)].assign(1, i);
        workspace_.sizes.assign(at(n), 1);
        workspace_.inverseSizes.assign(at(n), 1.0);
        workspace_.exactAverages = 0;
    }

    static double combine(double x, double y) { return x + y; }

    Nearest estimate(double sum, int first, int second) const {
        const double a = workspace_.sizes[at(first)];
        const double b = workspace_.sizes[at(second)];
        // Up to two terms every order adds the same numbers in one addition.
        if (exactSums_ || a * b <= 2) return {sum / a / b, 0.0, first, second};
        if (!useIntervals_) return {exactAverage(first, second), 0.0, first, second};
        const double value = sum * workspace_.inverseSizes[at(first)] * workspace_.inverseSizes[at(second)];
        // Not-a-number: some term is (no infinities here), so S is too.
        // Zero with no negative term: every term is 0, and so is S.
        if (std::isnan(value) || (sum == 0 && negativeExcess_ == 0)) return {value, 0.0, first, second};
        return {value, averageWidth(value, a * b), first, second};
    }

    void makeExact(Nearest& x) const {
        if (x.width != 0) {
            x.value = exactAverage(x.firstCluster, x.secondCluster);
            x.width = 0;
        }
    }

    double exactLinkage(double, int first, int second) const { return exactAverage(first, second); }

    // x > y on the exact values.
    bool greater(Nearest& x, Nearest& y) const {
        if (x.width == 0 && y.width == 0) return x.value > y.value;
        // A not-a-number value is always exact, and compares false.
        if (std::isnan(x.value) || std::isnan(y.value)) return false;
        if (x.value - x.width > y.value + y.width) return true;
        if (x.value + x.width <= y.value - y.width) return false;
        makeExact(x);
        makeExact(y);
        return x.value > y.value;
    }

    // Whether the intervals alone show that y is not strictly below x.
    static bool surelyNotBelow(const Nearest& x, const Nearest& y) {
        return x.value + x.width <= y.value - y.width;
    }

    void join(int keep, int gone) {
        auto& members = workspace_.members;
        std::vector<int>& kept = members[at(keep)];
        std::vector<int>& joined = members[at(gone)];
        std::vector<int> merged;
        merged.reserve(kept.size() + joined.size());
        std::merge(kept.begin(), kept.end(), joined.begin(), joined.end(), std::back_inserter(merged));
        kept.swap(merged);
        joined.clear();
        workspace_.sizes[at(keep)] += workspace_.sizes[at(gone)];
        workspace_.inverseSizes[at(keep)] = 1.0 / workspace_.sizes[at(keep)];
    }

private:
    // Half-width of an interval around value that holds the specified
    // fl(fl(S / a) / b), given value = fl(fl(T (1/a)) (1/b)) with both
    // reciprocals rounded, and m = a b terms:
    //   specified = S / ab (1 + t1), |t1| <= gamma(2);
    //   value = T / ab (1 + t2), |t2| <= gamma(4);
    //   |specified - value| <= |S - T| / ab (1 + gamma(2)) + (gamma(2) + gamma(4)) |T| / ab;
    //   P <= (|T| + 2 m e) / (1 - gamma(m-1)), e the largest negative excess of a
    //   term (P = sum x + 2 sum of the negative parts, sum x <= T + gamma P);
    // so, with |T| / ab <= |value| / (1 - gamma(4)),
    //   |specified - value| <= 2 (m-1) u (|value| + 2 e) + 6 u |value|,
    // times a factor below 1 + 2^-11 for (m-1) u <= 2^-12. The width also
    // carries 2u |value| and the relative margin 2^-10 so that the rounded
    // value - width and value + width still enclose the specified value, and
    // an absolute 2^-1000 that covers results in the subnormal range.
    double averageWidth(double value, double termCount) const {
        constexpr double u = 0x1p-53;
        const double magnitude = std::fabs(value);
        return ((termCount - 1) * (2 * u) * (magnitude + 2 * negativeExcess_) + 8 * u * magnitude) *
                   (1 + 0x1p-10) +
               0x1p-1000;
    }

    // The specified sum from the member lists, first cluster's rows outer.
    double exactAverage(int first, int second) const {
        ++workspace_.exactAverages;
        const auto& members = workspace_.members;
        const std::vector<double>& d = distances_.entries;
        const int n = distances_.objectCount;
        double sum = 0;
        for (int a : members[at(first)])
            for (int b : members[at(second)]) sum = sum + d[a < b ? pairIndex(n, a, b) : pairIndex(n, b, a)];
        return sum / static_cast<double>(members[at(first)].size()) /
               static_cast<double>(members[at(second)].size());
    }

    const DistanceTriangle& distances_;
    ClusteringWorkspace& workspace_;
    bool bounded_ = true;
    bool integers_ = true;
    bool exactSums_ = false;
    bool useIntervals_ = false;
    double smallest_ = 0;
    double largestMagnitude_ = 0;
    double negativeExcess_ = 0;
};

// Tiles of the square cache filled together, so that writing both halves
// of the symmetric square stays within the caches.
constexpr int TileLength = 64;

template <class Policy>
void clusterWith(MergeTree& tree, const DistanceTriangle& distances, ClusteringWorkspace& workspace) {
    const int n = distances.objectCount;
    const std::size_t width = at(n);
    Policy policy(distances, workspace);
    // The cache is a full square (row-major by cluster identity), so that
    // every pass over one cluster's linkages reads one contiguous row.
    auto& cache = workspace.linkages;
    cache.resize(width * width);
    double* square = cache.data();
    const double* d = distances.entries.data();
    for (int rowTile = 0; rowTile < n; rowTile += TileLength) {
        for (int columnTile = rowTile; columnTile < n; columnTile += TileLength) {
            const int rowEnd = std::min(n, rowTile + TileLength);
            const int columnEnd = std::min(n, columnTile + TileLength);
            for (int i = rowTile; i < rowEnd; ++i) {
                const int first = std::max(columnTile, i + 1);
                if (first >= columnEnd) continue;
                const double* source = d + pairIndex(n, i, first);
                for (int j = first; j < columnEnd; ++j) {
                    const double cell = policy.initialCell(source[j - first]);
                    square[at(i) * width + at(j)] = cell;
                    square[at(j) * width + at(i)] = cell;
                }
            }
        }
    }
    policy.finishInitialisation(n);

    // The initial table straight from the distances. Visiting the pairs row
    // by row offers every slot its candidates in ascending slot order (first
    // the rows above it, then its own row), the order of a scan per slot.
    auto& slots = workspace.slots;
    slots.resize(at(n));
    for (int i = 0; i < n; ++i) slots[at(i)] = {i, -(i + 1), NoSlot, SentinelNearest};
    for (int i = 0; i + 1 < n; ++i) {
        Slot& owner = slots[at(i)];
        const double* row = d + pairIndex(n, i, i + 1) - at(i + 1);
        for (int j = i + 1; j < n; ++j) {
            const double v = row[j];
            if (owner.nearest.value > v) {
                owner.nearest = {v, 0.0, i, j};
                owner.nearestSlot = j;
            }
            Slot& other = slots[at(j)];
            if (other.nearest.value > v) {
                other.nearest = {v, 0.0, j, i};
                other.nearestSlot = i;
            }
        }
    }

    Nearest sentinel = SentinelNearest;
    for (int s = 1; s <= n - 1; ++s) {
        const int b = n - s + 1;
        int p = 0;
        for (int j = 1; j < b; ++j)
            if (policy.greater(slots[at(p)].nearest, slots[at(j)].nearest)) p = j;
        int r = slots[at(p)].nearestSlot;
        double height;
        if (r == NoSlot) {
            // No cluster has a neighbour below the sentinel: join the first two.
            r = p == 0 ? 1 : 0;
            const int first = slots[at(p)].cluster;
            const int second = slots[at(r)].cluster;
            height = policy.exactLinkage(square[at(first) * width + at(second)], first, second);
        } else {
            policy.makeExact(slots[at(p)].nearest);
            height = slots[at(p)].nearest.value;
        }
        tree.setHeight(height, s - 1);
        tree.mergePairs[at(s - 1)] = {slots[at(p)].code, slots[at(r)].code};

        const int keep = std::min(p, r);
        const int gone = std::max(p, r);
        const int kept = slots[at(keep)].cluster;
        const int joined = slots[at(gone)].cluster;
        policy.join(kept, joined);
        slots[at(keep)].code = s;
        slots.erase(slots.begin() + gone);
        const int active = b - 1;

        double* keptRow = square + at(kept) * width;
        const double* joinedRow = square + at(joined) * width;
        slots[at(keep)].nearest = SentinelNearest;
        slots[at(keep)].nearestSlot = NoSlot;
        for (int k = 0; k < active; ++k) {
            if (k == keep) continue;
            Slot& slot = slots[at(k)];
            if (slot.nearestSlot > gone)
                --slot.nearestSlot;
            else if (slot.nearestSlot == gone)
                slot.nearestSlot = keep;
            const int c = slot.cluster;
            const double linkage = policy.combine(keptRow[c], joinedRow[c]);
            keptRow[c] = linkage;
            square[at(c) * width + at(kept)] = linkage;
            Nearest distance = policy.estimate(linkage, c, kept);
            Slot& keepSlot = slots[at(keep)];
            if (policy.greater(keepSlot.nearest, distance)) {
                keepSlot.nearest = distance;
                keepSlot.nearestSlot = k;
            }
            if (slot.nearestSlot == keep) {
                if (policy.greater(sentinel, distance)) {
                    slot.nearest = distance;
                    if (!Policy::rescanCanImprove) continue;
                } else {
                    slot.nearest = SentinelNearest;
                    slot.nearestSlot = NoSlot;
                }
                const double* row = square + at(c) * width;
                for (int l = 0; l < active; ++l) {
                    if (l == k || l == keep) continue;
                    const int other = slots[at(l)].cluster;
                    Nearest candidate = policy.estimate(row[other], c, other);
                    if (Policy::surelyNotBelow(slot.nearest, candidate)) continue;
                    if (policy.greater(slot.nearest, candidate)) {
                        slot.nearest = candidate;
                        slot.nearestSlot = l;
                    }
                }
            } else if (policy.greater(slot.nearest, distance)) {
                slot.nearest = distance;
                slot.nearestSlot = keep;
            }
        }
    }
}

}  // namespace

std::optional<Linkage> linkageFromKeyword(std::string_view keyword) {
    if (keyword == "average") return Linkage::Average;
    if (keyword == "compact") return Linkage::Compact;
    if (keyword == "connected") return Linkage::Connected;
    return std::nullopt;
}

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                    ClusteringWorkspace& workspace) {
    const int n = distances.objectCount;
    if (tree.objectCount != n || tree.stepCount() != std::max(n - 1, 0)) tree = MergeTree(n);
    if (n < 2) return;
    switch (linkage) {
    case Linkage::Average: clusterWith<AveragePolicy>(tree, distances, workspace); break;
    case Linkage::Compact: clusterWith<ExactPolicy<CompactLinkage>>(tree, distances, workspace); break;
    case Linkage::Connected: clusterWith<ExactPolicy<ConnectedLinkage>>(tree, distances, workspace); break;
    }
}

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage) {
    ClusteringWorkspace workspace;
    clusterObjects(tree, distances, linkage, workspace);
}
