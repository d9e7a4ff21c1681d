// Agglomerative clustering with a nearest-neighbour table: see clustering.h.
//
// The table, its scan orders, its strict comparisons and its rescan rule are
// kept exactly; only the way linkage values are obtained differs from
// recomputing them from member lists. Every cluster is identified by its
// lowest row (stable while it lives: a join keeps the lower one), and an
// n x n square over these identities caches one value per pair of active
// clusters; a join rewrites the joined cluster's row and column in one pass
// over the active clusters.
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
// magnitudes and gamma(k) = k u / (1 - k u), u = 2^-53 (each term takes part
// in at most m-1 additions); so |S - T| <= 2 gamma(m-1) P. Rounding is
// monotone and each division or multiplication is off by at most u
// relatively, which turns that into a rigorous interval value +- width
// around the specified value (see averageWidth). A comparison whose two
// intervals do not overlap is decided by them; otherwise both values are
// made exact, in the orientation the value was specified with: by summing
// S from the member lists, or by a division of T where T is S (integer
// distances whose sums stay below 2^53, at most two terms, all terms 0).
// Every recorded height is made exact the same way; the joined pairs cost
// sum |A||B| = n(n-1)/2 reads over a whole run.
//
// Comparing intervals also lets the selection and the rescans skip most
// slots: a slot whose interval starts above the lowest upper end of all
// intervals cannot hold the smallest value, so the strict scan only visits
// the few others. Its result (the first slot with the smallest exact value,
// the current entry winning ties) is the same.

#include "cluster/clustering.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

#include "cluster/large_buffer.h"

namespace {

constexpr double Sentinel = 1e100;
constexpr int NoSlot = -1;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// A linkage value of the nearest-neighbour table, or an estimate of it.
struct Nearest {
    double value;
    double width;  // 0: value is exact; else the exact value lies within value +- width
    int first;     // the two clusters (by lowest row) in the order the linkage
    int second;    // takes them, so that an estimate can be made exact
};

constexpr Nearest SentinelNearest{Sentinel, 0.0, -1, -1};

// The smaller of a and b, ignoring b when it is not-a-number.
inline double lower(double a, double b) { return b < a ? b : a; }

// The smallest of start and the values[l] + widths[l], ignoring
// not-a-number; four running minima so that the comparisons overlap.
inline double lowestUpperEnd(double start, const double* values, const double* widths, int count) {
    double m0 = start, m1 = start, m2 = start, m3 = start;
    int l = 0;
    for (; l + 4 <= count; l += 4) {
        m0 = lower(m0, values[l] + widths[l]);
        m1 = lower(m1, values[l + 1] + widths[l + 1]);
        m2 = lower(m2, values[l + 2] + widths[l + 2]);
        m3 = lower(m3, values[l + 3] + widths[l + 3]);
    }
    for (; l < count; ++l) m0 = lower(m0, values[l] + widths[l]);
    return lower(lower(m0, m1), lower(m2, m3));
}

}  // namespace

struct ClusteringWorkspace::Buffers {
    std::vector<double> linkages;  // n x n cached values, row-major by lowest rows
    // The active clusters in slot order.
    std::vector<int> clusterOfSlot;  // lowest row: the cluster's identity while it lives
    std::vector<int> codeOfSlot;     // merge-record code: -object, or the step that formed it
    std::vector<int> nearestSlot;    // NoSlot: no neighbour below the sentinel
    std::vector<Nearest> nearest;
    std::vector<double> sizeOfSlot;     // "average" only
    std::vector<double> inverseOfSlot;  // "average" only: 1 / size, rounded
    // Estimates of one cluster's linkages during a rescan, by slot.
    std::vector<double> scanSums;
    std::vector<double> scanValues;
    std::vector<double> scanWidths;
    // By lowest row, "average" only.
    std::vector<std::vector<int>> members;  // ascending rows
    std::vector<int> sizes;
};

