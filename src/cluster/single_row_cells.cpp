// One pass over the distances for the "average" route's first cells: see
// single_row_cells.h.

#include "cluster/single_row_cells.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Whether every distance is a number >= 0 other than a negative zero, and
// the largest, while each distance rounded to single precision goes to its
// cell (for a number >= 0 that is not a negative zero the plain rounding
// is the cell a single row starts with), and each row's smallest cell, the
// first of equal ones, and its column (-1 for none) to smallest[i] and
// smallestAt[i], as pair_cells::SmallestFirst scans them: four at a time,
// in the widest vectors the processor has. The cells
// (i, j) .. (i, j + 3), j a multiple of four, lie next to each other both
// in the packed triangle (rows at packedRows) and in tiles (placeInTiles,
// rows at tileRows).
// Rows first .. last - 1, their distances from d on.
[[gnu::target_clones("avx512f", "avx2", "default")]] bool roundChecked(const double* d, int n, int first, int last,
                                                                      float* cells, const std::size_t* packedRows,
                                                                      const std::size_t* tileRows, double& largest,
                                                                      float* smallest, int* smallestAt) {
    typedef double Doubles __attribute__((vector_size(32)));
    typedef long long Bits __attribute__((vector_size(32)));
    typedef float Floats __attribute__((vector_size(16)));
    typedef int Ints __attribute__((vector_size(16)));
    constexpr int Width = 4;
    constexpr float infinity = std::numeric_limits<float>::infinity();
    Bits usable = Bits{} - 1;
    Doubles running{};
    bool all = true;
    double largestSingle = 0;
    for (int i = first; i < last; ++i) {
        float* row = cells + (tileRows != nullptr ? tileRows[i] : packedRows[i]);
        auto place = [&](int j) { return tileRows != nullptr ? pair_cells::tileColumnPlace(j) : static_cast<std::uint32_t>(j); };
        float best = infinity;
        int bestAt = -1;
        auto one = [&](int j) {
            all &= (*d >= 0) & !std::signbit(*d);
            largestSingle = *d > largestSingle ? *d : largestSingle;
            const float cell = static_cast<float>(*d++);
            row[place(j)] = cell;
            if (cell < best) {
                best = cell;
                bestAt = j;
            }
        };
        int j = i + 1;
        for (; j < n && j % Width != 0; ++j) one(j);
        const float headBest = best;
        const int headAt = bestAt;
        best = infinity;
        bestAt = -1;
        Floats lowest = {infinity, infinity, infinity, infinity};
        Ints lowestAt = {-1, -1, -1, -1};
        Ints columns = {j, j + 1, j + 2, j + 3};
        for (; j + Width <= n; j += Width, d += Width, columns += Width) {
            Doubles v;
            Bits bits;
            std::memcpy(&v, d, sizeof v);
            std::memcpy(&bits, d, sizeof bits);
            usable &= (v >= 0) & (bits >= 0);  // the sign bit clear
            running = v > running ? v : running;
            const Floats f = __builtin_convertvector(v, Floats);
            std::memcpy(row + place(j), &f, sizeof f);
            const Ints lower = f < lowest;
            lowest = lower ? f : lowest;
            lowestAt = lower ? columns : lowestAt;
        }
        for (; j < n; ++j) one(j);
        // The head's columns come first, then the lanes' (each its first
        // smallest), then the tail's: the smallest value, at its lowest column.
        float rowBest = headBest;
        int rowAt = headAt;
        for (int l = 0; l < Width; ++l) pair_cells::takeFirstSmallest(lowest[l], lowestAt[l], rowBest, rowAt);
        pair_cells::takeFirstSmallest(best, bestAt, rowBest, rowAt);
        smallest[i] = rowBest;
        smallestAt[i] = rowAt;
    }
    largest = largestSingle;
    for (int l = 0; l < Width; ++l) {
        all &= usable[l] != 0;
        largest = running[l] > largest ? running[l] : largest;
    }
    return all;
}

// Without entries, the distances are computed a band of rows at a time
// and rounded while the band is in the cache.
bool fillSingleRowCells(float* cells, const std::size_t* packedRows, const std::size_t* tileRows,
                        const DistanceTriangle& distances, double& largest, pair_cells::SmallestFirst& pairs) {
    const int n = distances.objectCount;
    pairs.prepareRows(n);
    if (!distances.entries.empty() || n < 2)
        return roundChecked(distances.entries.data(), n, 0, n - 1, cells, packedRows, tileRows, largest,
                            pairs.bound.data(), pairs.nearest.data());
    bool all = true;
    largest = 0;
    std::vector<double> band;
    forEachDistanceBand(distances.rows, band, [&](int first, int count, const double* entries) {
        double bandLargest = 0;
        all &= roundChecked(entries, n, first, first + count, cells, packedRows, tileRows, bandLargest,
                            pairs.bound.data(), pairs.nearest.data());
        largest = bandLargest > largest ? bandLargest : largest;
    });
    return all;
}

}  // namespace

bool fillSingleRowCells(float* cells, pair_cells::PackedPlaces places, const DistanceTriangle& distances,
                        double& largest, pair_cells::SmallestFirst& pairs) {
    return fillSingleRowCells(cells, places.rows, nullptr, distances, largest, pairs);
}

bool fillSingleRowCells(float* cells, pair_cells::TiledPlaces places, const DistanceTriangle& distances,
                        double& largest, pair_cells::SmallestFirst& pairs) {
    return fillSingleRowCells(cells, nullptr, places.rows, distances, largest, pairs);
}
