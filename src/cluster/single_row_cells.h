#pragma once
// The "average" route's first cells, those of single rows: every distance
// checked, rounded to single precision and put in its place, and every
// row's smallest cell found, in one pass over the distances.

#include "cluster/distance_triangle.h"
#include "cluster/pair_cells.h"

// Fills the cells of single rows (the distances rounded: for numbers >= 0
// their means and sums alike), gives pairs every row's smallest cell, the
// first of equal ones, as pair_cells::SmallestFirst scans them (for
// startFromRows), and sets largest to the largest distance. Returns whether
// every distance is a number >= 0 other than a negative zero; otherwise
// the cells and the rows' smallest cells are undefined. A triangle without
// entries has them computed from its rows.
bool fillSingleRowCells(float* cells, pair_cells::PackedPlaces places, const DistanceTriangle& distances,
                        double& largest, pair_cells::SmallestFirst& pairs);
bool fillSingleRowCells(float* cells, pair_cells::TiledPlaces places, const DistanceTriangle& distances,
                        double& largest, pair_cells::SmallestFirst& pairs);
