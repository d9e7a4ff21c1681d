// Sums of distances computed again from the rows: see distance_rows.h.
//
// The inner rows are packed column by column (padded with zeros to whole
// groups of lanes), so that one column's values of consecutive inner rows
// lie side by side. A few outer rows at a time then run against the packed
// block with the triangle's own term operations, a pair per lane, their
// running sums in registers over all columns; each outer row's distances
// are finished as the triangle's (the lower row's root first) and added to
// the sum one at a time, in order. With many inner rows those additions, a
// chain each waiting for the one before, go among the next block's
// arithmetic (PendingTerms).

#include "cluster/distance_rows.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "cluster/distance_terms.h"

namespace {

using namespace distance_terms;  // the terms every distance is made of

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The inner rows are padded to a whole number of groups of four vectors of
// running sums, for every width of lanes.
constexpr int GroupLength = 32;
constexpr int GroupVectors = 4;

// The packed inner rows in scratch: column c of inner row k at
// [c * stride + k], then the inner rows' roots, then two blocks of
// OuterRows rows of distances (one being added while the next is computed).
struct Packed {
    const double* values;
    const double* roots;
    double* distances;
    std::size_t stride;
};

constexpr int OuterRows = 4;

// The fewest inner rows for which a block's additions go among the next
// block's arithmetic: below, the bookkeeping costs more than the waiting
// it hides. Measured on 38 columns: 0.85 of the time for 1,000 x 1,000 and
// 2,000 x 2,000 rows, about even for 30 x 300.
constexpr std::size_t OverlapFrom = 128;

Packed packInner(const DistanceRows& rows, const std::vector<int>& inner, std::vector<double>& scratch) {
    const int q = rows.columnCount;
    const std::size_t count = inner.size();
    const std::size_t stride = (count + GroupLength - 1) / GroupLength * GroupLength;
    scratch.resize(at(q) * stride + stride + 2 * at(OuterRows) * stride);
    double* values = scratch.data();
    for (std::size_t k = 0; k < count; ++k) {
        const double* row = rows.values.data() + at(inner[k]) * at(q);
        for (int c = 0; c < q; ++c) values[at(c) * stride + k] = row[c];
    }
    for (int c = 0; c < q; ++c) std::fill(values + at(c) * stride + count, values + at(c) * stride + stride, 0.0);
    double* roots = values + at(q) * stride;
    if (rows.metric == DistanceMetric::Correlation)
        for (std::size_t k = 0; k < count; ++k) roots[k] = rows.roots[at(inner[k])];
    return {values, roots, roots + stride, stride};
}

// The finished distances of the block of outer rows before, added to the
// running sum in order, a few at a time among the next block's arithmetic:
// the chain of additions then waits beside that arithmetic instead of
// after it. Row r of the block at [r * stride], count terms each.
struct PendingTerms {
    const double* rows = nullptr;  // row r at [r * stride]
    std::size_t stride = 0;
    std::size_t count = 0;
    int rowCount = 0;
    int row = 0;
    std::size_t next = 0;
    double sum = 0;

