#pragma once
// A run on matrices held in memory, for the R package and the Python module:
// the same stages as the command line with the report discarded, the results
// returned. Names, checks and messages shared by both languages live here so
// the two packages refuse the same inputs with the same words.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_matrix.h"
#include "data/name_table.h"
#include "run/run_settings.h"
#include "run/stages.h"

struct InMemoryInputs {
    DataMatrix data;                   // one row per object to cluster
    DataMatrix errors;                 // standard deviations of data, or empty (a scale is used)
    NameTable rowNames, columnNames;   // empty when the data has none
    bool hasErrors() const { return errors.rowCount > 0; }
};

struct InMemoryOutcome {
    RunResults results;
    int status = 0;        // 0, RunStoppedStatus, or the status of a failure
    std::string messages;  // what the run had to say: warnings, or why it failed
};

// The command line's method names, and "complete" and "single" for the
// linkages pvclust, scipy and hclust call so.
std::optional<DistanceMetric> distanceOfName(std::string_view name);
std::optional<Linkage> linkageOfName(std::string_view name);
// "DIRECTION:METHOD": preprocessingOfName in run/options.h.

// The objects become the columns: data, errors and names are transposed.
void transposeInputs(InMemoryInputs& inputs);

// Leaves out every row that holds a NaN in the data or in the errors.
// Returns the 0-based numbers of the rows left out, ascending.
std::vector<int> dropRowsWithMissingValues(InMemoryInputs& inputs);

// Why these inputs and settings cannot be run, or an empty text: fewer than
// two rows, no columns, a missing or infinite value, errors of another shape
// or negative, names that do not fit, a scale that is not positive, no
// resampled data sets, a thread count out of range.
std::string inMemoryRunProblem(const RunSettings& settings, const InMemoryInputs& inputs);

// Runs the stages (one run at a time per process). The stop request of
// run/run_stop.h ends the run early with RunStoppedStatus.
InMemoryOutcome runInMemory(const RunSettings& settings, InMemoryInputs inputs);

// The merge steps with each pair ordered so that the member whose leaves come
// first in the tree's leaf order is member0: drawn in merge order, the tree
// then shows the leaves in leafOrder (as hclust's order and scipy's
// dendrogram expect).
std::vector<MergePair> mergePairsInLeafOrder(const MergeTree& tree);
