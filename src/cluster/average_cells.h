#pragma once
// "average" linkage cells of the clustering engine: rounded sums with a
// rigorous interval around the specified value (see linkage_cells.h).
//
// The specified value is fl(fl(S / |first|) / |second|), where S is the sum
// of the m = |first| |second| pair distances in the order "first cluster's
// rows outer, second's inner, both ascending", started at 0. The cell of
// two clusters holds T, a single-precision sum of the same terms: at the
// start each distance rounded, and on a join cell(A+B, C) = fl(cell(A, C) +
// cell(B, C)) (one double addition, then the rounding to single precision).
// A term of cell(A, C) takes part in at most D = depth(A) + depth(C) such
// joins, so T is a summation tree of height D + 1 in a precision of unit
// roundoff u' = 2^-24 + 2^-52 (both roundings) and
//   |T - X| <= gamma'(D + 1) P  (Higham, Accuracy and Stability of Numerical
//   Algorithms, 2nd ed., section 4.2: any summation tree of height h),
// X the exact sum, P the sum of the terms' magnitudes; S, a recursive
// double-precision sum, is within gamma(m - 1) P of X. Subnormal results
// add at most 2^-150 per rounding (2m roundings, m terms). The rest of the
// argument, down to the width, is at averageWidth. A comparison whose two
// intervals do not overlap is decided by them; otherwise both values are
// summed from the member lists in the specified order, as is every
// recorded height (the joined pairs cost n(n-1)/2 reads over a whole run).

#include "cluster/linkage_cells.h"

