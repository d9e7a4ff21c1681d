#pragma once
// Reshaping a matrix read from a file before it is clustered: turning
// columns into rows, and leaving out rows with missing values (NaN).

#include <vector>

#include "data/data_matrix.h"
#include "data/index.h"

// Element [r][c] becomes [c][r].
DataMatrix transposed(const DataMatrix& matrix);

// The rows (from 0, ascending) that hold a NaN.
std::vector<int> rowsWithMissingValues(const DataMatrix& matrix);

// Removes the given rows (from 0, ascending) from the matrix.
void dropRows(DataMatrix& matrix, const std::vector<int>& rows);

// Removes the same entries from a per-row list (names, line numbers).
template <typename Entry>
void dropEntries(std::vector<Entry>& entries, const std::vector<int>& rows) {
    std::size_t kept = 0, next = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (next < rows.size() && index(rows[next]) == i) {
            ++next;
            continue;
        }
        if (kept != i) entries[kept] = std::move(entries[i]);
        ++kept;
    }
    entries.resize(kept);
}
