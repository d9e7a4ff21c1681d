// Merge tree leaf order: see merge_tree.h.
