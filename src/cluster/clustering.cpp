// Agglomerative clustering with a nearest-neighbour table: see clustering.h.
//
// The table, its scan orders, its strict comparisons and its rescan rule are
// kept exactly; only the way linkage values are obtained differs from
// recomputing them from member lists. Every cluster is identified by its
// lowest row (stable while it lives: a join keeps the lower one), and a
// packed triangle of single-precision cells over these identities, laid out
// like the distance triangle, holds one value per pair of active clusters
// (linkage_cells.h, average_cells.h say what a cell holds and how it is made
// exact). A join combines the two joined clusters' cells with every other
// active cluster into the kept cluster's cells. The distance triangle itself
// is only read: it is the judge whenever a cell cannot decide.
//
// The triangle of cells takes 2 n^2 bytes; with the distances (4 n^2) a
// clustering holds 6 n^2 bytes and a few arrays of n entries ("average"
// from many rows, through clusterMatrix, only the cells where its route
// shows the record).

#include "cluster/clustering.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "cluster/average_cells.h"
#include "cluster/large_buffer.h"
#include "cluster/linkage_cells.h"
#include "cluster/reducible_linkage.h"

using linkage_cells::at;
using linkage_cells::Nearest;
using linkage_cells::Sentinel;
using linkage_cells::SentinelNearest;

struct ClusteringWorkspace::Buffers {
    std::vector<float> cells;              // by pairs of lowest rows, packed like the distances
    std::vector<std::size_t> rowOffsets;   // cell (i, j), i < j, at rowOffsets[i] + j
    std::vector<std::size_t> tileRows;     // the faster routes' cells (pair_cells.h)
    std::vector<std::uint32_t> tileColumns;
    // The active clusters in slot order.
    std::vector<int> clusterOfSlot;  // lowest row: the cluster's identity while it lives
    std::vector<int> codeOfSlot;     // merge-record code: -object, or the step that formed it
    std::vector<int> nearestSlot;    // NoSlot: no neighbour below the sentinel
    std::vector<Nearest> nearest;
    std::vector<float> scanCells;    // one cluster's cells during a rescan, by slot
    linkage_cells::ClusterRecords records;
    ReducibleBuffers reducible;
};

ClusteringWorkspace::ClusteringWorkspace() : buffers(std::make_unique<Buffers>()) {}
ClusteringWorkspace::~ClusteringWorkspace() = default;
ClusteringWorkspace::ClusteringWorkspace(ClusteringWorkspace&&) noexcept = default;
ClusteringWorkspace& ClusteringWorkspace::operator=(ClusteringWorkspace&&) noexcept = default;