    [[gnu::always_inline]] void add(int terms) {
        for (int m = 0; m < terms && row < rowCount; ++m) {
            sum = sum + rows[at(row) * stride + next];
            if (++next == count) {
                next = 0;
                ++row;
            }
        }
    }
    void addAll() {
        for (; row < rowCount; ++row, next = 0)
            for (; next < count; ++next) sum = sum + rows[at(row) * stride + next];
    }
};

// The column sums of the outer rows xs[0 .. Rows) with every packed inner
// row (the padding too) into out, row r at [r * stride]; with overlap,
// pending adds perColumn of its terms after each column.
template <class Term, int Width, int Rows, bool overlap>
[[gnu::always_inline]] inline void columnSums(const Packed& packed, int q, const double* const* xs, double* out,
                                              PendingTerms& pending, int perColumn) {
    using Lanes = typename VectorOf<Width>::Lanes;
    constexpr int Vectors = GroupVectors;
    for (std::size_t k = 0; k < packed.stride; k += Vectors * Width) {
        Lanes sums[Rows][Vectors] = {};
        const double* y = packed.values + k;
        for (int c = 0; c < q; ++c, y += packed.stride) {
            for (int t = 0; t < Vectors; ++t) {
                Lanes yy;
                std::memcpy(&yy, y + Width * t, sizeof yy);
                // A scalar operand takes every lane.
                for (int r = 0; r < Rows; ++r) Term::add(sums[r][t], xs[r][c], yy);
            }
            if constexpr (overlap) pending.add(perColumn);
        }
        for (int r = 0; r < Rows; ++r) std::memcpy(out + at(r) * packed.stride + k, sums[r], sizeof sums[r]);
    }
}

// Finishes one outer row's distances: the first below inner rows lie below
// the outer row, whose root then comes second.
template <Finish finish>
[[gnu::always_inline]] inline void finishRow(double* out, std::size_t count, std::size_t below, double root,
                                             const double* innerRoots) {
    if constexpr (finish == Finish::Correlation) {
        for (std::size_t k = 0; k < below; ++k) finishCorrelation(out[k], innerRoots[k], root);
        for (std::size_t k = below; k < count; ++k) finishCorrelation(out[k], root, innerRoots[k]);
    } else if constexpr (finish == Finish::Root) {
        for (std::size_t k = 0; k < count; ++k) out[k] = std::sqrt(out[k]);
    }
}

// The sum, a block of outer rows at a time. With overlap, each block's
// terms are added during the next block's column sums, perColumn after
// each column, enough to add them all by its end; what is left, and the
// last block's, after. Without, each row's right after its finishing.
template <class Term, int Width, Finish finish, bool overlap>
[[gnu::always_inline]] inline double sumBlocks(const DistanceRows& rows, const std::vector<int>& outer,
                                               const std::vector<int>& inner, const Packed& packed) {
    const int q = rows.columnCount;
    const std::size_t count = inner.size();
    const std::size_t groups = packed.stride / (GroupVectors * Width);
    const int perColumn = static_cast<int>((OuterRows * count + groups * at(q) - 1) / (groups * at(q)));
    PendingTerms pending;
    int buffer = 0;
    for (std::size_t start = 0; start < outer.size(); start += OuterRows) {
        const int block = static_cast<int>(std::min<std::size_t>(OuterRows, outer.size() - start));
        const double* xs[OuterRows];
        for (int r = 0; r < block; ++r) xs[r] = rows.values.data() + at(outer[start + at(r)]) * at(q);
        double* out = packed.distances + at(buffer) * OuterRows * packed.stride;
        switch (block) {
        case 1: columnSums<Term, Width, 1, overlap>(packed, q, xs, out, pending, perColumn); break;
        case 2: columnSums<Term, Width, 2, overlap>(packed, q, xs, out, pending, perColumn); break;
        case 3: columnSums<Term, Width, 3, overlap>(packed, q, xs, out, pending, perColumn); break;
        default: columnSums<Term, Width, OuterRows, overlap>(packed, q, xs, out, pending, perColumn); break;
        }
        pending.addAll();
        for (int r = 0; r < block; ++r) {
            const int a = outer[start + at(r)];
            const auto below = static_cast<std::size_t>(std::lower_bound(inner.begin(), inner.end(), a) -
                                                        inner.begin());
            const double root = finish == Finish::Correlation ? rows.roots[at(a)] : 0.0;
            finishRow<finish>(out + at(r) * packed.stride, count, below, root, packed.roots);
            if constexpr (!overlap) {
                const double* terms = out + at(r) * packed.stride;
                double sum = pending.sum;
                for (std::size_t k = 0; k < count; ++k) sum = sum + terms[k];
                pending.sum = sum;
            }
        }
        if constexpr (overlap) {
            pending = {out, packed.stride, count, block, 0, 0, pending.sum};
            buffer ^= 1;
        }
    }
    pending.addAll();
    return pending.sum;
}

template <class Term, int Width, Finish finish>
[[gnu::always_inline]] inline double sumWith(const DistanceRows& rows, const std::vector<int>& outer,
                                             const std::vector<int>& inner, std::vector<double>& scratch) {
    const Packed packed = packInner(rows, inner, scratch);
    if (outer.size() > OuterRows && inner.size() >= OverlapFrom)
        return sumBlocks<Term, Width, finish, true>(rows, outer, inner, packed);
    return sumBlocks<Term, Width, finish, false>(rows, outer, inner, packed);
}

#define NOISECLUST_SUM_FOR_EVERY_TERM(width)                                                          \
    switch (rows.metric) {                                                                              \
    case DistanceMetric::Correlation:                                                                   \
        return sumWith<ProductTerm, width, Finish::Correlation>(rows, outer, inner, scratch);          \
    case DistanceMetric::Euclidean:                                                                     \
        return sumWith<SquaredDifferenceTerm, width, Finish::Root>(rows, outer, inner, scratch);       \
    case DistanceMetric::Maximum:                                                                       \
        return sumWith<LargestDifferenceTerm, width, Finish::None>(rows, outer, inner, scratch);       \
    case DistanceMetric::Manhattan:                                                                     \
        return sumWith<AbsoluteDifferenceTerm, width, Finish::None>(rows, outer, inner, scratch);      \
    case DistanceMetric::Binary:                                                                        \
        return sumWith<SquaredDifferenceTerm, width, Finish::None>(rows, outer, inner, scratch);       \
    }                                                                                                   \
    return 0.0;

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx512f")]] double sumWide(const DistanceRows& rows, const std::vector<int>& outer,
                                          const std::vector<int>& inner, std::vector<double>& scratch) {
    NOISECLUST_SUM_FOR_EVERY_TERM(8)
}
[[gnu::target("avx2")]] double sumMedium(const DistanceRows& rows, const std::vector<int>& outer,
                                         const std::vector<int>& inner, std::vector<double>& scratch) {
    NOISECLUST_SUM_FOR_EVERY_TERM(4)
}
#endif
double sumNarrow(const DistanceRows& rows, const std::vector<int>& outer, const std::vector<int>& inner,
                 std::vector<double>& scratch) {
    NOISECLUST_SUM_FOR_EVERY_TERM(2)
}

}  // namespace

