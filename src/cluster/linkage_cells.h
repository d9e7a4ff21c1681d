#pragma once
// The linkage values of the clustering engine (clustering.cpp): one
// single-precision cell per pair of active clusters, and the rules that turn
// a cell into an estimate, compare estimates exactly and make them exact.
//
// A cell holds the linkage of two clusters rounded, or a sum rounded at
// every step; the specified double-precision value is never lost, because
// the distance triangle is kept and a value can always be recomputed from
// the clusters' member lists in the documented order. Comparisons the cells
// decide rigorously cost nothing; the others, and every recorded height,
// are made exact.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <vector>

#include "cluster/distance_triangle.h"

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "the cell arguments rely on IEEE rounding to nearest");

namespace linkage_cells {

constexpr double Sentinel = 1e100;

inline std::size_t at(int i) { return static_cast<std::size_t>(i); }

// A linkage value of the nearest-neighbour table, or an estimate of it.
struct Nearest {
    double value;
    double width;  // 0: value is exact; else an estimate (see the policy)
    int first;     // the two clusters (by lowest row) in the order the linkage
    int second;    // takes them, so that an estimate can be made exact
};

constexpr Nearest SentinelNearest{Sentinel, 0.0, -1, -1};

// The smaller of a and b, ignoring b when it is not-a-number.
inline double lower(double a, double b) { return b < a ? b : a; }
inline float lower(float a, float b) { return b < a ? b : a; }

// Member lists, sizes and merge depths of the clusters (by lowest row), and
// the sizes of the active clusters by slot.
struct ClusterRecords {
    std::vector<std::vector<int>> members;  // ascending rows
    std::vector<int> sizes;
    std::vector<int> depths;            // 0 for one object, 1 + the deeper part's otherwise
    std::vector<double> sizeOfSlot;     // by slot, as doubles for the estimates
    std::vector<double> inverseOfSlot;  // 1 / size, rounded
    std::vector<double> depthOfSlot;

    void start(int n) {
        members.resize(at(n));
        for (int i = 0; i < n; ++i) members[at(i)].assign(1, i);
        sizes.assign(at(n), 1);
        depths.assign(at(n), 0);
        sizeOfSlot.assign(at(n), 1.0);
        inverseOfSlot.assign(at(n), 1.0);
        depthOfSlot.assign(at(n), 0.0);
    }

    void join(int keepSlot, int keep, int gone) {
        std::vector<int>& kept = members[at(keep)];
        std::vector<int>& joined = members[at(gone)];
        std::vector<int> merged;
        merged.reserve(kept.size() + joined.size());
        std::merge(kept.begin(), kept.end(), joined.begin(), joined.end(), std::back_inserter(merged));
        kept.swap(merged);
        joined.clear();
        const int size = sizes[at(keep)] += sizes[at(gone)];
        const int depth = depths[at(keep)] = 1 + std::max(depths[at(keep)], depths[at(gone)]);
        sizeOfSlot[at(keepSlot)] = size;
        inverseOfSlot[at(keepSlot)] = 1.0 / size;
        depthOfSlot[at(keepSlot)] = depth;
    }

    void removeSlot(int slot) {
        sizeOfSlot.erase(sizeOfSlot.begin() + slot);
        inverseOfSlot.erase(inverseOfSlot.begin() + slot);
        depthOfSlot.erase(depthOfSlot.begin() + slot);
    }
};

// "compact": the running maximum from -1e100 over the pairs that are not
// not-a-number; not-a-number when every pair is.
struct CompactRule {
    // A join can move a cluster's linkage to the joined cluster above its
    // former nearest distance, so the rescan is needed.
    static constexpr bool rescanCanImprove = true;
    static constexpr double start = -Sentinel;
    static double single(double d) { return std::isnan(d) ? d : (-Sentinel < d ? d : -Sentinel); }
    static bool replaces(double running, double v) { return running < v; }
    static float combine(float x, float y) {
        if (std::isnan(x)) return y;
        if (std::isnan(y)) return x;
        return x < y ? y : x;
    }
};

// "connected": the running minimum from 1e100.
struct ConnectedRule {
    // The table is exact: a cluster's nearest distance is the smallest of its
    // linkages. When its nearest neighbour X is joined with Y, its linkage
    // to X+Y is the smaller of those to X and Y, so it equals the former
    // nearest distance and no other linkage is strictly smaller: the rescan
    // cannot change the entry, and is skipped.
    static constexpr bool rescanCanImprove = false;
    static constexpr double start = Sentinel;
    static double single(double d) { return std::isnan(d) ? d : (Sentinel > d ? d : Sentinel); }
    static bool replaces(double running, double v) { return running > v; }
    static float combine(float x, float y) {
        if (std::isnan(x)) return y;
        if (std::isnan(y)) return x;
        return x > y ? y : x;
    }
};

// "compact" and "connected". The linkage is the maximum (minimum) of the
// start value and the pairs that are not not-a-number, whatever their
// order: the linkage of A+B and C is the larger (smaller) of those of A and
// C and of B and C. Rounding to single precision is monotone, so the cell
// combined from rounded cells is the rounded linkage, fl(x); a not-a-number
// cell stands for "all pairs not-a-number", an exact not-a-number linkage.
//
// Comparisons go by keys: the key of an estimate is its cell, that of an
// exact value v is fl(v). Since x < y implies fl(x) <= fl(y), different keys
// decide every comparison; only equal keys need the exact values. An
// estimate's width is 1 (a flag, not a distance). When every distance is a
// single-precision number, every cell is the exact linkage.
template <class Rule>
class OrderedCells {
public:
    static constexpr bool rescanCanImprove = Rule::rescanCanImprove;

