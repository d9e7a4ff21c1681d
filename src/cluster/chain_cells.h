#pragma once
// The cells of the nearest-neighbour chains (reducible_linkage.cpp,
// average_chain.cpp): one single-precision cell per pair of clusters by
// identity, and the reads the chains make of them.
//
// A chain reads all the cells of one cluster at a time: those with higher
// identities (its row) and those with lower ones (its column). In a packed
// triangle a column costs one cache line per cell. For many clusters the
// triangle is cut into tiles of 4 x 4 cells, one cache line each, laid out
// tile row after tile row, so that a row and a column alike bring four
// cells per line (ChainCells says when).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace chain_cells {

// Where the cells lie: cell (i, j), i < j, at row(i) + column(j). The
// packed triangle of the distances, rows in order:
struct PackedPlaces {
    const std::size_t* rows;

    std::size_t row(int i) const { return rows[i]; }
    static std::size_t column(int j) { return static_cast<std::size_t>(j); }
    std::size_t of(int i, int j) const { return row(i) + column(j); }
};

// Tiles of 4 x 4 cells (placeInTiles):
struct TiledPlaces {
    const std::size_t* rows;
    const std::uint32_t* columns;

    std::size_t row(int i) const { return rows[i]; }
    std::size_t column(int j) const { return columns[j]; }
    std::size_t of(int i, int j) const { return row(i) + column(j); }
};

// The cells a chain works on: tiled where columns is given, packed
// otherwise. Tiles pay once the cells outgrow the processor's cache: they
// bring four times fewer lines for a column but four times more for a row,
// and below about 4,000 clusters (cells of 32 MB) the rows' lines cost more
// than the columns' save (measured: 15 per cent slower at 3,051 rows, 11
// per cent faster at 5,000, 13 at 8,000).
struct ChainCells {
    float* cells;
    const std::size_t* rows;
    const std::uint32_t* columns;
};

constexpr int TilesFrom = 4000;

// Calls work(places) with the places of the cells.
template <class Work>
auto withPlaces(const ChainCells& cells, Work work) {
    if (cells.columns != nullptr) return work(TiledPlaces{cells.rows, cells.columns});
    return work(PackedPlaces{cells.rows});
}

// The cells of one tile, 4 x 4: one cache line of 64 bytes.
constexpr std::size_t TileCells = 16;

// The cells the tiles of n clusters take: ceil(n / 4) tile rows, tile row I
// holding the tiles (I, J) for J >= I (the diagonal tile's lower half and
// diagonal unused).
inline std::size_t tiledCellCount(int n) {
    const std::size_t tiles = (static_cast<std::size_t>(n) + 3) / 4;
    return tiles * (tiles + 1) / 2 * TileCells;
}

// The places of the tiled cells of n clusters: tile (I, J) starts at
// 16 (I T - I (I - 1) / 2 + J - I), T = ceil(n / 4), and cell (i, j) lies at
// 4 (i mod 4) + (j mod 4) in the tile (i / 4, j / 4).
inline void placeInTiles(int n, std::vector<std::size_t>& row, std::vector<std::uint32_t>& column) {
    const auto tiles = (static_cast<std::size_t>(n) + 3) / 4;
    row.resize(static_cast<std::size_t>(n));
    column.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto tileRow = static_cast<std::size_t>(i / 4);
        // The start of tile (I, 0), were it stored: the tile (I, J) lies J tiles on.
        const std::size_t rowStart = tileRow * tiles - tileRow * (tileRow - 1) / 2 - tileRow;
        row[static_cast<std::size_t>(i)] = TileCells * rowStart + 4 * static_cast<std::size_t>(i % 4);
        column[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(TileCells * static_cast<std::size_t>(i / 4) + i % 4);
    }
}

// Stores cell(e) at every pair's place, e the pair's entry in the packed
// triangle (rows in order).
template <class Places, class Cell>
void fillCells(float* cells, Places places, int n, Cell cell) {
    std::size_t e = 0;
    for (int i = 0; i + 1 < n; ++i) {
        float* row = cells + places.row(i);
        for (int j = i + 1; j < n; ++j, ++e) row[places.column(j)] = cell(e);
    }
}