namespace linkage_cells {

// Half-width of an interval around value that holds the specified
// fl(fl(S / a) / b), given value = fl(fl(T (1/a)) (1/b)) with both
// reciprocals rounded, m = a b terms and D the depth sum:
//   |S - T| <= G P + 2m 2^-150, G = gamma'(D + 1) + gamma(m - 1)
//     <= (D + 1) 2^-22 + m 2^-52 (as (D + 1) u' <= 2^-6, (m - 1) u <= 2^-12);
//   P <= (|T| + 2 m e + 2m 2^-150) / (1 - 2^-5), e the largest negative
//     excess of a term (P = sum x + 2 sum of the negative parts);
//   specified = S / ab (1 + t1), |t1| <= gamma(2);
//   value = T / ab (1 + t2), |t2| <= gamma(4), so |T| / ab <= |value| (1 + 2^-50);
//   |specified - value| <= |S - T| / ab (1 + gamma(2)) + (gamma(2) + gamma(4)) |T| / ab
//     <= 1.04 G (|value| + 2e) + 7u |value| + 2^-145.
// The width carries the factor 1.125 instead of 1.04, 16u |value| and
// 2^-140, so that the rounded value - width and value + width still
// enclose the specified value. The bound on |S - T| holds for a recursive
// sum in either cluster's order and, without its gamma(m - 1), for the real
// sum X, so the interval also holds the value of the other orientation and
// the real mean X / ab. A not-a-number value gives a not-a-number width.
inline double averageWidth(double value, double termCount, double depth, double negativeExcess) {
    constexpr double u = 0x1p-53;
    const double magnitude = std::fabs(value);
    const double g = (depth + 1) * 0x1p-22 + termCount * 0x1p-52;
    return g * (magnitude + 2 * negativeExcess) * 1.125 + 16 * u * magnitude + 0x1p-140;
}

// Half-width of an interval around a mean cell M that holds the specified
// value, the real mean R and the value of the other orientation, for
// distances >= 0. A mean cell starts as the distance rounded to single
// precision, and a join of A and B takes, for every other C,
// M(A+B, C) = fl32(fl(wA M(A, C)) + fl(wB M(B, C))), wA = fl(|A| / |A+B|),
// wB likewise. Every term d(x, c) of R(A+B, C) passes the first rounding
// and then at most D = depth(A + B) + depth(C) joins, each of which scales
// all its contributions by at most (1 + u)^3 (1 + u') or at least the same
// with minus signs (u = 2^-53, u' = 2^-24; every quantity is >= 0, so the
// sums' roundings scale the terms alike). So |M - R| <= Theta R + eta with
// Theta = (1 + u')^(D + 1) (1 + u)^(3D) - 1 <= 1.02 (D + 1) u' (as
// (D + 1) u' <= 2^-6), and eta <= 1.01 (D + 1) 2^-149 for the subnormal
// results (2^-150 per rounding to single precision, carried through
// weights that add up to at most 1 + 3u). The specified value and the other
// orientation lie within (m + 4) u 1.01 R + 2^-1070 of R (m = |A||C| terms;
// see documentedError in average_route.h). With R <= (M + eta) / (1 -
// Theta) everything lies within ((D + 1) 1.04 u' + (m + 4) 1.02 u) M plus
// eta and a little, which averageWidth's relative part (at least 4.5 (D +
// 1) u' + 2.25 m 2^-53 + 16u) covers with room for its own rounding; the
// absolute part adds (D + 1) 2^-148.
inline double meanCellWidth(double value, double termCount, double depth) {
    return averageWidth(value, termCount, depth, 0.0) + (depth + 1) * 0x1p-148;
}

// From this many objects the triangle outgrows the caches, and a scattered
// read of an entry costs more than computing it again from the rows (the
// "average" clustering then keeps no triangle at all). A "correlation" term
// is two operations a column, the other metrics' three or more, so its sums
// pay from fewer objects. Measured (whole
// clusterings, alternated): "correlation" at 3,051 x 38 0.93 of the time,
// at 2,000 x 38 about even, at 1,000 x 38 1.26; "euclidean" at 3,051 x 38
// 1.05, and at 5,000 x 20 0.94.
inline int sumsFromRowsFrom(DistanceMetric metric) { return metric == DistanceMetric::Correlation ? 2500 : 4000; }

// The specified value of two clusters from their member lists (ascending
// rows): the sum of their pair distances, the first cluster's rows outer,
// divided by the first cluster's size, then by the second's. Row a of the
// triangle holds an outer member a's pairs (a, b > a); its pairs (b < a, a)
// lie in the rows of the smaller inner members, one cache line each. For
// eight outer members at a time these are read row by row into scratch,
// where outer members close together share lines, and then every term is
// added in the documented order. For many objects the terms are computed
// again from the rows the triangle keeps, the same bits (sumOfDistances).
inline double documentedAverage(const DistanceTriangle& distances, const std::vector<int>& outer,
                                const std::vector<int>& inner, std::vector<double>& scratch) {
    const bool fromRows = distances.entries.empty() || distances.objectCount >= sumsFromRowsFrom(distances.rows.metric);
    if (!distances.rows.empty() && fromRows)
        return sumOfDistances(distances.rows, outer, inner, scratch) / static_cast<double>(outer.size()) /
               static_cast<double>(inner.size());
    constexpr int Block = 8;
    constexpr std::ptrdiff_t Ahead = 12;  // inner rows prefetched ahead
    const double* d = distances.entries.data();
    const int n = distances.objectCount;
    auto rowOf = [d, n](int a) { return d + pairIndex(n, a, a + 1) - at(a + 1); };  // pair (a, b) at [b]
    const int* innerBegin = inner.data();
    const int* innerEnd = innerBegin + inner.size();
    double sum = 0;
    for (std::size_t start = 0; start < outer.size(); start += Block) {
        const int* block = outer.data() + start;
        const int count = static_cast<int>(std::min<std::size_t>(Block, outer.size() - start));
        std::ptrdiff_t below[Block];  // the inner members below each outer member
        for (int k = 0; k < count; ++k) below[k] = std::lower_bound(innerBegin, innerEnd, block[k]) - innerBegin;
        const std::ptrdiff_t stride = below[count - 1];
        const std::size_t needed = at(count) * static_cast<std::size_t>(stride);
        if (scratch.size() < needed) scratch.resize(needed);
        double* pairs = scratch.data();  // pair (inner[i], block[k]) at [k stride + i]
        int first = 0;                   // the first outer member above inner[i]
        for (std::ptrdiff_t i = 0; i < stride; ++i) {
            while (below[first] <= i) ++first;
            if (i + Ahead < stride) {
                const double* ahead = rowOf(innerBegin[i + Ahead]);
                for (int k = first; k < count; ++k) __builtin_prefetch(ahead + block[k], 0);
            }
            const double* row = rowOf(innerBegin[i]);
            for (int k = first; k < count; ++k) pairs[k * stride + i] = row[block[k]];
        }
        for (int k = 0; k < count; ++k) {
            const double* column = pairs + k * stride;
            for (std::ptrdiff_t i = 0; i < below[k]; ++i) sum = sum + column[i];
            const double* row = rowOf(block[k]);
            for (const int* b = innerBegin + below[k]; b != innerEnd; ++b) sum = sum + row[*b];
        }
    }
    return sum / static_cast<double>(outer.size()) / static_cast<double>(inner.size());
}

class AverageCells {
public:
    static constexpr bool rescanCanImprove = true;

