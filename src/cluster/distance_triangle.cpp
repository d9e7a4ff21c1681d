// Pairwise row distances: see distance_triangle.h.
//
// Every entry is a sum (or running maximum) over the columns in ascending
// order, starting from 0, so the rounding of each entry is fixed. The loops
// below keep that order per pair but run many pairs side by side: for row i
// the entries (i, i+1) ... (i, n-1) lie next to each other in the triangle,
// and a column-major copy of the matrix puts the values of rows i+1 ... n-1
// of one column next to each other too. The innermost loop then adds one
// column's term to a block of consecutive entries, which the compiler
// vectorises across pairs without reordering any single sum.

#include "cluster/distance_triangle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Entries of one row of the triangle processed together: small enough for
// the block and the matching column slices to stay in the first-level cache.
constexpr int BlockLength = 256;

// Truncation toward zero into a 32-bit integer, saturating outside its
// range; not-a-number counts as 0. Returned as a double: every such integer
// is exact, and so is the difference of two of them.
double truncatedValue(double value) {
    if (std::isnan(value)) return 0.0;
    if (value >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<double>(static_cast<std::int32_t>(value));
}

// Two doubles side by side: the lanes are two pairs, each lane computed with
// the same IEEE operations as a single pair would be.
typedef double Lanes __attribute__((vector_size(16)));
typedef long long LaneBits __attribute__((vector_size(16)));

inline Lanes loadLanes(const double* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Lanes absoluteLanes(Lanes v) {
    const LaneBits magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    return reinterpret_cast<Lanes>(reinterpret_cast<LaneBits>(v) & magnitude);
}

struct ProductTerm {  // correlation: the values are already centred
    static void add(double& entry, double x, double y) { entry += x * y; }
    static void add(Lanes& entry, Lanes x, Lanes y) { entry += x * y; }
};
struct SquaredDifferenceTerm {  // euclidean, binary
    static void add(double& entry, double x, double y) {
        const double d = x - y;
        entry += d * d;
    }
    static void add(Lanes& entry, Lanes x, Lanes y) {
        const Lanes d = x - y;
        entry += d * d;
    }
};
struct AbsoluteDifferenceTerm {  // manhattan
    static void add(double& entry, double x, double y) { entry += std::fabs(x - y); }
    static void add(Lanes& entry, Lanes x, Lanes y) { entry += absoluteLanes(x - y); }
};
struct LargestDifferenceTerm {  // maximum: replaces only when strictly larger
    static void add(double& entry, double x, double y) {
        const double d = std::fabs(x - y);
        entry = entry < d ? d : entry;
    }
    static void add(Lanes& entry, Lanes x, Lanes y) {
        const Lanes d = absoluteLanes(x - y);
        entry = entry < d ? d : entry;
    }
};

// Pairs whose sums are kept in registers together: one column's terms for
// all of them are one short vector operation.
constexpr int PairGroup = 16;

// Accumulates the column terms of the pairs (i, j) for j in [first, last)
// into out[0 .. last-first), column by column: groups of pairs keep their
// running sums in registers over all columns, the rest run one at a time.
template <class Term>
void accumulateBlock(double* out, const std::vector<double>& columns, int n, int q, int i, int first,
                     int last) {
    const double* base = columns.data();
    const std::size_t stride = at(n);
    int j = first;
    constexpr int groupLanes = PairGroup / 2;
    for (; j + PairGroup <= last; j += PairGroup) {
        Lanes sums[groupLanes] = {};
        const double* x = base + at(i);
        const double* y = base + at(j);
        for (int c = 0; c < q; ++c, x += stride, y += stride) {
            const Lanes xx = {*x, *x};
            for (int t = 0; t < groupLanes; ++t) Term::add(sums[t], xx, loadLanes(y + 2 * t));
        }
        std::memcpy(out + (j - first), sums, sizeof sums);
    }
    for (; j < last; ++j) {
        double sum = 0;
        for (int c = 0; c < q; ++c) Term::add(sum, base[at(c) * stride + at(i)], base[at(c) * stride + at(j)]);
        out[j - first] = sum;
    }
}

template <class Term, class Finish>
void fillTriangle(DistanceTriangle& distances, const std::vector<double>& columns, int n, int q,
                  Finish finish) {
    for (int i = 0; i + 1 < n; ++i) {
        double* row = distances.entries.data() + pairIndex(n, i, i + 1);
        for (int first = i + 1; first < n; first += BlockLength) {
            const int last = std::min(n, first + BlockLength);
            double* out = row + (first - i - 1);
            accumulateBlock<Term>(out, columns, n, q, i, first, last);
            finish(out, i, first, last - first);
        }
    }
}

}  // namespace

void computeDistances(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric) {
    const int n = matrix.rowCount;
    const int q = matrix.columnCount;
    const std::size_t pairCount = n > 1 ? at(n) * at(n - 1) / 2 : 0;
    if (distances.objectCount != n || distances.entries.size() != pairCount) distances = DistanceTriangle(n);
    if (n < 2) return;

    // Column-major copy of the values each metric works on.
    std::vector<double> columns(at(n) * at(q));
    auto column = [&](int c) { return columns.data() + at(c) * at(n); };
    std::vector<double> rootOfSquares;
    if (metric == DistanceMetric::Correlation) {
        // Each value minus its row mean, so that a pair's term is one product;
        // the subtraction is the same one the pair formula makes.
        rootOfSquares.resize(at(n));
        for (int r = 0; r < n; ++r) {
            const auto values = matrix.row(r);
            double sum = 0;
            for (int c = 0; c < q; ++c) sum += values[at(c)];
            const double mean = sum / q;
            double squares = 0;
            for (int c = 0; c < q; ++c) {
                const double centred = values[at(c)] - mean;
                column(c)[r] = centred;
                squares += centred * centred;
            }
            rootOfSquares[at(r)] = std::sqrt(squares);
        }
    } else {
        for (int r = 0; r < n; ++r) {
            const auto values = matrix.row(r);
            for (int c = 0; c < q; ++c)
                column(c)[r] = metric == DistanceMetric::Binary ? truncatedValue(values[at(c)]) : values[at(c)];
        }
    }

    auto nothing = [](double*, int, int, int) {};
    switch (metric) {
    case DistanceMetric::Correlation:
        fillTriangle<ProductTerm>(distances, columns, n, q, [&](double* out, int i, int first, int length) {
            const double rootI = rootOfSquares[at(i)];
            const double* rootJ = rootOfSquares.data() + first;
            for (int t = 0; t < length; ++t) out[t] = 1 - (out[t] / rootI) / rootJ[t];
        });
        break;
    case DistanceMetric::Euclidean:
        fillTriangle<SquaredDifferenceTerm>(distances, columns, n, q, [](double* out, int, int, int length) {
            for (int t = 0; t < length; ++t) out[t] = std::sqrt(out[t]);
        });
        break;
    case DistanceMetric::Maximum: fillTriangle<LargestDifferenceTerm>(distances, columns, n, q, nothing); break;
    case DistanceMetric::Manhattan: fillTriangle<AbsoluteDifferenceTerm>(distances, columns, n, q, nothing); break;
    case DistanceMetric::Binary: fillTriangle<SquaredDifferenceTerm>(distances, columns, n, q, nothing); break;
    }
}

std::vector<int> rowsWithNonFiniteDistances(const DistanceTriangle& distances) {
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
