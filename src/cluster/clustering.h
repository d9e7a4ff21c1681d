#pragma once
// Agglomerative clustering of the rows behind a distance triangle.

#include <cstddef>
#include <memory>
#include <vector>

#include "cluster/distance_triangle.h"
#include "cluster/merge_tree.h"

enum class Linkage { Average, Compact, Connected };

// Fills the tree's merge pairs and heights (not its leaf order); the tree
// is resized when it does not match the triangle's object count.
//
// Repeatedly joins the closest pair of active clusters, found through a
// table of every cluster's nearest neighbour; slots stay ordered by their
// lowest object number, ties go to the lowest slot, and a cluster whose
// nearest neighbour was joined is rescanned. Linkages: "average" is the sum
// of the pairwise distances (first cluster's members outer, second's inner,
// ascending) divided by the first cluster's size, then by the second's;
// "compact" the largest, "connected" the smallest pairwise distance, with
// not-a-number distances skipped.
//
// Degenerate distances (not-a-number, infinite, at or beyond 1e100): a
// cluster with no other cluster strictly below 1e100 has no nearest
// neighbour and never joins while any cluster has one; when none has, the
// clusters in slots 0 and 1 are joined and the step's height is their
// actual linkage value. "compact" and "connected" of clusters whose
// distances are all not-a-number are not-a-number. So every step joins two
// distinct clusters; data with distances below 1e100 are not affected.
//
// Every linkage takes a faster route (reducible_linkage.h) when it can show
// that the table would write the same record, which holds for data without
// ties at the joins; the table otherwise.
void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage);

// The buffers of one clustering, kept between calls so that repeated
// clusterings (one per resampled data set) do not reallocate them: a
// triangle of n(n-1)/2 single-precision linkage cells and arrays of n
// entries. Give every thread its own; the content between calls means
// nothing.
struct ClusteringWorkspace {
    ClusteringWorkspace();
    ~ClusteringWorkspace();
    ClusteringWorkspace(ClusteringWorkspace&&) noexcept;
    ClusteringWorkspace& operator=(ClusteringWorkspace&&) noexcept;

    struct Buffers;  // defined with the clustering
    std::unique_ptr<Buffers> buffers;
    // Linkage values that the last call computed from member lists (every
    // recorded height the cells do not hold exactly, unless bounds that
    // print alike sufficed, and comparisons the cells could not decide).
    std::size_t exactLinkages = 0;
    // Whether the last call ran the nearest-neighbour table: only when the
    // faster route (the smallest pair first or a spanning tree, see reducible_linkage.h)
    // could not show that its record is the table's.
    bool usedTable = true;
    // Whether the last call saw every distance a number below 1e100 in
    // magnitude, so that none is infinite or undefined: a faster route
    // finishes only after checking every distance; false when it did not
    // check.
    bool distancesBelowSentinel() const { return !usedTable; }
};

// The bytes a workspace holds after clustering n objects (the cells, 2 n^2
// bytes, and the per-cluster arrays), for memory planning; the distance
// triangle (n(n-1)/2 doubles) comes on top.
double clusteringWorkspaceBytes(int n);

// The same clustering, with the caller's buffers.
void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                    ClusteringWorkspace& workspace);

// How exact a record's heights must be: the documented values, or only as
// exact as the report prints them (printed_heights.h): every height written
// alike in both notations, and the two sides of every step in the same
// order. For trees that only the report shows.
enum class Heights { Documented, AsPrinted };

// Computes the distances of the matrix's rows into distances (the caller's
// buffer, reused from call to call) and clusters them as above. With
// "average" and many rows, the faster route takes the distances a band at
// a time and keeps no triangle of them; only where it cannot show its
// record are the entries computed and the clustering run again.
void clusterMatrix(MergeTree& tree, DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric,
                   Linkage linkage, ClusteringWorkspace& workspace, Heights heights = Heights::Documented);

// The same clustering always through the nearest-neighbour table, for
// benchmarks and tests of the faster routes.
void clusterByTable(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage,
                    ClusteringWorkspace& workspace);