constexpr std::ptrdiff_t PrefetchDistance = 96;

// The cell of the clusters x and y (x != y).
template <class Places>
float cellBetween(const float* cells, Places places, int x, int y) {
    return x < y ? cells[places.of(x, y)] : cells[places.of(y, x)];
}

// The nearest of the active clusters (ascending identities) to x, starting
// from (best, next): the first strictly smaller cell in identity order.
template <class Places>
void findNearest(const float* cells, Places places, const std::vector<int>& active, int x, float& best, int& next) {
    const auto position = std::lower_bound(active.begin(), active.end(), x) - active.begin();
    const int* ids = active.data();
    const std::size_t column = places.column(x);
    for (std::ptrdiff_t k = 0; k < position; ++k) {
        if (k + PrefetchDistance < position) __builtin_prefetch(cells + places.row(ids[k + PrefetchDistance]) + column, 0);
        const float v = cells[places.row(ids[k]) + column];
        if (v < best) {
            best = v;
            next = ids[k];
        }
    }
    const float* row = cells + places.row(x);
    const auto count = static_cast<std::ptrdiff_t>(active.size());
    for (std::ptrdiff_t k = position + 1; k < count; ++k) {
        const float v = row[places.column(ids[k])];
        if (v < best) {
            best = v;
            next = ids[k];
        }
    }
}

// Two clusters that are each other's nearest, lower identity first, and
// their cell.
struct ReciprocalPair {
    int a;
    int b;
    float cell;
};

// Pushes each cluster's nearest neighbour on the chain (on a tie the one
// below it stays nearest) until the top two are each other's nearest, and
// pops them. The clusters below stay a chain when the pair is joined, as a
// join never brings a cluster closer to the joined cluster than to the
// nearer part. Needs two or more active clusters.
template <class Places>
ReciprocalPair popReciprocalPair(const float* cells, Places places, const std::vector<int>& active,
                                 std::vector<int>& chain) {
    for (;;) {
        if (chain.empty()) chain.push_back(active[0]);
        const int x = chain.back();
        const int previous = chain.size() >= 2 ? chain[chain.size() - 2] : -1;
        float key = previous >= 0 ? cellBetween(cells, places, x, previous) : std::numeric_limits<float>::infinity();
        int next = previous;
        findNearest(cells, places, active, x, key, next);
        if (next != previous) {
            chain.push_back(next);
            continue;
        }
        chain.resize(chain.size() - 2);
        return {std::min(x, previous), std::max(x, previous), key};
    }
}

// Calls visit(c, cell(a, c), cell(b, c)) for every active c other than a and
// b (a < b), in identity order.
template <class Places, class Visit>
void forEachOther(float* cells, Places places, const std::vector<int>& active, int a, int b, Visit visit) {
    const int* ids = active.data();
    const auto count = static_cast<std::ptrdiff_t>(active.size());
    const auto positionA = std::lower_bound(active.begin(), active.end(), a) - active.begin();
    const auto positionB = std::lower_bound(active.begin() + positionA, active.end(), b) - active.begin();
    const std::size_t columnA = places.column(a), columnB = places.column(b);
    float* rowA = cells + places.row(a);
    float* rowB = cells + places.row(b);
    for (std::ptrdiff_t k = 0; k < positionA; ++k) {
        if (k + PrefetchDistance < positionA) {
            __builtin_prefetch(cells + places.row(ids[k + PrefetchDistance]) + columnA, 1);
            __builtin_prefetch(cells + places.row(ids[k + PrefetchDistance]) + columnB, 0);
        }
        float* row = cells + places.row(ids[k]);
        visit(ids[k], row[columnA], row[columnB]);
    }
    for (std::ptrdiff_t k = positionA + 1; k < positionB; ++k) {
        if (k + PrefetchDistance < positionB) __builtin_prefetch(cells + places.row(ids[k + PrefetchDistance]) + columnB, 0);
        visit(ids[k], rowA[places.column(ids[k])], cells[places.row(ids[k]) + columnB]);
    }
    for (std::ptrdiff_t k = positionB + 1; k < count; ++k) {
        const std::size_t column = places.column(ids[k]);
        visit(ids[k], rowA[column], rowB[column]);
    }
}

}  // namespace chain_cells
