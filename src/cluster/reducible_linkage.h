#pragma once
// Faster routes to the merge record (see clustering.h): a minimum spanning
// tree for "connected", the smallest pair first with every join checked as
// it is made for "compact", and for "average" the same order proposing the
// tree, checked as it is made or else in a replay. Each returns false,
// leaving the tree's content undefined, whenever it cannot show that its
// record is the one the nearest-neighbour table writes; the caller then
// runs the table.

#include <cstddef>
#include <utility>
#include <vector>

#include "cluster/distance_triangle.h"
#include "cluster/linkage_cells.h"
#include "cluster/merge_tree.h"
#include "cluster/pair_cells.h"
#include "cluster/printed_heights.h"

// A proposed "average" join whose two clusters exist: its documented value
// with the older cluster first, the one with the younger first where it
// matters, bounds of both, and which of them the younger cluster's table
// entry holds. An estimated join has only bounds: its values are estimates
// between them (for a tree whose heights need only print alike, see
// printed_heights.h).
struct ReadyJoin {
    enum class Orientation : char { Same, OlderFirst, YoungerFirst };
    double olderFirst = 0;
    double youngerFirst = 0;  // olderFirst where it was not summed (its bounds sufficed)
    double low = 0;
    double high = 0;
    int older = -1;  // identities
    int younger = -1;
    Orientation orientation = Orientation::Same;
    bool estimated = false;
};

// The per-object arrays of the routes, kept between calls.
struct ReducibleBuffers {
    struct Join {
        double height;
        int first;  // identities (lowest rows), first < second
        int second;
    };
    std::vector<Join> joins;
    std::vector<int> active;    // identities of the active clusters, ascending
    pair_cells::SmallestFirst smallestFirst;  // the cells' pairs, smallest first
    std::vector<int> from;      // spanning tree: the tree row nearest to each outside row
    std::vector<int> codeOf;    // by identity: the merge-record code
    std::vector<int> lowestOf;  // by set representative
    std::vector<int> setOf;     // union-find parents
    std::vector<double> nearest;
    // "average": the joins whose two clusters exist (by identity of the
    // younger while proposing, the prepared join), and the smallest of
    // their values first.
    std::vector<ReadyJoin> ready;
    std::vector<ReadyJoin> readySecond;  // while proposing: the younger's join with its second nearest
    std::vector<std::pair<double, int>> queue;
    // By identity: the two smallest cells of a cluster with the others
    // when it was formed, and with which clusters (-1 for none). Around a
    // join that went ahead of an earlier one, the clusters active at a
    // cluster's forming are not those its cells saw. The values then bound
    // its values with them from below, down to floor; and they stand for
    // such clusters' values too but where one is with the cluster in slot
    // merged (two of them then). The later join's cluster saw the two parts
    // of the join that went ahead of it apart (apart): a value with one of
    // them stands for no cluster's, the others are its values with clusters
    // then; after a second such join, none is (belowOnly).
    struct NearestTwo {
        double first;
        double second;
        double floor;
        int firstWith;
        int secondWith;
        int deepest;  // the largest depth of a cluster then
        int merged;
        bool belowOnly;
        int apart[2] = {-1, -1};
    };
    std::vector<NearestTwo> nearestAtForming;
    std::vector<double> scratch;  // of the documented sums
    // "average" of "correlation" where heights need only print alike: the
    // sums of the members' unit rows by identity (correlation_means.h),
    // and what is known of each step's height.
    std::vector<double> unitSums;
    std::vector<HeightBounds> heightBounds;
    std::vector<int> kept;        // the clusters whose cells a compaction keeps
};

// "connected": true when the data have no not-a-number, infinite, negative
// zero or |distance| >= 1e100 and the joins have distinct heights.
bool joinBySpanningTree(MergeTree& tree, const DistanceTriangle& distances, ReducibleBuffers& buffers);

// "compact", on the caller's single-precision cells (packed or tiled, see
// pair_cells.h; overwritten) and member records: true when the data are as
// above and the route's checks show every join to be the only smallest pair
// of its step. exactCount counts the linkage values taken from member lists.
bool joinBySmallestPairs(MergeTree& tree, const DistanceTriangle& distances, pair_cells::PairCells cells,
                         linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount);

// "average", on the same cells and records: true when every distance is a
// number >= 0 (not too large for the cells) and the checks of the proposed
// tree, as it is made or in a replay, show that the table writes it; see
// average_pairs.cpp. For a triangle without entries (keepDistanceRows), the
// distances come from its rows and there is no replay. With printedHeights
// the heights need only be exact to the digits the report prints, which
// "correlation" shows for most joins without summing their distances.
bool joinAverageBySmallestPairs(MergeTree& tree, const DistanceTriangle& distances, pair_cells::PairCells cells,
                                linkage_cells::ClusterRecords& records, ReducibleBuffers& buffers, std::size_t& exactCount,
                                bool printedHeights = false);
