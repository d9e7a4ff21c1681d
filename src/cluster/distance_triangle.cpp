// Pairwise row distances: see distance_triangle.h.
//
// Every entry is a sum (or running maximum) over the columns in ascending
// order, starting from 0, so the rounding of each entry is fixed. The loops
// below keep that order per pair but run many pairs side by side: for row i
// the entries (i, i+1) ... (i, n-1) lie next to each other in the triangle,
// and a column-major copy of the matrix puts the values of rows i+1 ... n-1
// of one column next to each other too. The innermost loop then adds one
// column's term to a block of consecutive entries, which the compiler
// vectorises across pairs without reordering any single sum. Rows go
// together in bands (four where the registers hold their running sums, two
// with narrower vectors), so that each load of the lower rows' values
// serves all of them. The entries go into the triangle, or a band at a time
// into a buffer that is handed on (forEachDistanceBand).

#include "cluster/distance_triangle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "cluster/distance_terms.h"

namespace {

using namespace distance_terms;  // the terms every distance is made of

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Entries of one row of the triangle processed together: small enough for
// the block and the matching column slices to stay in the first-level cache
// (64 entries of 38 columns take 19 KB; 256 did not fit, and were measured
// 2 to 12 per cent slower).
constexpr int BlockLength = 64;

// Truncation toward zero into a 32-bit integer, saturating outside its
// range; not-a-number counts as 0. Returned as a double: every such integer
// is exact, and so is the difference of two of them.
double truncatedValue(double value) {
    if (std::isnan(value)) return 0.0;
    if (value >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<double>(static_cast<std::int32_t>(value));
}

// Pairs whose sums are kept in registers together: one column's terms for
// all of them are a few vector operations.
constexpr int PairGroup = 32;

// The entries (i, first) .. (i, first + length - 1) at out.
template <Finish finish>
[[gnu::always_inline]] inline void finishEntries(double* out, int length, const double* roots, int i, int first) {
    if constexpr (finish == Finish::Correlation) {
        const double rootI = roots[i];
        const double* rootJ = roots + first;
        for (int t = 0; t < length; ++t) finishCorrelation(out[t], rootI, rootJ[t]);
    } else if constexpr (finish == Finish::Root) {
        for (int t = 0; t < length; ++t) out[t] = std::sqrt(out[t]);
    }
}

// The last group of pairs (i + r, j + k), r < rows, k < PairGroup, whose
// sums are stored at outs[r] but not yet finished. Its divisions and roots
// go one vector at a time among the next group's columns, spread evenly,
// so that the divider and the root unit work beside the sums' arithmetic
// instead of after it (measured: correlation 10 per cent faster at 1,000
// and 3,000 rows, euclidean 8 to 20 per cent; spread rather than in the
// first columns, another 2 to 6 per cent).
struct Unfinished {
    double* outs[4] = {};
    int rows = 0;
    int i = 0;
    int j = 0;
};

template <Finish finish, int Width>
[[gnu::always_inline]] inline void finishPart(const Unfinished& group, int part, const double* roots) {
    constexpr int Vectors = PairGroup / Width;
    const int r = part / Vectors, t = part % Vectors;
    double* out = group.outs[r] + Width * t;
    if constexpr (finish == Finish::Correlation) {  // as finishEntries, a vector at a time
        using Lanes = typename VectorOf<Width>::Lanes;
        Lanes sums, rootJ;
        std::memcpy(&sums, out, sizeof sums);
        std::memcpy(&rootJ, roots + group.j + Width * t, sizeof rootJ);
        finishCorrelation(sums, roots[group.i + r], rootJ);
        std::memcpy(out, &sums, sizeof sums);
    } else if constexpr (finish == Finish::Root) {
        // Lane by lane from a vector, which the compiler takes as one
        // vector root; from memory it took one scalar root per lane (the
        // euclidean distances took 0.66 of the time at 5,000 x 20, 0.87 at
        // 1,000 and 3,000 x 38).
        using Lanes = typename VectorOf<Width>::Lanes;
        Lanes sums, rooted;
        std::memcpy(&sums, out, sizeof sums);
        for (int l = 0; l < Width; ++l) rooted[l] = std::sqrt(sums[l]);
        std::memcpy(out, &rooted, sizeof rooted);
    }
}

template <Finish finish, int Width>
[[gnu::always_inline]] inline void finishAll(Unfinished& group, const double* roots) {
    for (int part = 0; part < group.rows * (PairGroup / Width); ++part) finishPart<finish, Width>(group, part, roots);
    group.rows = 0;
}

// Accumulates the column terms of the pairs (i + r, j + k), r < Rows,
// k < Vectors * Width, into outs[r][k], column by column, their running
// sums in registers. The rows share each column's loads of the j values.
// The group before is finished on the way, and this one becomes unfinished.
template <class Term, Finish finish, int Width, int Vectors, int Rows>
[[gnu::always_inline]] inline void accumulateGroup(double* const* outs, const double* base, std::size_t stride, int q,
                                                   int i, int j, const double* roots, Unfinished& before) {
    using Lanes = typename VectorOf<Width>::Lanes;
    Lanes sums[Rows][Vectors] = {};
    const double* x = base + at(i);
    const double* y = base + at(j);
    // The parts spread over the columns, so that the divider keeps up.
    const int parts = finish == Finish::None ? 0 : before.rows * Vectors;
    const int spread = parts > 0 ? std::max(1, q / parts) : 1;
    int finished = 0, nextPart = 0;
    for (int c = 0; c < q; ++c, x += stride, y += stride) {
        if (c == nextPart && finished < parts) {
            finishPart<finish, Width>(before, finished++, roots);
            nextPart += spread;
        }
        for (int t = 0; t < Vectors; ++t) {
            Lanes yy;
            std::memcpy(&yy, y + Width * t, sizeof yy);
            // A scalar operand takes every lane.
            for (int r = 0; r < Rows; ++r) Term::add(sums[r][t], x[r], yy);
        }
    }
    for (; finished < parts; ++finished) finishPart<finish, Width>(before, finished, roots);
    for (int r = 0; r < Rows; ++r) std::memcpy(outs[r], sums[r], sizeof sums[r]);
    if constexpr (finish != Finish::None) {
        before.rows = Rows;
        before.i = i;
        before.j = j;
        for (int r = 0; r < Rows; ++r) before.outs[r] = outs[r];
    }
}

// The entries of the pairs (i + r, j), r < Rows, for j in [first, last)
// into outs[r][0 .. last-first), column by column: groups of pairs keep
// their running sums in registers over all columns (the last group left
// unfinished), the few left run one at a time and are finished at once.
template <class Term, Finish finish, int Width, int Rows>
[[gnu::always_inline]] inline void accumulateBlock(double* const* outs, const double* base, int n, int q, int i,
                                                   int first, int last, const double* roots, Unfinished& before) {
    const std::size_t stride = at(n);
    int j = first;
    auto outsFrom = [&](int j) {
        std::array<double*, Rows> o;
        for (int r = 0; r < Rows; ++r) o[r] = outs[r] + (j - first);
        return o;
    };
    for (; j + PairGroup <= last; j += PairGroup)
        accumulateGroup<Term, finish, Width, PairGroup / Width, Rows>(outsFrom(j).data(), base, stride, q, i, j, roots,
                                                                      before);
    for (; j < last; ++j) {
        for (int r = 0; r < Rows; ++r) {
            double sum = 0;
            for (int c = 0; c < q; ++c) Term::add(sum, base[c * stride + i + r], base[c * stride + j]);
            outs[r][j - first] = sum;
            finishEntries<finish>(outs[r] + (j - first), 1, roots, i + r, j);
        }
    }
}

// Where the entries go: the triangle, or a band of at most four rows at a
// time (laid out as in the triangle) handed to take once it is finished.
struct Destination {
    double* entries;  // the triangle, or the band
    const DistanceBandTaker* take = nullptr;

    double* rowFrom(int n, int i) const { return take != nullptr ? entries : entries + pairIndex(n, i, i + 1); }
};

// Fills the entries; compiled once per instruction set, with vectors as
// wide as that set has. The arithmetic of every entry is the same in each.
// Rows go in bands: their pairs with the rows below all share the column
// loads; the pairs among the band's own rows run one row at a time. Four
// rows share each load where the vectors are widest (sixteen registers of
// running sums, of thirty-two; two with fewer registers): for many rows
// the column slices come from the last-level cache, and four rows instead
// of two took about three quarters of the time (20,000 rows of 38 columns,
// 5,000 of 20).
template <class Term, int Width, Finish finish>
[[gnu::always_inline]] inline void fillWith(const Destination& to, const double* columns, const double* roots, int n,
                                            int q) {
    constexpr int Rows = Width >= 8 ? 4 : 2;
    Unfinished before;
    auto bandDone = [&](int first, int count) {
        if (to.take == nullptr) return;
        finishAll<finish, Width>(before, roots);
        (*to.take)(first, count, to.entries);
    };
    int i = 0;
    for (; i + Rows < n; i += Rows) {
        double* rows[Rows];
        rows[0] = to.rowFrom(n, i);
        for (int r = 1; r < Rows; ++r) rows[r] = rows[r - 1] + (n - (i + r - 1) - 1);
        // The pairs among the band's own rows, one row at a time.
        for (int r = 0; r + 1 < Rows; ++r) {
            double* own[1] = {rows[r]};
            accumulateBlock<Term, finish, Width, 1>(own, columns, n, q, i + r, i + r + 1, i + Rows, roots, before);
        }
        for (int first = i + Rows; first < n; first += BlockLength) {
            const int last = std::min(n, first + BlockLength);
            double* outs[Rows];
            for (int r = 0; r < Rows; ++r) outs[r] = rows[r] + (first - (i + r) - 1);
            accumulateBlock<Term, finish, Width, Rows>(outs, columns, n, q, i, first, last, roots, before);
        }
        bandDone(i, Rows);
    }
    for (; i + 1 < n; ++i) {  // the last rows, when the rows before them went in bands
        double* row = to.rowFrom(n, i);
        double* own[1] = {row};
        accumulateBlock<Term, finish, Width, 1>(own, columns, n, q, i, i + 1, n, roots, before);
        bandDone(i, 1);
    }
    finishAll<finish, Width>(before, roots);
}

#define NOISECLUST_FILL_FOR_EVERY_TERM(width)                                                            \
    switch (metric) {                                                                                     \
    case DistanceMetric::Correlation:                                                                     \
        return fillWith<ProductTerm, width, Finish::Correlation>(to, columns, roots, n, q);              \
    case DistanceMetric::Euclidean:                                                                       \
        return fillWith<SquaredDifferenceTerm, width, Finish::Root>(to, columns, roots, n, q);           \
    case DistanceMetric::Maximum:                                                                         \
        return fillWith<LargestDifferenceTerm, width, Finish::None>(to, columns, roots, n, q);           \
    case DistanceMetric::Manhattan:                                                                       \
        return fillWith<AbsoluteDifferenceTerm, width, Finish::None>(to, columns, roots, n, q);          \
    case DistanceMetric::Binary:                                                                          \
        return fillWith<SquaredDifferenceTerm, width, Finish::None>(to, columns, roots, n, q);           \
    }

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx512f")]] void fillWide(const Destination& to, const double* columns, const double* roots, int n,
                                         int q, DistanceMetric metric) {
    NOISECLUST_FILL_FOR_EVERY_TERM(8)
}
[[gnu::target("avx2")]] void fillMedium(const Destination& to, const double* columns, const double* roots, int n,
                                        int q, DistanceMetric metric) {
    NOISECLUST_FILL_FOR_EVERY_TERM(4)
}
#endif
void fillNarrow(const Destination& to, const double* columns, const double* roots, int n, int q,
                DistanceMetric metric) {
    NOISECLUST_FILL_FOR_EVERY_TERM(2)
}

// The widest vectors the processor has; every width gives the same entries.
void fillEntries(const Destination& to, const DistanceRows& rows) {
    const double* columns = rows.columns.data();
    const double* roots = rows.roots.data();
    const int n = rows.rowCount, q = rows.columnCount;
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx512f")) return fillWide(to, columns, roots, n, q, rows.metric);
    if (__builtin_cpu_supports("avx2")) return fillMedium(to, columns, roots, n, q, rows.metric);
#endif
    fillNarrow(to, columns, roots, n, q, rows.metric);
}

}  // namespace

