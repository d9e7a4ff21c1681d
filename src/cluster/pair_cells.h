#pragma once
// The cells of the faster "compact" and "average" routes
// (reducible_linkage.cpp, average_pairs.cpp): one single-precision cell per
// pair of clusters by identity, the reads the routes make of them, and the
// order in which they join the pairs (SmallestFirst).
//
// A join reads all the cells of the two joined clusters: those with higher
// identities (their rows) and those with lower ones (their columns). In a
// packed triangle a column costs one cache line per cell. For many clusters
// the triangle is cut into tiles of 4 x 4 cells, one cache line each, laid
// out tile row after tile row, so that a row and a column alike bring four
// cells per line (PairCells says when).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace pair_cells {

// Where the cells lie: cell (i, j), i < j, at row(i) + column(j), for
// clusters by identity. Once most clusters have departed, their cells
// still take room in the lines a join reads; a layout can then move the
// cells of the clusters left into a smaller one (compact), and be laid out
// for all n clusters again (placeAll).

// The packed triangle of the distances, rows in order. Its cells stay where
// they are: below the tiles' size they mostly fit the processor's cache,
// and neither compacting them nor the column places that needs was faster.
struct PackedPlaces {
    const std::size_t* rows;

    std::size_t row(int i) const { return rows[i]; }
    static std::size_t column(int j) { return static_cast<std::size_t>(j); }
    std::size_t of(int i, int j) const { return row(i) + column(j); }
    void compact(float*, const std::vector<int>&) const {}
    void placeAll(int) const {}
};

// Tiles of 4 x 4 cells (placeInTiles):
struct TiledPlaces {
    std::size_t* rows;
    std::uint32_t* columns;

    std::size_t row(int i) const { return rows[i]; }
    std::size_t column(int j) const { return columns[j]; }
    std::size_t of(int i, int j) const { return row(i) + column(j); }
    void compact(float* cells, const std::vector<int>& kept) const;
    void placeAll(int n) const;
};

// The cells a route works on: tiled where columns is given, packed
// otherwise. Tiles pay once the cells outgrow the processor's cache: they
// bring four times fewer lines for a column but four times more for a row,
// and below about 4,000 clusters (cells of 32 MB) the rows' lines cost more
// than the columns' save (measured: 15 per cent slower at 3,051 rows, 11
// per cent faster at 5,000, 13 at 8,000), where a triangle of distances
// shares the caches with them; without one, tiles pay from fewer clusters
// (the clustering's preparePairCells).
struct PairCells {
    float* cells;
    std::size_t* rows;
    std::uint32_t* columns;
};

constexpr int TilesFrom = 4000;

