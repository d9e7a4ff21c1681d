#pragma once
// Pairwise distances between the rows of a matrix, packed as the upper
// triangle without the diagonal: (0,1), (0,2), ..., (0,n-1), (1,2), ...

#include <cstddef>
#include <functional>
#include <vector>

#include "cluster/distance_rows.h"
#include "cluster/large_buffer.h"
#include "data/data_matrix.h"

// Address of the pair of rows (i, j), 0 <= i < j < n.
inline std::size_t pairIndex(int n, int i, int j) {
    const auto ii = static_cast<std::size_t>(i);
    const auto nn = static_cast<std::size_t>(n);
    return ii * nn - ii * (ii + 1) / 2 + static_cast<std::size_t>(j - i - 1);
}

struct DistanceTriangle {
    int objectCount = 0;           // n, the number of rows
    std::vector<double> entries;   // n(n-1)/2, or none (keepDistanceRows)
    DistanceRows rows;             // what the entries are computed from, if known

    explicit DistanceTriangle(int n = 0) : objectCount(n) {
        resizeLargeBuffer(entries, n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
    }

    // Distance of rows a and b (0-based, a != b, either order).
    double between(int a, int b) const {
        return a < b ? entries[pairIndex(objectCount, a, b)] : entries[pairIndex(objectCount, b, a)];
    }
};

// Fills every entry of the triangle from the rows of the matrix, and keeps
// the rows; the triangle is resized when it does not match the matrix's row
// count.
// Every sum runs over the columns in ascending order, starting from 0.
// "binary" truncates each value toward zero into a 32-bit integer,
// saturating at INT32_MIN / INT32_MAX outside that range and taking
// not-a-number as 0; the difference of two truncated values is exact.
void computeDistances(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric);

// Keeps the rows of the matrix that the distances are computed from, and
// leaves the triangle without entries: for a caller that takes them band
// by band (forEachDistanceBand) or one at a time (rowDistance).
void keepDistanceRows(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric);

// Computes the entries of the rows kept, in order, and hands them on a band
// of at most four rows at a time: take(first, count, entries), the entries
// of rows first .. first + count - 1 with the rows after each, laid out as
// in the triangle. band is the caller's buffer for them.
using DistanceBandTaker = std::function<void(int first, int count, const double* entries)>;
void forEachDistanceBand(const DistanceRows& rows, std::vector<double>& band, const DistanceBandTaker& take);

// The 1-based numbers, ascending, of the rows that have at least one
// distance that is not-a-number, infinite or at or beyond the +-1e100
// sentinels of the clustering (e.g. rows of zero variance under
// "correlation"). Such rows are clustered safely but not meaningfully.
std::vector<int> rowsWithNonFiniteDistances(const DistanceTriangle& distances);