namespace {

constexpr int NoSlot = -1;

// How many slots ahead the scattered cells (those in other clusters' rows)
// are prefetched.
constexpr int PrefetchDistance = 8;

// The cells (content undefined) and the offsets of their rows.
void prepareCells(ClusteringWorkspace::Buffers& buffers, const DistanceTriangle& distances) {
    const int n = distances.objectCount;
    resizeLargeBuffer(buffers.cells, n > 1 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2 : 0);
    buffers.rowOffsets.resize(at(n));
    for (int i = 0; i < n; ++i) buffers.rowOffsets[at(i)] = pairIndex(n, i, i + 1) - at(i + 1);
}

// The cells of the faster routes: packed like the table's, or in tiles of
// one cache line each (pair_cells.h) for many objects, and always without a
// triangle beside them: then nothing else competes for the caches, and the
// tiles pay from fewer objects (one "average" clustering at 3,051 x 38
// took 0.86 to 0.95 of the time, at 2,600 x 38 0.97).
pair_cells::PairCells preparePairCells(ClusteringWorkspace::Buffers& buffers, const DistanceTriangle& distances) {
    const int n = distances.objectCount;
    if (n < pair_cells::TilesFrom && !distances.entries.empty()) {
        prepareCells(buffers, distances);
        return {buffers.cells.data(), buffers.rowOffsets.data(), nullptr};
    }
    // A tile is one cache line only where it starts on one.
    constexpr std::size_t line = pair_cells::TileCells;
    resizeLargeBuffer(buffers.cells, pair_cells::tiledCellCount(n) + line);
    const auto start = reinterpret_cast<std::uintptr_t>(buffers.cells.data());
    float* tiles = buffers.cells.data() + (line - start / sizeof(float) % line) % line;
    pair_cells::placeInTiles(n, buffers.tileRows, buffers.tileColumns);
    return {tiles, buffers.tileRows.data(), buffers.tileColumns.data()};
}

template <class Policy>
void clusterWith(MergeTree& tree, const DistanceTriangle& distances, ClusteringWorkspace& workspace) {
    const int n = distances.objectCount;
    ClusteringWorkspace::Buffers& buffers = *workspace.buffers;
    Policy policy(distances, buffers.records, workspace.exactLinkages);

    const double* d = distances.entries.data();
    prepareCells(buffers, distances);
    float* cells = buffers.cells.data();
    for (std::size_t e = 0; e < distances.entries.size(); ++e) cells[e] = Policy::initialCell(d[e]);
    const std::size_t* offsets = buffers.rowOffsets.data();
    policy.start(n);

    auto& clusterOfSlot = buffers.clusterOfSlot;
    auto& codeOfSlot = buffers.codeOfSlot;
    auto& nearestSlot = buffers.nearestSlot;
    auto& nearest = buffers.nearest;
    clusterOfSlot.resize(at(n));
    codeOfSlot.resize(at(n));
    nearestSlot.assign(at(n), NoSlot);
    nearest.assign(at(n), SentinelNearest);
    buffers.scanCells.resize(at(n));
    float* scanCells = buffers.scanCells.data();
    for (int i = 0; i < n; ++i) {
        clusterOfSlot[at(i)] = i;
        codeOfSlot[at(i)] = -(i + 1);
    }

    // The initial table straight from the distances (exact values). Visiting
    // the pairs row by row offers every slot its candidates in ascending slot
    // order (first the rows above it, then its own row), the order of a scan
    // per slot.
    for (int i = 0; i + 1 < n; ++i) {
        const double* row = d + offsets[i];
        Nearest& own = nearest[at(i)];
        for (int j = i + 1; j < n; ++j) {
            const double v = row[j];
            if (own.value > v) {
                own = {v, 0.0, i, j};
                nearestSlot[at(i)] = j;
            }
            if (nearest[at(j)].value > v) {
                nearest[at(j)] = {v, 0.0, j, i};
                nearestSlot[at(j)] = i;
            }
        }
    }

    Nearest sentinel = SentinelNearest;
    for (int s = 1; s <= n - 1; ++s) {
        const int b = n - s + 1;
        const int p = policy.select(nearest.data(), b);
        int r = nearestSlot[at(p)];
        double height;
        if (r == NoSlot) {
            // No cluster has a neighbour below the sentinel: join the first two.
            r = p == 0 ? 1 : 0;
            height = policy.exactLinkage(clusterOfSlot[at(p)], clusterOfSlot[at(r)]);
        } else {
            policy.makeExact(nearest[at(p)]);
            height = nearest[at(p)].value;
        }
        tree.setHeight(height, s - 1);
        tree.mergePairs[at(s - 1)] = {codeOfSlot[at(p)], codeOfSlot[at(r)]};

        const int keep = std::min(p, r);
        const int gone = std::max(p, r);
        const int kept = clusterOfSlot[at(keep)];
        const int joined = clusterOfSlot[at(gone)];
        policy.join(keep, kept, joined);
        codeOfSlot[at(keep)] = s;
        clusterOfSlot.erase(clusterOfSlot.begin() + gone);
        codeOfSlot.erase(codeOfSlot.begin() + gone);
        nearestSlot.erase(nearestSlot.begin() + gone);
        nearest.erase(nearest.begin() + gone);
        policy.removeSlot(gone);
        const int active = b - 1;
        const int* clusters = clusterOfSlot.data();

        // The joined cluster's cells. Slots hold ascending identities, so the
        // cells of the clusters below kept lie in their rows (prefetched), those
        // above in kept's row; likewise for joined (kept < joined).
        float* keptRow = cells + offsets[kept];
        const float* joinedRow = cells + offsets[joined];
        int k = 0;
        for (; k < keep; ++k) {
            if (k + PrefetchDistance < keep) {
                __builtin_prefetch(cells + offsets[clusters[k + PrefetchDistance]] + kept, 1);
                __builtin_prefetch(cells + offsets[clusters[k + PrefetchDistance]] + joined, 0);
            }
            float* row = cells + offsets[clusters[k]];
            row[kept] = Policy::combine(row[kept], row[joined]);
        }
        for (k = keep + 1; k < active && clusters[k] < joined; ++k) {
            if (k + PrefetchDistance < active && clusters[k + PrefetchDistance] < joined)
                __builtin_prefetch(cells + offsets[clusters[k + PrefetchDistance]] + joined, 0);
            const int c = clusters[k];
            keptRow[c] = Policy::combine(keptRow[c], cells[offsets[c] + at(joined)]);
        }
        for (; k < active; ++k) {
            const int c = clusters[k];
            keptRow[c] = Policy::combine(keptRow[c], joinedRow[c]);
        }
        // The kept cluster's cell with the cluster in slot k.
        auto cellOf = [&](int slot) {
            const int c = clusters[slot];
            return c < kept ? cells[offsets[c] + at(kept)] : keptRow[c];
        };

        // The table, slot by slot in ascending order.
        nearest[at(keep)] = SentinelNearest;
        nearestSlot[at(keep)] = NoSlot;
        for (k = 0; k < active; ++k) {
            if (k == keep) continue;
            int& next = nearestSlot[at(k)];
            if (next > gone)
                --next;
            else if (next == gone)
                next = keep;
            const int c = clusters[k];
            Nearest distance = policy.estimate(cellOf(k), k, keep, c, kept);
            if (policy.greater(nearest[at(keep)], distance)) {
                nearest[at(keep)] = distance;
                nearestSlot[at(keep)] = k;
            }
            Nearest& own = nearest[at(k)];
            if (next != keep) {
                if (policy.greater(own, distance)) {
                    own = distance;
                    next = keep;
                }
                continue;
            }
            if (policy.greater(sentinel, distance)) {
                own = distance;
                if (!Policy::rescanCanImprove) continue;
            } else {
                own = SentinelNearest;
                next = NoSlot;
            }
            // The rescan over c's cells: those with lower identities in their
            // rows, the others in c's row.
            const float* cRow = cells + offsets[c];
            for (int l = 0; l < k; ++l) {
                if (l + PrefetchDistance < k) __builtin_prefetch(cells + offsets[clusters[l + PrefetchDistance]] + c, 0);
                scanCells[l] = cells[offsets[clusters[l]] + at(c)];
            }
            for (int l = k + 1; l < active; ++l) scanCells[l] = cRow[clusters[l]];
            policy.rescan(scanCells, active, k, keep, c, clusters, own, next);
        }
    }
}

}  // namespace

