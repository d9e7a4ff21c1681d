#include "data/matrix_reshape.h"

#include <cmath>
#include <utility>

DataMatrix transposed(const DataMatrix& matrix) {
    DataMatrix result = allocateMatrix(matrix.columnCount, matrix.rowCount);
    for (int r = 0; r < matrix.rowCount; ++r)
        for (int c = 0; c < matrix.columnCount; ++c) result.at(c, r) = matrix.at(r, c);
    return result;
}

std::vector<int> rowsWithMissingValues(const DataMatrix& matrix) {
    std::vector<int> rows;
    for (int r = 0; r < matrix.rowCount; ++r)
        for (double value : matrix.row(r))
            if (std::isnan(value)) {
                rows.push_back(r);
                break;
            }
    return rows;
}

void dropRows(DataMatrix& matrix, const std::vector<int>& rows) {
    std::vector<double> values;
    values.reserve(matrix.values.size());
    std::size_t next = 0;
    for (int r = 0; r < matrix.rowCount; ++r) {
        if (next < rows.size() && rows[next] == r) {
            ++next;
            continue;
        }
        const auto row = std::as_const(matrix).row(r);
        values.insert(values.end(), row.begin(), row.end());
    }
    matrix.rowCount -= static_cast<int>(next);
    matrix.values = std::move(values);
}