    OrderedCells(const DistanceTriangle& distances, ClusterRecords& records, std::size_t& exactCount)
        : distances_(distances), records_(records), exactCount_(exactCount) {}

    static float initialCell(double d) { return static_cast<float>(Rule::single(d)); }
    static float combine(float x, float y) { return Rule::combine(x, y); }

    void start(int n) {
        records_.start(n);
        // Cells are exact when every distance is a single-precision number
        // that is not clamped (beyond 1e100) and not a negative zero (whose
        // sign would depend on the order of the pairs).
        cellsExact_ = true;
        negativeZero_ = false;
        for (const double d : distances_.entries) {
            negativeZero_ |= d == 0 && std::signbit(d);
            cellsExact_ &= std::isnan(d) || (static_cast<float>(d) == d && std::fabs(d) < Sentinel);
        }
        cellsExact_ &= !negativeZero_;
    }

    Nearest estimate(float cell, int, int, int first, int second) const {
        return {cell, cellsExact_ ? 0.0 : 1.0, first, second};
    }

    // x > y on the exact values.
    bool greater(Nearest& x, Nearest& y) const {
        const float kx = static_cast<float>(x.value), ky = static_cast<float>(y.value);
        if (kx > ky) return true;
        if (!(kx == ky)) return false;  // smaller, or a not-a-number linkage
        if (x.width == 0 && y.width == 0) return x.value > y.value;
        // The same two clusters: the same set of pairs.
        if ((x.first == y.first && x.second == y.second) || (x.first == y.second && x.second == y.first)) return false;
        makeExact(x);
        makeExact(y);
        return x.value > y.value;
    }

    // The first slot with the smallest exact value: only slots with the
    // smallest key can hold it.
    int select(Nearest* entries, int count) const {
        float lowestKey = static_cast<float>(entries[0].value);
        for (int j = 1; j < count; ++j) lowestKey = lower(lowestKey, static_cast<float>(entries[j].value));
        int p = -1;
        for (int j = 0; j < count; ++j) {
            if (!(static_cast<float>(entries[j].value) == lowestKey)) continue;
            if (p < 0 || greater(entries[p], entries[j])) p = j;
        }
        return p < 0 ? 0 : p;
    }

    // The rescan of the cluster c in slot own over the cells of its row, by
    // slot (slots own and keep are overwritten and skipped): the first
    // strictly smaller linkage in slot order from the current entry. Only
    // cells with the smallest key, when that key is not above the entry's,
    // can hold it; a scan over all slots and one over these give the same.
    void rescan(float* cells, int count, int own, int keep, int c, const int* clusters, Nearest& entry,
                int& next) const {
        cells[own] = cells[keep] = std::numeric_limits<float>::quiet_NaN();
        float k0 = std::numeric_limits<float>::infinity(), k1 = k0, k2 = k0, k3 = k0;
        int l = 0;
        for (; l + 4 <= count; l += 4) {
            k0 = lower(k0, cells[l]);
            k1 = lower(k1, cells[l + 1]);
            k2 = lower(k2, cells[l + 2]);
            k3 = lower(k3, cells[l + 3]);
        }
        for (; l < count; ++l) k0 = lower(k0, cells[l]);
        const float lowestKey = lower(lower(k0, k1), lower(k2, k3));
        if (!(lowestKey <= static_cast<float>(entry.value))) return;
        for (l = 0; l < count; ++l) {
            if (!(cells[l] == lowestKey)) continue;
            Nearest candidate = estimate(cells[l], own, l, c, clusters[l]);
            if (greater(entry, candidate)) {
                entry = candidate;
                next = l;
            }
        }
    }

    void makeExact(Nearest& x) const {
        if (x.width == 0) return;
        x.value = exactLinkage(x.first, x.second);
        x.width = 0;
    }

    // The linkage from the member lists. The documented loop (first
    // cluster's rows outer) keeps the first of equal values; equal values
    // differ only as +0 and -0, so without negative zeros any order gives
    // the same double, and the pairs are read row by row of the triangle
    // (ascending addresses) instead of across its rows.
    double exactLinkage(int first, int second) const {
        ++exactCount_;
        const std::vector<int>& outer = records_.members[at(first)];
        const std::vector<int>& inner = records_.members[at(second)];
        const double* d = distances_.entries.data();
        const int n = distances_.objectCount;
        bool anyNumber = false;
        double running = Rule::start;
        auto take = [&](double v) {
            anyNumber |= !std::isnan(v);
            if (Rule::replaces(running, v)) running = v;
        };
        if (negativeZero_) {
            for (int a : outer) {
                const double* row = d + pairIndex(n, a, a + 1) - at(a + 1);
                for (int b : inner) take(a < b ? row[b] : d[pairIndex(n, b, a)]);
            }
        } else {
            for (const auto* lists : {&outer, &inner}) {
                const std::vector<int>& rows = *lists;
                const std::vector<int>& columns = lists == &outer ? inner : outer;
                for (int a : rows) {
                    const double* row = d + pairIndex(n, a, a + 1) - at(a + 1);
                    for (auto b = std::upper_bound(columns.begin(), columns.end(), a); b != columns.end(); ++b) take(row[*b]);
                }
            }
        }
        return anyNumber ? running : std::numeric_limits<double>::quiet_NaN();
    }

    void join(int keepSlot, int keep, int gone) { records_.join(keepSlot, keep, gone); }
    void removeSlot(int slot) { records_.removeSlot(slot); }

private:
    const DistanceTriangle& distances_;
    ClusterRecords& records_;
    std::size_t& exactCount_;
    bool cellsExact_ = false;
    bool negativeZero_ = true;
};

}  // namespace linkage_cells
