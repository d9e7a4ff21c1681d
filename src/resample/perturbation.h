#pragma once
// Resampled data sets: every value of the source matrix is redrawn from a
// normal distribution centred on it. Cells are visited row by row and, within
// a row, column by column, and each cell takes all draws of its deviate
// before the next one starts, so the order of the random stream is fixed.
// Every cell consumes one deviate, also when its standard deviation is 0
// (the value is then reproduced exactly).

#include "data/data_matrix.h"
#include "random/random_stream.h"

// target[r][c] = normalDeviate(source[r][c], scale * source[r][c]).
// The standard deviation keeps the sign of the value; a negative one mirrors
// the deviate around the value. The target takes the source's shape.
void perturbByScale(RandomStream& stream, const DataMatrix& source, DataMatrix& target, double scale);

// target[r][c] = normalDeviate(source[r][c], errors[r][c]).
// errors must have the source's shape; the target takes the source's shape.
void perturbByErrorMatrix(RandomStream& stream, const DataMatrix& source, DataMatrix& target,
                          const DataMatrix& errors);