ClusteringWorkspace::ClusteringWorkspace() : buffers(std::make_unique<Buffers>()) {}
ClusteringWorkspace::~ClusteringWorkspace() = default;
ClusteringWorkspace::ClusteringWorkspace(ClusteringWorkspace&&) noexcept = default;
ClusteringWorkspace& ClusteringWorkspace::operator=(ClusteringWorkspace&&) noexcept = default;

namespace {

using Buffers = ClusteringWorkspace::Buffers;

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

    ExactPolicy(const DistanceTriangle&, Buffers&, std::size_t&) {}
    static double initialCell(double d) { return Rule::single(d); }
    void finishInitialisation(int) {}
    static double combine(double x, double y) { return Rule::combine(x, y); }
    // The linkage of the clusters in the given slots from their cell.
    static Nearest estimate(double cell, int, int, int first, int second) { return {cell, 0.0, first, second}; }
    static constexpr bool cellsAreValues = true;
    static void makeExact(Nearest&) {}
    static double exactLinkage(double cell, int, int) { return cell; }
    static bool greater(const Nearest& x, const Nearest& y) { return x.value > y.value; }
    // The first slot with the smallest value (the values are never
    // not-a-number): the slot a scan with strict comparisons keeps.
    static int select(const Nearest* entries, int count) {
        int p = 0;
        double best = entries[0].value;
        for (int j = 1; j < count; ++j) {
            if (best > entries[j].value) {
                best = entries[j].value;
                p = j;
            }
        }
        return p;
    }
    static void join(int, int, int) {}
    static void removeSlot(int) {}
};

// "average" with cached sums and rigorous intervals.
class AveragePolicy {
public:
    static constexpr bool rescanCanImprove = true;

    AveragePolicy(const DistanceTriangle& distances, Buffers& buffers, std::size_t& exactCount)
        : distances_(distances), buffers_(buffers), exactCount_(exactCount) {}

    static double initialCell(double d) { return 0.0 + d; }  // the specified sum of one term (never -0)

    // One pass over the distances for the properties the estimates rely on.
    void finishInitialisation(int n) {
        bool bounded = true;
        bool integers = true;
        double smallest = 0;
        double largestMagnitude = 0;
        for (const double d : distances_.entries) {
            // Not-a-number fails every comparison below and is ignored.
            const double magnitude = std::fabs(d);
            bounded &= !(magnitude >= Sentinel);
            smallest = d < smallest ? d : smallest;
            largestMagnitude = magnitude > largestMagnitude ? magnitude : largestMagnitude;
            // Below 2^52, adding and removing 2^52 rounds to an integer.
            integers &= !(magnitude < 0x1p52) | ((magnitude + 0x1p52) - 0x1p52 == magnitude);
        }
        const double largestTermCount = std::floor(n / 2.0) * std::ceil(n / 2.0);
        // Integer terms and every partial sum below 2^53 in magnitude: exact in any order.
        exactSums_ = integers && largestMagnitude * largestTermCount <= 9007199254740992.0;
        // The interval argument needs no infinities, no overflow and (m-1) u <= 2^-12;
        // otherwise every value is computed from the member lists.
        useIntervals_ = bounded && largestTermCount <= 0x1p40;
        negativeExcess_ = smallest < 0 ? -smallest : 0.0;
        auto& members = buffers_.members;
        members.resize(at(n));
        for (int i = 0; i < n; ++i) members[at(i)].assign(1, i);
        buffers_.sizes.assign(at(n), 1);
        buffers_.sizeOfSlot.assign(at(n), 1.0);
        buffers_.inverseOfSlot.assign(at(n), 1.0);
        square_ = buffers_.linkages.data();
        width_ = at(n);
        exactCount_ = 0;
    }

    static double combine(double x, double y) { return x + y; }

