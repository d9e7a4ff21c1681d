#pragma once
// Transforms applied in place to a matrix before it is clustered: the
// logarithm of every value, or a standardisation, centring or scaling of
// every row or every column, each vector from a statistic of its own values.

#include <span>

#include "data/data_matrix.h"
#include "random/random_stream.h"

enum class PreprocessMethod { Log, Normal, MeanCenter, MedianCenter, Max };
enum class PreprocessDirection { Row, Column };

struct PreprocessChoice {
    PreprocessMethod method = PreprocessMethod::Log;
    PreprocessDirection direction = PreprocessDirection::Row;
};

// Applies one transform in place. Vectors (rows from row 0, or columns from
// column 0) are handled one after another; all sums run in index order.
//   Log          every value x -> ln x, whatever the direction
//   Normal       (x - m) / sqrt(S), m the mean, S the sum of squared deviations
//   MeanCenter   x - m
//   MedianCenter x - median (the only transform that draws random numbers,
//                through quickSortValues)
//   Max          x / M, M the signed largest value, starting from -1e100
// No value is guarded: logarithms of non-positive values, constant vectors
// under Normal and a zero maximum under Max give IEEE infinities or NaN.
void preprocessMatrix(DataMatrix& matrix, PreprocessMethod method, PreprocessDirection direction,
                      RandomStream& stream);

// Randomized quicksort into ascending order. A sort of three or more values
// draws exactly one number for its pivot (index trunc(u * count)) before any
// of its sub-sorts, and sorts the values below the pivot before those at or
// above it; sorts of one or two values draw nothing. The result does not
// depend on the draws, the number of draws does.
void quickSortValues(std::span<double> values, RandomStream& stream);

// Where a matrix holds infinities or NaN, so the run can warn about values
// that a transform or a perturbation made non-finite.
struct NonFiniteSummary {
    long long count = 0;  // number of non-finite values
    int firstRow = -1;    // row (from 0) of the first of them, -1 when none
    int firstColumn = -1;
};

NonFiniteSummary summarizeNonFinite(const DataMatrix& matrix);