double rowDistance(const DistanceRows& rows, int a, int b) {
    const int i = std::min(a, b), j = std::max(a, b), q = rows.columnCount;
    const double* x = rows.values.data() + at(i) * at(q);
    const double* y = rows.values.data() + at(j) * at(q);
    auto sum = [&](auto term) {
        double entry = 0;
        for (int c = 0; c < q; ++c) decltype(term)::add(entry, x[c], y[c]);
        return entry;
    };
    switch (rows.metric) {
    case DistanceMetric::Correlation: {
        double entry = sum(ProductTerm{});
        finishCorrelation(entry, rows.roots[at(i)], rows.roots[at(j)]);
        return entry;
    }
    case DistanceMetric::Euclidean: return std::sqrt(sum(SquaredDifferenceTerm{}));
    case DistanceMetric::Maximum: return sum(LargestDifferenceTerm{});
    case DistanceMetric::Manhattan: return sum(AbsoluteDifferenceTerm{});
    case DistanceMetric::Binary: return sum(SquaredDifferenceTerm{});
    }
    return 0.0;
}

double sumOfDistances(const DistanceRows& rows, const std::vector<int>& outer, const std::vector<int>& inner,
                      std::vector<double>& scratch) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx512f")) return sumWide(rows, outer, inner, scratch);
    if (__builtin_cpu_supports("avx2")) return sumMedium(rows, outer, inner, scratch);
#endif
    return sumNarrow(rows, outer, inner, scratch);
}
