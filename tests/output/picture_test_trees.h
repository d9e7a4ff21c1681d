#pragma once
// A small first tree shared by the picture and cluster-table tests.

#include "cluster/merge_tree.h"

// Four objects: (1,3) at 0.2, (2,4) at 0.5, both joined at 0.9; leaf order 1 3 2 4.
inline MergeTree fourObjectTree() {
    MergeTree tree(4);
    tree.mergePairs = {{-1, -3}, {-2, -4}, {1, 2}};
    tree.heights = {0.2, 0.5, 0.9};
    tree.leafOrder = {1, 3, 2, 4};
    return tree;
}