namespace {

void prepareRows(DistanceRows& rows, const DataMatrix& matrix, DistanceMetric metric) {
    const int n = matrix.rowCount;
    const int q = matrix.columnCount;
    rows.metric = metric;
    rows.rowCount = n;
    rows.columnCount = q;
    rows.values.resize(at(n) * at(q));
    rows.roots.clear();
    if (metric == DistanceMetric::Correlation) {
        // Each value minus its row mean, so that a pair's term is one product;
        // the subtraction is the same one the pair formula makes.
        rows.roots.resize(at(n));
        for (int r = 0; r < n; ++r) {
            const auto values = matrix.row(r);
            double* centredRow = rows.values.data() + at(r) * at(q);
            double sum = 0;
            for (int c = 0; c < q; ++c) sum += values[at(c)];
            const double mean = sum / q;
            double squares = 0;
            for (int c = 0; c < q; ++c) {
                const double centred = values[at(c)] - mean;
                centredRow[c] = centred;
                squares += centred * centred;
            }
            rows.roots[at(r)] = std::sqrt(squares);
        }
    } else {
        for (std::size_t v = 0; v < rows.values.size(); ++v)
            rows.values[v] = metric == DistanceMetric::Binary ? truncatedValue(matrix.values[v]) : matrix.values[v];
    }
    rows.columns.resize(rows.values.size());
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < q; ++c) rows.columns[at(c) * at(n) + at(r)] = rows.values[at(r) * at(q) + at(c)];
}

}  // namespace

