#pragma once
// The clusters of the first tree as tab-separated tables for R, pandas or a
// spreadsheet: every cluster (the cluster table) or only the well-supported
// ones (the pick list, as pvclust's pvpick gives them).
//
// Both start with one comment line, "# " and the run's description (data
// file, distance, linkage, samples, seed, ...), which
// read.delim(file, comment.char = "#") and pandas.read_csv(file, sep="\t",
// comment="#") skip. Then the cluster table has the header
// "step\tsize\theight\tconfidence\tmembers\tse\tselected" and one line per
// merge step in step order:
//   step        1-based merge step number
//   size        number of objects joined at that step
//   height      the merge height, shortest text that reads back to the same
//               double ("NaN", "Inf", "-Inf" for non-finite values)
//   confidence  the step's confidence value p, in the same form
//   members     the objects' labels (as in the report's trees)
//               in the tree's leaf order, joined by ",". A label that holds a
//               "," or a '"' is quoted CSV style ("a,b" -> "\"a,b\""), so the
//               list itself splits with a CSV reader.
//   se          the standard error of p over h resampled trees, sqrt(p(1-p)/h)
//   selected    TRUE for the outermost clusters at or above the threshold
//               (never the cluster of all objects), else FALSE
// The pick list has the header "step\tconfidence\tse\tsize\tmembers" and one
// line per selected cluster, in step order.
// A field that holds a '"', a '#', a tab or a line break is quoted as in RFC
// 4180 (enclosed in '"', inner '"' doubled): what read.delim, pandas and
// Python's csv module undo. Lines end with "\n". A tree record that is not
// valid gives the comment and header only.

#include <string>
#include <vector>

#include "cluster/merge_tree.h"
#include "data/name_table.h"

struct ClusterTableInput {
    const MergeTree& firstTree;              // with its merge heights
    const std::vector<double>& confidences;  // per step position; missing: NaN
    const NameTable& rowNames;
    bool hasRowNames = false;
    int sampleCount = 0;      // h, the number of resampled trees
    double threshold = 0.95;  // the outermost clusters at or above it are selected
    std::string comment;      // the text after "# " (line breaks become spaces); empty: no comment line
};

void writeClusterTable(std::string& out, const ClusterTableInput& input);
void writePickList(std::string& out, const ClusterTableInput& input);

// sqrt(p(1-p)/h); NaN when p is not a fraction or h < 1.
double standardError(double p, int sampleCount);

// Shortest decimal text that reads back to exactly the same double.
std::string roundTripNumber(double value);