    // The linkage of the clusters in the given slots from their cached sum.
    Nearest estimate(double sum, int firstSlot, int secondSlot, int first, int second) const {
        if (!useIntervals_) return {exactAverage(first, second), 0.0, first, second};
        const double value = sum * buffers_.inverseOfSlot[at(firstSlot)] * buffers_.inverseOfSlot[at(secondSlot)];
        const double termCount = buffers_.sizeOfSlot[at(firstSlot)] * buffers_.sizeOfSlot[at(secondSlot)];
        return {value, averageWidth(value, termCount), first, second};
    }

    static constexpr bool cellsAreValues = false;

    // Estimates of the linkages of the cluster in slot own to the clusters
    // in slots 0 .. count-1, from their cached sums (the same arithmetic as
    // estimate, in a loop the compiler vectorises).
    void estimateRow(const double* __restrict sums, int count, int own, double* __restrict values,
                     double* __restrict widths) const {
        if (!useIntervals_) return;  // the caller never estimates rows then
        const double ownInverse = buffers_.inverseOfSlot[at(own)];
        const double ownSize = buffers_.sizeOfSlot[at(own)];
        const double* __restrict inverses = buffers_.inverseOfSlot.data();
        const double* __restrict sizes = buffers_.sizeOfSlot.data();
        for (int l = 0; l < count; ++l) {
            const double value = sums[l] * ownInverse * inverses[l];
            values[l] = value;
            widths[l] = averageWidth(value, ownSize * sizes[l]);
        }
    }

    bool estimatesRows() const { return useIntervals_; }

    // Replaces an estimate by the specified value.
    void makeExact(Nearest& x) const {
        if (x.width == 0) return;
        const double sum = square_[at(x.first) * width_ + at(x.second)];
        const double a = buffers_.sizes[at(x.first)];
        const double b = buffers_.sizes[at(x.second)];
        if (exactSums_ || a * b <= 2) {
            // Integer sums are exact in any order; up to two terms every order
            // adds the same numbers in one addition.
            x.value = sum / a / b;
        } else if (sum == 0 && negativeExcess_ == 0) {
            x.value = 0.0;  // every term is 0
        } else {
            x.value = exactAverage(x.first, x.second);
        }
        x.width = 0;
    }

    double exactLinkage(double, int first, int second) const {
        Nearest x{std::numeric_limits<double>::quiet_NaN(), 1.0, first, second};
        if (useIntervals_) {
            makeExact(x);
            return x.value;
        }
        return exactAverage(first, second);
    }

    // x > y on the exact values.
    bool greater(Nearest& x, Nearest& y) const {
        // A not-a-number estimate is exact: some term is (there are no
        // infinities), so the specified sum is too. It compares false.
        if (!(x.value - x.width > y.value + y.width)) {
            if (!(x.value + x.width > y.value - y.width) || std::isnan(x.value) || std::isnan(y.value)) return false;
        } else {
            return true;
        }
        if (x.width == 0 && y.width == 0) return x.value > y.value;
        if (sameValue(x, y)) return false;
        makeExact(x);
        makeExact(y);
        return x.value > y.value;
    }

    // The first slot with the smallest exact value. Every exact value lies
    // within its interval, so a slot whose interval starts above the lowest
    // upper end cannot have the smallest value; the strict scan runs over
    // the others only, usually one or two.
    int select(Nearest* entries, int count) const {
        double m0 = entries[0].value + entries[0].width, m1 = m0;
        int j = 1;
        for (; j + 2 <= count; j += 2) {
            m0 = lower(m0, entries[j].value + entries[j].width);
            m1 = lower(m1, entries[j + 1].value + entries[j + 1].width);
        }
        if (j < count) m0 = lower(m0, entries[j].value + entries[j].width);
        const double lowestUpper = lower(m0, m1);
        int p = -1;
        for (int j = 0; j < count; ++j) {
            if (entries[j].value - entries[j].width > lowestUpper) continue;
            if (p < 0 || greater(entries[p], entries[j])) p = j;
        }
        return p;
    }

