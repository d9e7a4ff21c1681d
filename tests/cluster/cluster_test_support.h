#pragma once
// Helpers for the clustering tests: small matrices, random matrices with
// ties, and the structural check every filled merge tree must pass.

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cluster/merge_tree.h"
#include "data/data_matrix.h"

namespace cluster_testing {

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

// Every object once as a single-object member, every step but the last once
// as a cluster member, always naming an earlier step.
inline ::testing::AssertionResult isWellFormed(const MergeTree& tree) {
    const int n = tree.objectCount;
    if (tree.stepCount() != (n > 1 ? n - 1 : 0)) return ::testing::AssertionFailure() << "step count";
    std::vector<int> objectUses(static_cast<std::size_t>(n) + 1, 0), stepUses(static_cast<std::size_t>(n) + 1, 0);
    for (int s = 0; s < tree.stepCount(); ++s) {
        for (int side = 0; side < 2; ++side) {
            const int m = tree.mergeMember(s, side);
            if (m < 0 && -m <= n) {
                ++objectUses[static_cast<std::size_t>(-m)];
            } else if (m > 0 && m <= s) {
                ++stepUses[static_cast<std::size_t>(m)];
            } else {
                return ::testing::AssertionFailure() << "step " << s + 1 << " has member " << m;
            }
        }
        if (tree.mergeMember(s, 0) == tree.mergeMember(s, 1))
            return ::testing::AssertionFailure() << "step " << s + 1 << " joins a cluster with itself";
    }
    for (int k = 1; k <= n; ++k)
        if (objectUses[static_cast<std::size_t>(k)] != 1) return ::testing::AssertionFailure() << "object " << k;
    for (int s = 1; s <= n - 2; ++s)
        if (stepUses[static_cast<std::size_t>(s)] != 1) return ::testing::AssertionFailure() << "step member " << s;
    return ::testing::AssertionSuccess();
}

}  // namespace cluster_testing
