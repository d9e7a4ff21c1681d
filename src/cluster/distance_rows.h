#pragma once
// The rows a distance triangle was computed from, kept so that a sum over
// many of its entries can compute them again from a few kilobytes of rows
// in the cache instead of reading them scattered over the triangle.

#include <vector>

enum class DistanceMetric { Correlation, Euclidean, Maximum, Manhattan, Binary };

// The values each metric works on: the centred values for "correlation"
// (with each row's root of its sum of squares), the values truncated into
// 32-bit integers for "binary", the values as read otherwise. Empty for a
// triangle not computed from a matrix.
struct DistanceRows {
    DistanceMetric metric = DistanceMetric::Euclidean;
    int rowCount = 0;
    int columnCount = 0;
    std::vector<double> values;   // rowCount * columnCount, row-major
    std::vector<double> columns;  // the same, column-major
    std::vector<double> roots;    // "correlation": one per row

    bool empty() const { return rowCount == 0; }
};

// The distance of rows a and b (a != b), bit for bit the triangle's entry.
double rowDistance(const DistanceRows& rows, int a, int b);

// The sum of the distances of every outer row to every inner row (both
// ascending and disjoint), the outer rows outer, started at 0 and added one
// at a time in that order; every distance is the triangle's entry bit for
// bit (the same operations in the same order). scratch holds the packed
// inner rows and a few rows of distances.
double sumOfDistances(const DistanceRows& rows, const std::vector<int>& outer, const std::vector<int>& inner,
                      std::vector<double>& scratch);
