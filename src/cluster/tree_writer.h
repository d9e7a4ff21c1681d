#pragma once
// Text renderings of trees in the two notations the report offers.

#include <string>

#include "cluster/merge_tree.h"
#include "data/name_table.h"

enum class TreeNotation { SPlus, NewHampshire };

// Six significant digits in general notation, at least three exponent digits,
// trailing fraction zeros removed while the point stays: 1 -> "1.",
// 0.05 -> "5.e-002", 37/6 -> "6.16667".
std::string formatValueText(double value);

// Appends one tree block (no caption, no trailing separator) to out.
void writeMergeTree(std::string& out, const MergeTree& tree, TreeNotation notation,
                    const NameTable& rowNames, bool hasRowNames);
