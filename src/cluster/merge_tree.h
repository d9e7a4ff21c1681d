#pragma once
// One hierarchical clustering result: the n-1 merge steps with their heights
// and the order of the objects as leaves.
//
// A merge-pair member -k names the single object k (1-based row number); a
// positive member m names the cluster formed at step m (1-based).

#include <string>
#include <vector>

#include "data/index.h"

struct MergePair {
    int member0 = 0;
    int member1 = 0;
};

struct MergeTree {
    int objectCount = 0;                // n
    std::vector<MergePair> mergePairs;  // n-1, step s at position s-1
    std::vector<double> heights;        // n-1
    std::vector<int> leafOrder;         // n object numbers

    explicit MergeTree(int n = 0)
        : objectCount(n),
          mergePairs(n > 1 ? index(n - 1) : 0),
          heights(n > 1 ? index(n - 1) : 0),
          leafOrder(n > 0 ? index(n) : 0, 0) {}

    int stepCount() const { return static_cast<int>(mergePairs.size()); }
    void setHeight(double value, int step) { heights[index(step)] = value; }
    double height(int step) const { return heights[index(step)]; }
    int mergeMember(int step, int side) const {
        const MergePair& p = mergePairs[index(step)];
        return side == 0 ? p.member0 : p.member1;
    }
};

// Fills leafOrder from the merge pairs and heights: at each step the lower
// part comes first, a single object counting as height 0; two single objects
// by object number; on equal heights member 0 first.
void computeLeafOrder(MergeTree& tree);

// Checks the record's shape (n-1 merge pairs and heights for n objects) and
// its merge pairs: every member names an object or an earlier step, each
// exactly once. Returns a description of the first fault, or an empty text.
std::string mergeTreeProblem(const MergeTree& tree);
