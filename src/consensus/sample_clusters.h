#pragma once
// A compact summary of one tree's clusters for the consensus: per merge step
// an order-independent identity of the step's member set and its size, plus
// the merge pairs and heights from which the members can be listed again.
//
// Identity of a member set: every object o has a fixed pseudo-random 128-bit
// key, and a cluster's key is the sum (mod 2^128) of its members' keys, so a
// merge step's key is the sum of its two sides' keys. Clusters are compared by
// (key, size). Two different sets differ in at least one object whose key
// enters their difference with coefficient +1 or -1; for keys modelled as
// uniform random that difference is zero with probability 2^-128. Over all the
// pairs of clusters a run can compare (below 2^40 even for 5,000 objects and
// 500 resamples) a false match has a probability below 2^-88.

#include <cstdint>
#include <vector>

#include "cluster/merge_tree.h"

struct ClusterKey {
    std::uint64_t low = 0;
    std::uint64_t high = 0;

    friend bool operator==(const ClusterKey&, const ClusterKey&) = default;
};

// Sum modulo 2^128.
inline ClusterKey operator+(const ClusterKey& a, const ClusterKey& b) {
    ClusterKey sum;
    sum.low = a.low + b.low;
    sum.high = a.high + b.high + (sum.low < a.low ? 1u : 0u);
    return sum;
}

// The fixed key of object o (1-based), derived from o by splitmix64; the same
// in every run and on every thread.
ClusterKey objectKey(int object);

struct SampleClusters {
    int objectCount = 0;             // n
    std::vector<MergePair> pairs;    // n-1, as in the tree
    std::vector<double> heights;     // n-1, as in the tree when summarised
    std::vector<ClusterKey> keys;    // n-1, the member-set key of each step
    std::vector<int> sizes;          // n-1, the member count of each step

    int stepCount() const { return static_cast<int>(pairs.size()); }
};

// Summarises the tree's merge steps in O(n); uses no shared state, so worker
// threads may call it concurrently.
SampleClusters summarizeTree(const MergeTree& tree);

// The members of the cluster formed at the step at position slot, in the
// order a cluster list keeps them: the two sides of each step joined with
// the lower side first (a single object counts as height 0, and on equal
// heights member 1 goes first), two single objects by object number. O(size).
std::vector<int> clusterMembers(const SampleClusters& sample, int slot);
