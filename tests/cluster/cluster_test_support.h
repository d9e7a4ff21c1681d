#pragma once
// Helpers for the clustering tests: small matrices, random matrices with
// ties, the bits of a double.

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "cluster/distance_triangle.h"
#include "data/data_matrix.h"

namespace cluster_testing {

constexpr DistanceMetric AllMetrics[] = {DistanceMetric::Correlation, DistanceMetric::Euclidean,
                                         DistanceMetric::Maximum, DistanceMetric::Manhattan,
                                         DistanceMetric::Binary};

inline DataMatrix matrixOf(const std::vector<std::vector<double>>& rows) {
    DataMatrix m = allocateMatrix(static_cast<int>(rows.size()), rows.empty() ? 0 : static_cast<int>(rows[0].size()));
    for (int r = 0; r < m.rowCount; ++r)
        for (int c = 0; c < m.columnCount; ++c) m.at(r, c) = rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
    return m;
}

// A random matrix full of ties: small integers, some rows repeated (and so
// some rows constant across all columns), or values on a coarse grid.
inline DataMatrix tiedMatrix(std::mt19937& random, int rows, int columns, bool integers) {
    DataMatrix m = allocateMatrix(rows, columns);
    std::uniform_int_distribution<int> small(0, 3);
    std::uniform_int_distribution<int> grid(-40, 40);
    std::uniform_int_distribution<int> coin(0, 4);
    for (int r = 0; r < rows; ++r) {
        if (r > 0 && coin(random) == 0) {  // a duplicate of an earlier row
            std::uniform_int_distribution<int> earlier(0, r - 1);
            const int source = earlier(random);
            for (int c = 0; c < columns; ++c) m.at(r, c) = m.at(source, c);
            continue;
        }
        for (int c = 0; c < columns; ++c)
            m.at(r, c) = integers ? small(random) : grid(random) * 0.1;
    }
    return m;
}

inline std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace cluster_testing