namespace {

void startCall(MergeTree& tree, const DistanceTriangle& distances, ClusteringWorkspace& workspace) {
    const int n = distances.objectCount;
    if (tree.objectCount != n || tree.stepCount() != std::max(n - 1, 0)) tree = MergeTree(n);
    workspace.exactLinkages = 0;
    workspace.usedTable = true;
    if (!workspace.buffers) workspace.buffers = std::make_unique<ClusteringWorkspace::Buffers>();
}

void clusterWithHeights(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                        ClusteringWorkspace& workspace, Heights heights) {
    startCall(tree, distances, workspace);
    if (distances.objectCount < 2) return;
    ClusteringWorkspace::Buffers& buffers = *workspace.buffers;
    bool joined = false;
    if (linkage == Linkage::Connected) {
        joined = joinBySpanningTree(tree, distances, buffers.reducible);
    } else {
        const pair_cells::PairCells cells = preparePairCells(buffers, distances);
        joined = linkage == Linkage::Compact
                     ? joinBySmallestPairs(tree, distances, cells, buffers.records, buffers.reducible,
                                           workspace.exactLinkages)
                     : joinAverageBySmallestPairs(tree, distances, cells, buffers.records, buffers.reducible,
                                                  workspace.exactLinkages, heights == Heights::AsPrinted);
    }
    if (joined) {
        workspace.usedTable = false;
        return;
    }
    clusterByTable(tree, distances, linkage, workspace);
}

}  // namespace

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                    ClusteringWorkspace& workspace) {
    clusterWithHeights(tree, distances, linkage, workspace, Heights::Documented);
}