// Calls work(places) with the places of the cells.
template <class Work>
auto withPlaces(const PairCells& cells, Work work) {
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
// 4 (i mod 4) + (j mod 4) in the tile (i / 4, j / 4). Row place of i:
inline std::size_t tileRowPlace(std::size_t tiles, int i) {
    const auto tileRow = static_cast<std::size_t>(i / 4);
    // The start of tile (I, 0), were it stored: the tile (I, J) lies J tiles on.
    const std::size_t rowStart = tileRow * tiles - tileRow * (tileRow - 1) / 2 - tileRow;
    return TileCells * rowStart + 4 * static_cast<std::size_t>(i % 4);
}
inline std::uint32_t tileColumnPlace(int j) {
    return static_cast<std::uint32_t>(TileCells * static_cast<std::size_t>(j / 4) + j % 4);
}

// Points the row and column places of clusters 0 .. n-1 at the tiles of n.
inline void placeInTiles(int n, std::size_t* row, std::uint32_t* column) {
    const auto tiles = (static_cast<std::size_t>(n) + 3) / 4;
    for (int i = 0; i < n; ++i) {
        row[i] = tileRowPlace(tiles, i);
        column[i] = tileColumnPlace(i);
    }
}
inline void placeInTiles(int n, std::vector<std::size_t>& row, std::vector<std::uint32_t>& column) {
    row.resize(static_cast<std::size_t>(n));
    column.resize(static_cast<std::size_t>(n));
    placeInTiles(n, row.data(), column.data());
}

// Moves the cells among the kept clusters (ascending identities, all
// placed in the tiles now) into the tiles of kept.size() clusters, kept[p]
// at position p, and points their places there; the other clusters' cells
// are lost. In place: no cell moves up, since a tile's start grows with its
// tile row, its tile column and the number of tile rows, and a kept
// cluster's new position is at most its old one (kept is a subset of the
// clusters placed, in order); and the cells go in the order of their new
// places, so each is read before anything is written over it.
// The kept clusters' old places are read once into arrays, and the source
// lines of the tiles a few ahead are prefetched: each new tile gathers its
// cells from lines of up to four old tile rows (0.97 of an "average"
// clustering at 5,000 x 20, 0.985 at 20,000 x 38).
inline void compactTiles(float* cells, std::size_t* rows, std::uint32_t* columns, const std::vector<int>& kept) {
    const int m = static_cast<int>(kept.size());
    const auto tiles = (static_cast<std::size_t>(m) + 3) / 4;
    auto at = [](int p) { return static_cast<std::size_t>(p); };
    std::vector<std::size_t> oldRows(kept.size());
    std::vector<std::uint32_t> oldColumns(kept.size());
    for (int p = 0; p < m; ++p) {
        oldRows[at(p)] = rows[kept[at(p)]];
        oldColumns[at(p)] = columns[kept[at(p)]];
    }
    constexpr int TilesAhead = 8;
    for (int p = 0; p < m; p += 4) {
        const int rowsEnd = std::min(p + 4, m);
        for (int q = p; q < m; q += 4) {
            const int columnsEnd = std::min(q + 4, m);
            if (q + 4 * TilesAhead < m)
                for (int i = p; i < rowsEnd; ++i)
                    __builtin_prefetch(cells + oldRows[at(i)] + oldColumns[at(q + 4 * TilesAhead)], 0);
            // Row i's cells of the tile lie side by side: cell (i, j) at
            // its row place plus the tile's start plus j - q.
            const std::size_t tileStart = TileCells * at(q / 4);
            for (int i = p; i < rowsEnd; ++i) {
                const float* from = cells + oldRows[at(i)];
                float* to = cells + tileRowPlace(tiles, i) + tileStart;
                for (int j = std::max(q, i + 1); j < columnsEnd; ++j) to[j - q] = from[oldColumns[at(j)]];
            }
        }
    }
    for (int p = 0; p < m; ++p) {
        rows[kept[at(p)]] = tileRowPlace(tiles, p);
        columns[kept[at(p)]] = tileColumnPlace(p);
    }
}

inline void TiledPlaces::compact(float* cells, const std::vector<int>& kept) const {
    compactTiles(cells, rows, columns, kept);
}
inline void TiledPlaces::placeAll(int n) const { placeInTiles(n, rows, columns); }

// Once the active clusters (with departed, when >= 0: a departed cluster
// whose cells are still read) fill at most half of the clusters the cells
// are laid out for (placed), moves their cells into a layout for them alone.
// A few dozen clusters' cells fit the processor's cache anyway.
template <class Places>
void compactWhenSparse(float* cells, Places places, const std::vector<int>& active, int departed,
                       std::vector<int>& kept, int& placed) {
    if (2 * active.size() > static_cast<std::size_t>(placed) || active.size() < 64) return;
    kept.assign(active.begin(), active.end());
    if (departed >= 0) kept.insert(std::lower_bound(kept.begin(), kept.end(), departed), departed);
    places.compact(cells, kept);
    placed = static_cast<int>(kept.size());
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

// Where vector lanes each kept the first smallest of their cells: takes the
// lane's candidate (value at the column or place at; at < 0 for none) when
// it is smaller than the best so far, or equal at a lower place, so that
// the lanes together give the first smallest of all, as a scan one cell at
// a time does. Candidates of places all after best's count only when
// smaller, which the rule gives too.
inline void takeFirstSmallest(float value, int at, float& best, int& bestAt) {
    if (at >= 0 && (value < best || (value == best && (bestAt < 0 || at < bestAt)))) {
        best = value;
        bestAt = at;
    }
}

// Whether bit j of bits (64 to a word) is set.
inline bool isLive(const std::uint64_t* bits, int j) { return ((bits[j / 64] >> (j % 64)) & 1) != 0; }

// The smallest of the cells row[j], from <= j < end, whose bit j in live is
// set, the first of equal ones, and its j (to; -1 for none). live needs a
// word past the last bit. wide = false keeps to one cell at a time (for
// tests: the result is the same).
float smallestLiveInRow(const float* row, const std::uint64_t* live, int from, int end, int& to, bool wide = true);

constexpr std::ptrdiff_t PrefetchDistance = 96;

// The cell of the clusters x and y (x != y).
template <class Places>
float cellBetween(const float* cells, Places places, int x, int y) {
    return x < y ? cells[places.of(x, y)] : cells[places.of(y, x)];
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

// The pairs of the active clusters, the one with the smallest cell first,
// as the nearest-neighbour table joins them, for a linkage reducible in its
// cells (no join brings a cell below the smaller of its two parts' cells).
// Each cluster keeps a bound at most all of its cells with clusters of
// higher identity (its row) and the cluster that had it; a heap of the
// bounds gives the next pair once the top's bound is its cell with that
// cluster, the row being scanned again when not. By reducibility a join
// cannot bring a cell below a bound, so the bounds hold without visiting
// every row. Only rows are scanned, and a join's column cells are read
// once, when they are combined. Use:
//   start(n, ...); while (more than one active) { next(...) gives a < b;
//   combine every other active c's cells in identity order, calling
//   combined(a, b, c, joined cell) for each; join(a, b, active) }.
struct SmallestFirst {
    std::vector<int> nearest;   // by identity: the cluster of the bound, -1 for none
    std::vector<float> bound;   // by identity
    std::vector<std::uint64_t> live;  // by identity, a bit each, and a word more
    std::vector<std::pair<float, int>> heap;  // (bound, identity), smallest first
    bool heaped = false;        // the first scans only collect their entries
    float best = 0;             // the joined cluster's row, while combining
    int bestAt = -1;

    static std::size_t at(int i) { return static_cast<std::size_t>(i); }
    bool alive(int x) const { return isLive(live.data(), x); }
    static constexpr std::greater<> later{};  // the smallest bound on top

    void setBound(int x, int to, float cell) {
        nearest[at(x)] = to;
        bound[at(x)] = cell;
        if (to < 0) return;
        if (heaped && heap.size() >= 2 * bound.size()) {  // drops the entries of old bounds
            std::erase_if(heap, [&](const auto& e) { return !alive(e.second) || e.first != bound[at(e.second)]; });
            std::make_heap(heap.begin(), heap.end(), later);
        }
        heap.push_back({cell, x});
        if (heaped) std::push_heap(heap.begin(), heap.end(), later);
    }

    // The smallest cell of x's row, the first in identity order, and its
    // cluster (to; -1 for none).
    template <class Places>
    static float rowSmallest(const float* cells, Places places, const std::vector<int>& active, int x, int& to) {
        const int* ids = active.data();
        const auto end = static_cast<std::ptrdiff_t>(active.size());
        const float* row = cells + places.row(x);
        float smallest = std::numeric_limits<float>::infinity();
        to = -1;
        for (auto k = std::upper_bound(active.begin(), active.end(), x) - active.begin(); k < end; ++k) {
            const float v = row[places.column(ids[k])];
            if (v < smallest) {
                smallest = v;
                to = ids[k];
            }
        }
        return smallest;
    }

    template <class Places>
    void scanRow(const float* cells, Places places, const std::vector<int>& active, int x) {
        int to = -1;
        float smallest = 0;
        // A packed row's cells lie side by side: where at least a quarter of
        // them are live, all are read, sixteen at a time.
        const auto liveAbove = active.end() - std::upper_bound(active.begin(), active.end(), x);
        if (std::is_same_v<Places, PackedPlaces> && liveAbove > 0 && active.back() - x <= 4 * liveAbove)
            smallest = smallestLiveInRow(cells + places.row(x), live.data(), x + 1, active.back() + 1, to);
        else
            smallest = rowSmallest(cells, places, active, x, to);
        setBound(x, to, smallest);
    }

    // Makes 0 .. n-1 the active clusters, on filled cells.
    template <class Places>
    void start(int n, const float* cells, Places places, std::vector<int>& active) {
        active.resize(at(n));
        for (int i = 0; i < n; ++i) active[at(i)] = i;
        prepareRows(n);
        for (int x = 0; x + 1 < n; ++x) bound[at(x)] = rowSmallest(cells, places, active, x, nearest[at(x)]);
        startFromRows(n, active);
    }

    // As start, where the fill of the cells found every row's smallest cell
    // and its cluster as scanRow does (the first smallest; -1 for none):
    // prepareRows(n) before the fill, which writes them to bound and
    // nearest, then startFromRows.
    void prepareRows(int n) {
        nearest.assign(at(n), -1);
        bound.assign(at(n), std::numeric_limits<float>::infinity());
    }
    void startFromRows(int n, std::vector<int>& active) {
        active.resize(at(n));
        for (int i = 0; i < n; ++i) active[at(i)] = i;
        live.assign(at(n / 64 + 2), 0);
        for (int i = 0; i < n; ++i) live[at(i / 64)] |= std::uint64_t{1} << (i % 64);
        heap.clear();
        heaped = false;
        for (int x = 0; x + 1 < n; ++x) setBound(x, nearest[at(x)], bound[at(x)]);
        std::make_heap(heap.begin(), heap.end(), later);
        heaped = true;
    }

    // The next pair, a < b, and its cell; false when none is left (not
    // reached while the linkage is reducible and two clusters are active).
    template <class Places>
    bool next(const float* cells, Places places, const std::vector<int>& active, int& a, int& b, float& cell) {
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), later);
            const auto [top, x] = heap.back();
            heap.pop_back();
            if (!alive(x) || top != bound[at(x)]) continue;  // an older entry
            const int y = nearest[at(x)];
            if (!alive(y) || cellBetween(cells, places, x, y) != top) {
                scanRow(cells, places, active, x);
                continue;
            }
            a = x;
            b = y;
            cell = top;
            best = std::numeric_limits<float>::infinity();
            bestAt = -1;
            return true;
        }
        return false;
    }

    // The joined cluster's cell with c, during the combining.
    void combined(int a, int b, int c, float cell) {
        if (c > a) {
            if (cell < best) {
                best = cell;
                bestAt = c;
            }
        } else if (nearest[at(c)] == b || cell < bound[at(c)]) {
            // The joined cluster takes b's place as c's candidate; a cell
            // below the bound, should rounding ever give one, lowers it.
            nearest[at(c)] = a;
            if (cell < bound[at(c)]) setBound(c, a, cell);
        }
    }

    // After the combining: a keeps the joined cluster, b departs.
    void join(int a, int b, std::vector<int>& active) {
        live[at(b / 64)] &= ~(std::uint64_t{1} << (b % 64));
        active.erase(std::lower_bound(active.begin(), active.end(), b));
        setBound(a, bestAt, best);
    }
};

}  // namespace pair_cells
