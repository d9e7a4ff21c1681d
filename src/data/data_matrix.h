#pragma once
// The in-memory expression matrix: one row per object, one column per
// measurement condition, stored contiguously row after row.

#include <cstddef>
#include <span>
#include <vector>

struct DataMatrix {
    int rowCount = 0;
    int columnCount = 0;
    std::vector<double> values;  // rowCount * columnCount, row-major

    double& at(int row, int column) { return values[index(row, column)]; }
    double at(int row, int column) const { return values[index(row, column)]; }
    std::span<double> row(int r) {
        return {values.data() + index(r, 0), static_cast<std::size_t>(columnCount)};
    }
    std::span<const double> row(int r) const {
        return {values.data() + index(r, 0), static_cast<std::size_t>(columnCount)};
    }
    std::size_t index(int row, int column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columnCount) +
               static_cast<std::size_t>(column);
    }
};

// A zero-filled matrix of the given size.
inline DataMatrix allocateMatrix(int rowCount, int columnCount) {
    DataMatrix m;
    m.rowCount = rowCount;
    m.columnCount = columnCount;
    m.values.assign(static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(columnCount), 0.0);
    return m;
}
