#pragma once
// Where the objects of a merge tree stand when the tree is shown: one display
// order of all objects and, for every merge step, the contiguous range of that
// order that holds the step's objects. The picture and the cluster table both
// use it, so a cluster lists its members in the order in which the picture
// shows them.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"

struct TreeLayout {
    std::string problem;  // empty when the tree record could be laid out
    bool usesLeafOrder =
        false;               // false: the tree's leaf order was unusable, the merge order is shown
    std::vector<int> order;  // object numbers (1-based) in display order
    std::vector<int> spanBegin;  // per step position: index into order of its first object
    std::vector<int> spanEnd;    // per step position: one past its last object
};

// Checks the merge pairs (every member names an object or an earlier step,
// each exactly once) and lays the tree out in its leaf order when that order
// holds every object once and keeps every step's objects together; otherwise
// in the order of the merge pairs (member 0 before member 1).
TreeLayout layoutMergeTree(const MergeTree& tree);