    void join(int keepSlot, int keep, int gone) {
        auto& members = buffers_.members;
        std::vector<int>& kept = members[at(keep)];
        std::vector<int>& joined = members[at(gone)];
        std::vector<int> merged;
        merged.reserve(kept.size() + joined.size());
        std::merge(kept.begin(), kept.end(), joined.begin(), joined.end(), std::back_inserter(merged));
        kept.swap(merged);
        joined.clear();
        const int size = buffers_.sizes[at(keep)] += buffers_.sizes[at(gone)];
        buffers_.sizeOfSlot[at(keepSlot)] = size;
        buffers_.inverseOfSlot[at(keepSlot)] = 1.0 / size;
    }

    void removeSlot(int slot) {
        buffers_.sizeOfSlot.erase(buffers_.sizeOfSlot.begin() + slot);
        buffers_.inverseOfSlot.erase(buffers_.inverseOfSlot.begin() + slot);
    }

private:
    // Whether two entries stand for the same linkage value without summing:
    // the same two clusters in the same order, or in either order when one
    // of them is a single object (both orders then add the same distances
    // in the same sequence, and the divisions are by 1 and the other size).
    // Reciprocal nearest neighbours meet like this at nearly every selection.
    bool sameValue(const Nearest& x, const Nearest& y) const {
        if (x.first == y.first && x.second == y.second) return true;
        return x.first == y.second && x.second == y.first &&
               (buffers_.sizes[at(x.first)] == 1 || buffers_.sizes[at(x.second)] == 1);
    }

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
    // an absolute 2^-1000 that covers results in the subnormal range. A
    // not-a-number value gives a not-a-number width.
    double averageWidth(double value, double termCount) const {
        constexpr double u = 0x1p-53;
        const double magnitude = std::fabs(value);
        return ((termCount - 1) * (2 * u) * (magnitude + 2 * negativeExcess_) + 8 * u * magnitude) *
                   (1 + 0x1p-10) +
               0x1p-1000;
    }

    // The specified sum from the member lists, first cluster's rows outer.
    double exactAverage(int first, int second) const {
        ++exactCount_;
        const std::vector<int>& outer = buffers_.members[at(first)];
        const std::vector<int>& inner = buffers_.members[at(second)];
        const double* d = distances_.entries.data();
        const int n = distances_.objectCount;
        double sum = 0;
        for (int a : outer) {
            // Row a of the triangle holds the pairs (a, b > a); the pairs
            // (b < a, a) lie in the rows of the smaller members.
            const double* row = d + pairIndex(n, a, a + 1) - at(a + 1);
            for (int b : inner) sum = sum + (a < b ? row[b] : d[pairIndex(n, b, a)]);
        }
        return sum / static_cast<double>(outer.size()) / static_cast<double>(inner.size());
    }

    const DistanceTriangle& distances_;
    Buffers& buffers_;
    std::size_t& exactCount_;
    const double* square_ = nullptr;
    std::size_t width_ = 0;
    bool exactSums_ = false;
    bool useIntervals_ = false;
    double negativeExcess_ = 0;
};

// Tiles of the square cache filled together, so that writing both halves
// of the symmetric square stays within the caches.
constexpr int TileLength = 64;

// How many slots ahead the scattered writes into the cache are prefetched.
constexpr int PrefetchDistance = 8;

