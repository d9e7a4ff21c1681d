// Sums of distances computed again from the rows: see distance_rows.h.
//
// The inner rows are packed column by column (padded with zeros to whole
// groups of lanes), so that one column's values of consecutive inner rows
// lie side by side. A few outer rows at a time then run against the packed
// block with the triangle's own term operations, a pair per lane, their
// running sums in registers over all columns; each outer row's distances
// are finished as the triangle's (the lower row's root first) and added to
// the sum one at a time, in order.

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
// [c * stride + k], then the inner rows' roots, then OuterRows rows of
// distances.
struct Packed {
    const double* values;
    const double* roots;
    double* distances;
    std::size_t stride;
};

constexpr int OuterRows = 4;

Packed packInner(const DistanceRows& rows, const std::vector<int>& inner, std::vector<double>& scratch) {
    const int q = rows.columnCount;
    const std::size_t count = inner.size();
    const std::size_t stride = (count + GroupLength - 1) / GroupLength * GroupLength;
    scratch.resize(at(q) * stride + stride + at(OuterRows) * stride);
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

// The column sums of the outer rows xs[0 .. Rows) with every packed inner
// row (the padding too) into packed.distances, row r at [r * stride].
template <class Term, int Width, int Rows>
[[gnu::always_inline]] inline void columnSums(const Packed& packed, int q, const double* const* xs) {
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
        }
        for (int r = 0; r < Rows; ++r)
            std::memcpy(packed.distances + at(r) * packed.stride + k, sums[r], sizeof sums[r]);
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

template <class Term, int Width, Finish finish>
[[gnu::always_inline]] inline double sumWith(const DistanceRows& rows, const std::vector<int>& outer,
                                             const std::vector<int>& inner, std::vector<double>& scratch) {
    const Packed packed = packInner(rows, inner, scratch);
    const int q = rows.columnCount;
    const std::size_t count = inner.size();
    double sum = 0;
    for (std::size_t start = 0; start < outer.size(); start += OuterRows) {
        const int block = static_cast<int>(std::min<std::size_t>(OuterRows, outer.size() - start));
        const double* xs[OuterRows];
        for (int r = 0; r < block; ++r) xs[r] = rows.values.data() + at(outer[start + at(r)]) * at(q);
        switch (block) {
        case 1: columnSums<Term, Width, 1>(packed, q, xs); break;
        case 2: columnSums<Term, Width, 2>(packed, q, xs); break;
        case 3: columnSums<Term, Width, 3>(packed, q, xs); break;
        default: columnSums<Term, Width, OuterRows>(packed, q, xs); break;
        }
        for (int r = 0; r < block; ++r) {
            const int a = outer[start + at(r)];
            double* out = packed.distances + at(r) * packed.stride;
            const auto below = static_cast<std::size_t>(std::lower_bound(inner.begin(), inner.end(), a) -
                                                        inner.begin());
            const double root = finish == Finish::Correlation ? rows.roots[at(a)] : 0.0;
            finishRow<finish>(out, count, below, root, packed.roots);
            for (std::size_t k = 0; k < count; ++k) sum = sum + out[k];
        }
    }
    return sum;
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