void keepDistanceRows(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric) {
    distances.objectCount = matrix.rowCount;
    distances.entries.clear();  // their storage stays for a later triangle
    prepareRows(distances.rows, matrix, metric);
}

void computeDistances(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric) {
    const int n = matrix.rowCount;
    distances.objectCount = n;
    resizeLargeBuffer(distances.entries, n > 1 ? at(n) * at(n - 1) / 2 : 0);
    prepareRows(distances.rows, matrix, metric);
    if (n > 1) fillEntries({distances.entries.data()}, distances.rows);
}

void forEachDistanceBand(const DistanceRows& rows, std::vector<double>& band, const DistanceBandTaker& take) {
    const int n = rows.rowCount;
    if (n < 2) return;
    band.resize(4 * at(n));
    fillEntries({band.data(), &take}, rows);
}

std::vector<int> rowsWithNonFiniteDistances(const DistanceTriangle& distances) {
    // One flat pass first (vectorised): most data sets have none.
    bool any = false;
    for (const double v : distances.entries) any |= !(std::fabs(v) < 1e100);
    if (!any) return {};
    const int n = distances.objectCount;
    std::vector<char> involved(at(n), 0);
    std::size_t index = 0;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j, ++index) {
            if (!(std::fabs(distances.entries[index]) < 1e100)) {
                involved[at(i)] = 1;
                involved[at(j)] = 1;
            }
        }
    }
    std::vector<int> rows;
    for (int r = 0; r < n; ++r)
        if (involved[at(r)]) rows.push_back(r + 1);
    return rows;
}