template <class Policy>
void clusterWith(MergeTree& tree, const DistanceTriangle& distances, ClusteringWorkspace& workspace) {
    const int n = distances.objectCount;
    const std::size_t width = at(n);
    Buffers& buffers = *workspace.buffers;
    Policy policy(distances, buffers, workspace.exactAverages);

    // The cache is a full square (row-major by cluster identity), so that
    // every pass over one cluster's linkages reads one contiguous row.
    resizeLargeBuffer(buffers.linkages, width * width);
    double* square = buffers.linkages.data();
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

    auto& clusterOfSlot = buffers.clusterOfSlot;
    auto& codeOfSlot = buffers.codeOfSlot;
    auto& nearestSlot = buffers.nearestSlot;
    auto& nearest = buffers.nearest;
    clusterOfSlot.resize(width);
    codeOfSlot.resize(width);
    nearestSlot.assign(width, NoSlot);
    nearest.assign(width, SentinelNearest);
    buffers.scanValues.resize(width);
    buffers.scanWidths.resize(width);
    buffers.scanSums.resize(width);
    double* scanSums = buffers.scanSums.data();
    double* scanValues = buffers.scanValues.data();
    double* scanWidths = buffers.scanWidths.data();
    for (int i = 0; i < n; ++i) {
        clusterOfSlot[at(i)] = i;
        codeOfSlot[at(i)] = -(i + 1);
    }

    // The initial table straight from the distances. Visiting the pairs row
    // by row offers every slot its candidates in ascending slot order (first
    // the rows above it, then its own row), the order of a scan per slot.
    for (int i = 0; i + 1 < n; ++i) {
        const double* row = d + pairIndex(n, i, i + 1) - at(i + 1);
        Nearest& own = nearest[at(i)];
        for (int j = i + 1; j < n; ++j) {
            const double v = row[j];
            if (own.value > v) {
                own = {v, 0.0, i, j};
                nearestSlot[at(i)] = j;
            }
            if (nearest[at(j)].value > v) {
                nearest[at(j)] = {v, 0.0, j, i};
                nearestSlot[at(j)] = i;
            }
        }
    }

    Nearest sentinel = SentinelNearest;
    for (int s = 1; s <= n - 1; ++s) {
        const int b = n - s + 1;
        const int p = policy.select(nearest.data(), b);
        int r = nearestSlot[at(p)];
        double height;
        if (r == NoSlot) {
            // No cluster has a neighbour below the sentinel: join the first two.
            r = p == 0 ? 1 : 0;
            const int first = clusterOfSlot[at(p)];
            const int second = clusterOfSlot[at(r)];
            height = policy.exactLinkage(square[at(first) * width + at(second)], first, second);
        } else {
            policy.makeExact(nearest[at(p)]);
            height = nearest[at(p)].value;
        }
        tree.setHeight(height, s - 1);
        tree.mergePairs[at(s - 1)] = {codeOfSlot[at(p)], codeOfSlot[at(r)]};

        const int keep = std::min(p, r);
        const int gone = std::max(p, r);
        const int kept = clusterOfSlot[at(keep)];
        const int joined = clusterOfSlot[at(gone)];
        policy.join(keep, kept, joined);
        codeOfSlot[at(keep)] = s;
        clusterOfSlot.erase(clusterOfSlot.begin() + gone);
        codeOfSlot.erase(codeOfSlot.begin() + gone);
        nearestSlot.erase(nearestSlot.begin() + gone);
        nearest.erase(nearest.begin() + gone);
        policy.removeSlot(gone);
        const int active = b - 1;
        const int* clusters = clusterOfSlot.data();

        // The joined cluster's linkages, into its row and its column. The
        // column writes land in a different row each, so they are prefetched.
        double* keptRow = square + at(kept) * width;
        const double* joinedRow = square + at(joined) * width;
        for (int k = 0; k < active; ++k) {
            if (k + PrefetchDistance < active)
                __builtin_prefetch(square + at(clusters[k + PrefetchDistance]) * width + at(kept), 1);
            if (k == keep) continue;
            const int c = clusters[k];
            const double linkage = policy.combine(keptRow[c], joinedRow[c]);
            keptRow[c] = linkage;
            square[at(c) * width + at(kept)] = linkage;
        }

        // The table, slot by slot in ascending order.
        nearest[at(keep)] = SentinelNearest;
        nearestSlot[at(keep)] = NoSlot;
        for (int k = 0; k < active; ++k) {
            if (k == keep) continue;
            int& next = nearestSlot[at(k)];
            if (next > gone)
                --next;
            else if (next == gone)
                next = keep;
            const int c = clusters[k];
            Nearest distance = policy.estimate(keptRow[c], k, keep, c, kept);
            if (policy.greater(nearest[at(keep)], distance)) {
                nearest[at(keep)] = distance;
                nearestSlot[at(keep)] = k;
            }
            Nearest& own = nearest[at(k)];
            if (next != keep) {
                if (policy.greater(own, distance)) {
                    own = distance;
                    next = keep;
                }
                continue;
            }
            if (policy.greater(sentinel, distance)) {
                own = distance;
                if (!Policy::rescanCanImprove) continue;
            } else {
                own = SentinelNearest;
                next = NoSlot;
            }

            // The rescan keeps the first strictly smaller linkage in slot
            // order, starting from the current entry. Only slots whose
            // interval starts at or below the lowest upper end (the entry's
            // included) can hold the smallest value, so the others are
            // skipped after one pass of estimates.
            const double* row = square + at(c) * width;
            const double* values = scanValues;
            const double* widths = scanWidths;
            if constexpr (Policy::cellsAreValues) {
                for (int l = 0; l < active; ++l) scanValues[l] = row[clusters[l]];
                scanValues[k] = scanValues[keep] = std::numeric_limits<double>::infinity();
                // The first slot with the smallest value (never not-a-number),
                // unless the entry is not above it.
                int lowestSlot = NoSlot;
                double lowest = own.value;
                for (int l = 0; l < active; ++l) {
                    if (values[l] < lowest) {
                        lowest = values[l];
                        lowestSlot = l;
                    }
                }
                if (lowestSlot != NoSlot) {
                    own = policy.estimate(lowest, k, lowestSlot, c, clusters[lowestSlot]);
                    next = lowestSlot;
                }
            } else if (policy.estimatesRows()) {
                for (int l = 0; l < active; ++l) scanSums[l] = row[clusters[l]];
                policy.estimateRow(scanSums, active, k, scanValues, scanWidths);
                scanValues[k] = scanValues[keep] = std::numeric_limits<double>::infinity();
                scanWidths[k] = scanWidths[keep] = 0;
                const double lowestUpper = lowestUpperEnd(own.value + own.width, values, widths, active);
                for (int l = 0; l < active; ++l) {
                    if (values[l] - widths[l] > lowestUpper) continue;
                    Nearest candidate{values[l], widths[l], c, clusters[l]};
                    if (policy.greater(own, candidate)) {
                        own = candidate;
                        next = l;
                    }
                }
            } else {
                for (int l = 0; l < active; ++l) {
                    if (l == k || l == keep) continue;
                    Nearest candidate = policy.estimate(row[clusters[l]], k, l, c, clusters[l]);
                    if (policy.greater(own, candidate)) {
                        own = candidate;
                        next = l;
                    }
                }
            }
        }
    }
}

}  // namespace

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                    ClusteringWorkspace& workspace) {
    const int n = distances.objectCount;
    if (tree.objectCount != n || tree.stepCount() != std::max(n - 1, 0)) tree = MergeTree(n);
    workspace.exactAverages = 0;
    if (n < 2) return;
    if (!workspace.buffers) workspace.buffers = std::make_unique<ClusteringWorkspace::Buffers>();
    switch (linkage) {
    case Linkage::Average: clusterWith<AveragePolicy>(tree, distances, workspace); break;
    case Linkage::Compact: clusterWith<ExactPolicy<CompactLinkage>>(tree, distances, workspace); break;
    case Linkage::Connected: clusterWith<ExactPolicy<ConnectedLinkage>>(tree, distances, workspace); break;
    }
}

double clusteringWorkspaceBytes(int n) {
    const double objects = n;
    // The square, and per object: the slot arrays (identity, code, neighbour,
    // an entry of 24 bytes, two "average" factors, three scan rows) and a
    // member list with its size.
    return objects * objects * sizeof(double) + objects * (3 * 4 + 24 + 2 * 8 + 3 * 8 + 32 + 4);
}

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage) {
    ClusteringWorkspace workspace;
    clusterObjects(tree, distances, linkage, workspace);
}