void clusterMatrix(MergeTree& tree, DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric,
                   Linkage linkage, ClusteringWorkspace& workspace, Heights heights) {
    // Where the exact sums take their terms from the rows (average_cells.h),
    // "average" goes without the triangle of distances (n(n-1)/2 doubles):
    // its only regular reader left is the fill of the cells, a pass of
    // writes and one of reads for each clustering. One clustering at 3,051
    // x 38 ("correlation") took 0.88 to 0.95 of the time without it.
    if (linkage == Linkage::Average && matrix.rowCount >= linkage_cells::sumsFromRowsFrom(metric)) {
        keepDistanceRows(distances, matrix, metric);
        startCall(tree, distances, workspace);
        ClusteringWorkspace::Buffers& buffers = *workspace.buffers;
        if (joinAverageBySmallestPairs(tree, distances, preparePairCells(buffers, distances), buffers.records,
                                       buffers.reducible, workspace.exactLinkages, heights == Heights::AsPrinted)) {
            workspace.usedTable = false;
            return;
        }
    }
    computeDistances(distances, matrix, metric);
    clusterWithHeights(tree, distances, linkage, workspace, heights);
}

void clusterByTable(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                    ClusteringWorkspace& workspace) {
    startCall(tree, distances, workspace);
    if (distances.objectCount < 2) return;
    switch (linkage) {
    case Linkage::Average: clusterWith<linkage_cells::AverageCells>(tree, distances, workspace); break;
    case Linkage::Compact: clusterWith<linkage_cells::OrderedCells<linkage_cells::CompactRule>>(tree, distances, workspace); break;
    case Linkage::Connected: clusterWith<linkage_cells::OrderedCells<linkage_cells::ConnectedRule>>(tree, distances, workspace); break;
    }
}

double clusteringWorkspaceBytes(int n) {
    const double objects = n;
    // The cells (counted as tiles, about 2.5 n more than the n(n-1)/2 packed
    // floats, and a cache line), and per object: a row offset, the slot arrays (identity, code,
    // neighbour, an entry of 24 bytes, three factors of the estimates, a
    // scan cell, two scan estimates), a member list with its size and
    // depth, and the faster routes' arrays (a join of 16 bytes, nine
    // identities, a distance, two ready joins and a queue entry, the cells'
    // row and column places, and the smallest-pair order's bound,
    // neighbour and flag with two heap entries of 8 bytes, the two
    // nearest cells of a cluster when it was formed, and what is known of
    // a step's height).
    const double cells = static_cast<double>(pair_cells::tiledCellCount(n) + pair_cells::TileCells);  // >= packed
    return cells * sizeof(float) +
           objects * (8 + 3 * 4 + 24 + 3 * 8 + 4 + 2 * 8 + 32 + 2 * 4 + 16 + 9 * 4 + 8 + 2 * sizeof(ReadyJoin) + 16 + 12 + 4 + 4 + 1 + 2 * 8 + sizeof(ReducibleBuffers::NearestTwo) + sizeof(HeightBounds));
}

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage) {
    ClusteringWorkspace workspace;
    clusterObjects(tree, distances, linkage, workspace);
}
