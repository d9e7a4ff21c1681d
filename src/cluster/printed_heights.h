#pragma once
// Trees that only the report shows need their heights only to the digits
// it prints: a route may record a height as bounds of its documented value
// and leave the exact sum out. The report then still reads the same: every
// such height prints alike across its bounds, and the two sides of every
// step compare as their documented heights do (the leaf order and the
// consensus's member order put the lower side first); where the bounds
// cannot show either, the documented value is summed after all.

#include <cstddef>
#include <vector>

#include "cluster/distance_triangle.h"
#include "cluster/merge_tree.h"

// What a route knows of the height of one merge step.
struct HeightBounds {
    bool exact = true;     // the tree holds the documented value
    double low = 0;        // otherwise it lies from low to high, and the tree
    double high = 0;       // holds a value between them
    bool outerIsSecond = false;  // the documented sum takes member 1's rows outer
};

// Makes the tree's heights report-exact: sums, in the documented order, the
// value of every step whose bounds do not print alike or leave the order of
// its step's two sides (a single object counting as 0) open. exactCount
// counts the sums.
void settlePrintedHeights(MergeTree& tree, const std::vector<HeightBounds>& bounds,
                          const DistanceTriangle& distances, std::vector<double>& scratch,
                          std::size_t& exactCount);
