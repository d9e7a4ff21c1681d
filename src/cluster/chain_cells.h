#pragma once
// The reads of the nearest-neighbour chains (reducible_linkage.cpp,
// average_chain.cpp) on a packed triangle of single-precision cells by
// identity (cell (i, j), i < j, at rowOffsets[i] + j): the cells of a
// cluster with lower identities lie in their rows, the others in its own.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace chain_cells {

constexpr std::ptrdiff_t PrefetchDistance = 48;

// The cell of the clusters x and y (x != y).
inline float cellBetween(const float* cells, const std::size_t* rowOffsets, int x, int y) {
    return x < y ? cells[rowOffsets[x] + static_cast<std::size_t>(y)] : cells[rowOffsets[y] + static_cast<std::size_t>(x)];
}

// The nearest of the active clusters (ascending identities) to x, starting
// from (best, next): the first strictly smaller cell in identity order.
inline void findNearest(const float* cells, const std::size_t* rowOffsets, const std::vector<int>& active, int x,
                        float& best, int& next) {
    const auto position = std::lower_bound(active.begin(), active.end(), x) - active.begin();
    const int* ids = active.data();
    for (std::ptrdiff_t k = 0; k < position; ++k) {
        if (k + PrefetchDistance < position) __builtin_prefetch(cells + rowOffsets[ids[k + PrefetchDistance]] + x, 0);
        const float v = cells[rowOffsets[ids[k]] + static_cast<std::size_t>(x)];
        if (v < best) {
            best = v;
            next = ids[k];
        }
    }
    const float* row = cells + rowOffsets[x];
    const auto count = static_cast<std::ptrdiff_t>(active.size());
    for (std::ptrdiff_t k = position + 1; k < count; ++k) {
        const float v = row[ids[k]];
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
inline ReciprocalPair popReciprocalPair(const float* cells, const std::size_t* rowOffsets,
                                        const std::vector<int>& active, std::vector<int>& chain) {
    for (;;) {
        if (chain.empty()) chain.push_back(active[0]);
        const int x = chain.back();
        const int previous = chain.size() >= 2 ? chain[chain.size() - 2] : -1;
        float key = previous >= 0 ? cellBetween(cells, rowOffsets, x, previous) : std::numeric_limits<float>::infinity();
        int next = previous;
        findNearest(cells, rowOffsets, active, x, key, next);
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
template <class Visit>
void forEachOther(float* cells, const std::size_t* rowOffsets, const std::vector<int>& active, int a, int b,
                  Visit visit) {
    const int* ids = active.data();
    const auto count = static_cast<std::ptrdiff_t>(active.size());
    const auto positionA = std::lower_bound(active.begin(), active.end(), a) - active.begin();
    const auto positionB = std::lower_bound(active.begin() + positionA, active.end(), b) - active.begin();
    float* rowA = cells + rowOffsets[a];
    float* rowB = cells + rowOffsets[b];
    for (std::ptrdiff_t k = 0; k < positionA; ++k) {
        if (k + PrefetchDistance < positionA) {
            __builtin_prefetch(cells + rowOffsets[ids[k + PrefetchDistance]] + a, 1);
            __builtin_prefetch(cells + rowOffsets[ids[k + PrefetchDistance]] + b, 0);
        }
        float* row = cells + rowOffsets[ids[k]];
        visit(ids[k], row[a], row[b]);
    }
    for (std::ptrdiff_t k = positionA + 1; k < positionB; ++k) {
        if (k + PrefetchDistance < positionB) __builtin_prefetch(cells + rowOffsets[ids[k + PrefetchDistance]] + b, 0);
        visit(ids[k], rowA[ids[k]], cells[rowOffsets[ids[k]] + static_cast<std::size_t>(b)]);
    }
    for (std::ptrdiff_t k = positionB + 1; k < count; ++k) visit(ids[k], rowA[ids[k]], rowB[ids[k]]);
}

}  // namespace chain_cells
