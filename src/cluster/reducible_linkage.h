#pragma once
// Faster routes to the merge record of "compact" and "connected" (see
// clustering.h): a minimum spanning tree for "connected", a
// nearest-neighbour chain that checks every join as it makes it for
// "compact". Each returns false, leaving the tree's content undefined,
// whenever it cannot show that its record is the one the nearest-neighbour
// table writes; the caller then runs the table.

#include <cstddef>
#include <vector>

#include "cluster/distance_triangle.h"
#include "cluster/linkage_cells.h"
#include "cluster/merge_tree.h"

// The per-object arrays of both routes, kept between calls.
struct ReducibleBuffers {
    struct Join {
        double height;
        int first;  // identities (lowest rows), first < second
        int second;
    };
    std::vector<Join> joins;
    std::vector<int> active;    // identities of the active clusters, ascending
    std::vector<int> chain;
    std::vector<int> from;      // spanning tree: the tree row nearest to each outside row
    std::vector<int> codeOf;    // by identity: the merge-record code
    std::vector<int> lowestOf;  // by set representative
    std::vector<int> setOf;     // union-find parents
    std::vector<double> nearest;
};

// "connected": true when the data have no not-a-number, infinite, negative
// zero or |distance| >= 1e100 and the joins have distinct heights.
bool joinBySpanningTree(MergeTree& tree, const DistanceTriangle& distances, ReducibleBuffers& buffers);

// "compact", on the caller's single-precision cells (n(n-1)/2 of them, cell
// (i, j), i < j, at rowOffsets[i] + j; overwritten) and member records: true
// when the data are as above and the chain's checks show every join to be
// the only smallest pair of its step. exactCount counts the linkage values
// taken from member lists.
bool joinByChain(MergeTree& tree, const DistanceTriangle& distances, float* cells, const std::size_t* rowOffsets,
                 linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount);
