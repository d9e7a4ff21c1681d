#pragma once
// The clusters of the first tree as a tab-separated table for R, pandas or a
// spreadsheet.
//
// Header line "step\tsize\theight\tconfidence\tmembers", then one line per
// merge step in step order:
//   step        1-based merge step number
//   size        number of objects joined at that step
//   height      the merge height, shortest text that reads back to the same
//               double ("NaN", "Inf", "-Inf" for non-finite values)
//   confidence  the step's confidence value, in the same form
//   members     the objects' labels (as in the report's trees)
//               in the tree's leaf order, joined by ",". A label that holds a
//               "," or a '"' is quoted CSV style ("a,b" -> "\"a,b\""), so the
//               list itself splits with a CSV reader.
// A field that holds a '"', a tab or a line break is quoted as in RFC 4180
// (enclosed in '"', inner '"' doubled): what read.delim, pandas.read_csv
// (sep="\t") and Python's csv module (delimiter "\t") undo.
// Lines end with "\n". A tree record that is not valid gives the header only.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "data/name_table.h"

// firstTree holds the merge heights; confidences[s] is the confidence of the
// cluster formed at step position s, a missing entry is written as NaN.
void writeClusterTable(std::string& out, const MergeTree& firstTree,
                       const std::vector<double>& confidences, const NameTable& rowNames,
                       bool hasRowNames);

// Shortest decimal text that reads back to exactly the same double.
std::string roundTripNumber(double value);
