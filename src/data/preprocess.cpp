#include "data/preprocess.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace {

// The quicksort proper. Each level copies its values into the front of
// scratch and partitions them back into values; once a level has
// partitioned, its copy is no longer needed, so its sub-sorts reuse the same
// buffer. The upper sub-sort is the last step of a level and runs as the next
// turn of the loop, which keeps the draw order (lower part first) intact.
void sortWithScratch(std::span<double> values, std::span<double> scratch, RandomStream& stream) {
    for (;;) {
        const std::size_t count = values.size();
        if (count <= 1) return;
        if (count == 2) {
            if (values[0] > values[1]) std::swap(values[0], values[1]);
            return;
        }
        const double u = uniformRandom(stream);
        // u < 1, so the truncated product is below count; the bound only
        // guards against rounding.
        const std::size_t pivotIndex =
            std::min(static_cast<std::size_t>(u * static_cast<double>(count)), count - 1);

        std::copy(values.begin(), values.end(), scratch.begin());
        const double pivot = scratch[pivotIndex];
        std::size_t lower = 0;
        std::size_t upper = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (i == pivotIndex) continue;
            if (scratch[i] < pivot) {
                values[lower++] = scratch[i];
            } else {
                values[count - 1 - upper++] = scratch[i];
            }
        }
        values[lower] = pivot;

        if (lower > 0) sortWithScratch(values.first(lower), scratch.first(lower), stream);
        if (upper == 0) return;
        values = values.subspan(lower + 1, upper);
        scratch = scratch.first(upper);
    }
}

// One row or one column of the matrix: n values, `stride` apart.
struct VectorView {
    double* first;
    std::size_t stride;
    std::size_t n;
    double& operator[](std::size_t i) const { return first[i * stride]; }
};

double meanOf(const VectorView& v) {
    double sum = 0.0;
    for (std::size_t i = 0; i < v.n; ++i) sum += v[i];
    return sum / static_cast<double>(v.n);
}

// Buffers reused by every vector of one preprocessMatrix call.
struct MedianScratch {
    std::vector<double> sorted;
    std::vector<double> sortScratch;
};

double medianOf(const VectorView& v, MedianScratch& scratch, RandomStream& stream) {
    scratch.sorted.resize(v.n);
    scratch.sortScratch.resize(v.n);
    for (std::size_t i = 0; i < v.n; ++i) scratch.sorted[i] = v[i];
    sortWithScratch(scratch.sorted, scratch.sortScratch, stream);
    const std::size_t half = v.n / 2;
    if (v.n % 2 == 1) return scratch.sorted[half];
    return (scratch.sorted[half - 1] + scratch.sorted[half]) / 2.0;
}

void transformVector(const VectorView& v, PreprocessMethod method, MedianScratch& scratch,
                     RandomStream& stream) {
    if (v.n == 0) return;  // no values to replace (and no median to take)
    switch (method) {
        case PreprocessMethod::Log:
            for (std::size_t i = 0; i < v.n; ++i) v[i] = std::log(v[i]);
            break;
        case PreprocessMethod::Normal: {
            const double mean = meanOf(v);
            double squares = 0.0;
            for (std::size_t i = 0; i < v.n; ++i) {
                const double deviation = v[i] - mean;
                squares += deviation * deviation;
            }
            const double norm = std::sqrt(squares);
            for (std::size_t i = 0; i < v.n; ++i) v[i] = (v[i] - mean) / norm;
            break;
        }
        case PreprocessMethod::MeanCenter: {
            const double mean = meanOf(v);
            for (std::size_t i = 0; i < v.n; ++i) v[i] = v[i] - mean;
            break;
        }
        case PreprocessMethod::MedianCenter: {
            const double median = medianOf(v, scratch, stream);
            for (std::size_t i = 0; i < v.n; ++i) v[i] = v[i] - median;
            break;
        }
        case PreprocessMethod::Max: {
            double largest = -1e100;
            for (std::size_t i = 0; i < v.n; ++i) {
                if (largest < v[i]) largest = v[i];
            }
            for (std::size_t i = 0; i < v.n; ++i) v[i] = v[i] / largest;
            break;
        }
    }
}

}  // namespace

void preprocessMatrix(DataMatrix& matrix, PreprocessMethod method, PreprocessDirection direction,
                      RandomStream& stream) {
    const auto rows = static_cast<std::size_t>(std::max(matrix.rowCount, 0));
    const auto columns = static_cast<std::size_t>(std::max(matrix.columnCount, 0));
    if (rows == 0 || columns == 0) return;
    double* base = matrix.values.data();
    MedianScratch scratch;

    if (method == PreprocessMethod::Log) {
        // The whole matrix, row by row, whatever the direction.
        transformVector({base, 1, rows * columns}, method, scratch, stream);
        return;
    }
    if (direction == PreprocessDirection::Row) {
        for (std::size_t r = 0; r < rows; ++r) {
            transformVector({base + r * columns, 1, columns}, method, scratch, stream);
        }
    } else {
        for (std::size_t c = 0; c < columns; ++c) {
            transformVector({base + c, columns, rows}, method, scratch, stream);
        }
    }
}

void quickSortValues(std::span<double> values, RandomStream& stream) {
    std::vector<double> scratch(values.size());
    sortWithScratch(values, scratch, stream);
}

NonFiniteSummary summarizeNonFinite(const DataMatrix& matrix) {
    NonFiniteSummary summary;
    const std::size_t count = matrix.values.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (std::isfinite(matrix.values[i])) continue;
        if (summary.count == 0 && matrix.columnCount > 0) {
            summary.firstRow = static_cast<int>(i / static_cast<std::size_t>(matrix.columnCount));
            summary.firstColumn = static_cast<int>(i % static_cast<std::size_t>(matrix.columnCount));
        }
        ++summary.count;
    }
    return summary;
}