    AverageCells(const DistanceTriangle& distances, ClusterRecords& records, std::size_t& exactCount)
        : distances_(distances), records_(records), exactCount_(exactCount) {}

    static float initialCell(double d) { return static_cast<float>(0.0 + d); }  // never -0
    static float combine(float x, float y) {
        return static_cast<float>(static_cast<double>(x) + static_cast<double>(y));
    }

    // One pass over the distances for the properties the estimates rely on.
    void start(int n) {
        records_.start(n);
        bool integers = true;
        double smallest = 0;
        double largestMagnitude = 0;
        bool finite = true;
        for (const double d : distances_.entries) {
            // Not-a-number fails every comparison below and is ignored.
            const double magnitude = std::fabs(d);
            finite &= !(magnitude > DBL_MAX);
            smallest = d < smallest ? d : smallest;
            largestMagnitude = magnitude > largestMagnitude ? magnitude : largestMagnitude;
            // Below 2^52, adding and removing 2^52 rounds to an integer.
            integers &= !(magnitude < 0x1p52) | ((magnitude + 0x1p52) - 0x1p52 == magnitude);
        }
        const double largestTermCount = std::floor(n / 2.0) * std::ceil(n / 2.0);
        // Integer terms and every partial sum below 2^24 in magnitude: every
        // cell is X exactly, and so is S.
        cellsExact_ = finite && integers && largestMagnitude * largestTermCount <= 0x1p24;
        // The interval argument needs no infinities, no overflow of a cell,
        // (D + 1) u' <= 2^-6 and (m - 1) u <= 2^-12; otherwise every value
        // is computed from the member lists.
        useIntervals_ = finite && largestMagnitude * largestTermCount <= 0x1p120 && n <= (1 << 16) &&
                        largestTermCount <= 0x1p40;
        negativeExcess_ = smallest < 0 ? -smallest : 0.0;
    }

    // The linkage of the clusters in the given slots from their cell.
    Nearest estimate(float cell, int firstSlot, int secondSlot, int first, int second) const {
        const double value = cell * records_.inverseOfSlot[at(firstSlot)] * records_.inverseOfSlot[at(secondSlot)];
        if (cellsExact_) return {exactValue(cell, first, second), 0.0, first, second};
        if (!useIntervals_) return {exactAverage(first, second), 0.0, first, second};
        const double termCount = records_.sizeOfSlot[at(firstSlot)] * records_.sizeOfSlot[at(secondSlot)];
        const double depth = records_.depthOfSlot[at(firstSlot)] + records_.depthOfSlot[at(secondSlot)];
        return {value, averageWidth(value, termCount, depth, negativeExcess_), first, second};
    }

    // x > y on the exact values.
    bool greater(Nearest& x, Nearest& y) const {
        // A not-a-number estimate is exact: some term is (there are no
        // infinities and no overflow), so the specified sum is too. It
        // compares false.
        if (x.value - x.width > y.value + y.width) return true;
        if (!(x.value + x.width > y.value - y.width) || std::isnan(x.value) || std::isnan(y.value)) return false;
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
        for (j = 0; j < count; ++j) {
            if (entries[j].value - entries[j].width > lowestUpper) continue;
            if (p < 0 || greater(entries[p], entries[j])) p = j;
        }
        return p;
    }

