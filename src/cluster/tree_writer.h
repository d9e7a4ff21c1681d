#pragma once
// Text renderings of trees in the two notations the report offers.

#include <string>
#include <string_view>
#include <vector>

#include "cluster/merge_tree.h"
#include "data/name_table.h"

enum class TreeNotation { SPlus, NewHampshire };

// Six significant digits in general notation, at least three exponent digits,
// trailing fraction zeros removed while the point stays: 1 -> "1.",
// 0.05 -> "5.e-002", 37/6 -> "6.16667".
std::string formatValueText(double value);

// Whether every value from low to high is written as the same text as a
// height in both notations ("%10.6f" and six significant digits); true only
// where that is certain, never for values at or below 0.
bool printsAlike(double low, double high);

// The text that stands for object o (1-based) in every tree, picture and
// table: its row name as stored (even an empty one) when the matrix has row
// names, otherwise its number.
void appendLeafLabel(std::string& out, int object, const NameTable& rowNames, bool hasRowNames);
std::string leafLabel(int object, const NameTable& rowNames, bool hasRowNames);

// Appends one tree block (no caption, no trailing separator) to out.
void writeMergeTree(std::string& out, const MergeTree& tree, TreeNotation notation,
                    const NameTable& rowNames, bool hasRowNames);

// The same block with stepValues (one per merge step) written in place of
// the tree's heights; merge pairs and leaf order are the tree's. This is how
// the first tree is written again with its confidence values.
void writeMergeTree(std::string& out, const MergeTree& tree, const std::vector<double>& stepValues,
                    TreeNotation notation, const NameTable& rowNames, bool hasRowNames);