    // The rescan of the cluster c in slot own over the cells of its row, by
    // slot (slots own and keep skipped): the first strictly smaller linkage
    // in slot order from the current entry. Only slots whose interval starts
    // at or below the lowest upper end (the entry's included) can hold the
    // smallest value, so the others are skipped after one pass of estimates.
    void rescan(float* cells, int count, int own, int keep, int c, const int* clusters, Nearest& entry,
                int& next) {
        if (!useIntervals_ || cellsExact_) {
            for (int l = 0; l < count; ++l) {
                if (l == own || l == keep) continue;
                Nearest candidate = estimate(cells[l], own, l, c, clusters[l]);
                if (greater(entry, candidate)) {
                    entry = candidate;
                    next = l;
                }
            }
            return;
        }
        values_.resize(at(count));
        widths_.resize(at(count));
        double* __restrict values = values_.data();
        double* __restrict widths = widths_.data();
        const double ownInverse = records_.inverseOfSlot[at(own)];
        const double ownSize = records_.sizeOfSlot[at(own)];
        const double ownDepth = records_.depthOfSlot[at(own)];
        const double* __restrict inverses = records_.inverseOfSlot.data();
        const double* __restrict sizes = records_.sizeOfSlot.data();
        const double* __restrict depths = records_.depthOfSlot.data();
        for (int l = 0; l < count; ++l) {
            const double value = cells[l] * ownInverse * inverses[l];
            values[l] = value;
            widths[l] = averageWidth(value, ownSize * sizes[l], ownDepth + depths[l], negativeExcess_);
        }
        values[own] = values[keep] = std::numeric_limits<double>::infinity();
        widths[own] = widths[keep] = 0;
        double m0 = entry.value + entry.width, m1 = m0, m2 = m0, m3 = m0;
        int l = 0;
        for (; l + 4 <= count; l += 4) {
            m0 = lower(m0, values[l] + widths[l]);
            m1 = lower(m1, values[l + 1] + widths[l + 1]);
            m2 = lower(m2, values[l + 2] + widths[l + 2]);
            m3 = lower(m3, values[l + 3] + widths[l + 3]);
        }
        for (; l < count; ++l) m0 = lower(m0, values[l] + widths[l]);
        const double lowestUpper = lower(lower(m0, m1), lower(m2, m3));
        for (l = 0; l < count; ++l) {
            if (values[l] - widths[l] > lowestUpper || l == own || l == keep) continue;
            Nearest candidate{values[l], widths[l], c, clusters[l]};
            if (greater(entry, candidate)) {
                entry = candidate;
                next = l;
            }
        }
    }

    // Replaces an estimate by the specified value.
    void makeExact(Nearest& x) const {
        if (x.width == 0) return;
        x.value = exactAverage(x.first, x.second);
        x.width = 0;
    }

    double exactLinkage(int first, int second) const { return exactAverage(first, second); }

    void join(int keepSlot, int keep, int gone) { records_.join(keepSlot, keep, gone); }
    void removeSlot(int slot) { records_.removeSlot(slot); }

private:
    // Whether two entries stand for the same linkage value without summing:
    // the same two clusters in the same order, or in either order when one
    // of them is a single object (both orders then add the same distances
    // in the same sequence, and the divisions are by 1 and the other size).
    // Reciprocal nearest neighbours meet like this at nearly every selection.
    bool sameValue(const Nearest& x, const Nearest& y) const {
        if (x.first == y.first && x.second == y.second) return true;
        return x.first == y.second && x.second == y.first &&
               (records_.sizes[at(x.first)] == 1 || records_.sizes[at(x.second)] == 1);
    }

    // With exact cells: the specified value from the cell, which is S.
    double exactValue(float cell, int first, int second) const {
        return static_cast<double>(cell) / records_.sizes[at(first)] / records_.sizes[at(second)];
    }

    // The specified value from the member lists.
    double exactAverage(int first, int second) const {
        ++exactCount_;
        return documentedAverage(distances_, records_.members[at(first)], records_.members[at(second)], scratch_);
    }

    const DistanceTriangle& distances_;
    ClusterRecords& records_;
    std::size_t& exactCount_;
    std::vector<double> values_;
    std::vector<double> widths_;
    mutable std::vector<double> scratch_;  // of documentedAverage
    bool cellsExact_ = false;
    bool useIntervals_ = false;
    double negativeExcess_ = 0;
};

}  // namespace linkage_cells
