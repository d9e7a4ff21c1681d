#include "run/in_memory_run.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <iostream>
#include <mutex>
#include <sstream>

#include "data/matrix_reshape.h"
#include "run/options.h"
#include "run/report_file.h"

std::optional<DistanceMetric> distanceOfName(std::string_view name) {
    return valueOfName(DistanceMetrics, name);
}

std::optional<Linkage> linkageOfName(std::string_view name) {
    return valueOfName(Linkages, name);
}

namespace {

std::string rowText(const InMemoryInputs& inputs, int row) {
    std::string text = "row " + std::to_string(row + 1);
    if (index(row) < inputs.rowNames.size()) text += " (" + inputs.rowNames[index(row)] + ")";
    return text;
}

std::string cellText(const InMemoryInputs& inputs, int row, int column) {
    std::string text = rowText(inputs, row) + ", column " + std::to_string(column + 1);
    if (index(column) < inputs.columnNames.size())
        text += " (" + inputs.columnNames[index(column)] + ")";
    return text;
}

// The first value of m failing the test, as "row r, column c", or "".
template <typename Test>
std::string firstCell(const InMemoryInputs& inputs, const DataMatrix& m, Test test) {
    for (int r = 0; r < m.rowCount; ++r)
        for (int c = 0; c < m.columnCount; ++c)
            if (test(m.at(r, c))) return cellText(inputs, r, c);
    return {};
}

}  // namespace

void transposeInputs(InMemoryInputs& inputs) {
    inputs.data = transposed(inputs.data);
    if (inputs.hasErrors()) inputs.errors = transposed(inputs.errors);
    std::swap(inputs.rowNames, inputs.columnNames);
}

std::vector<int> dropRowsWithMissingValues(InMemoryInputs& inputs) {
    std::vector<int> dropped = rowsWithMissingValues(inputs.data);
    const bool withErrors = inputs.hasErrors() && inputs.errors.rowCount == inputs.data.rowCount &&
                            inputs.errors.columnCount == inputs.data.columnCount;
    if (withErrors) {
        const std::vector<int> more = rowsWithMissingValues(inputs.errors);
        std::vector<int> both;
        std::set_union(dropped.begin(), dropped.end(), more.begin(), more.end(), std::back_inserter(both));
        dropped = std::move(both);
    }
    dropRows(inputs.data, dropped);
    if (withErrors) dropRows(inputs.errors, dropped);
    dropEntries(inputs.rowNames, dropped);
    return dropped;
}

std::string inMemoryRunProblem(const RunSettings& settings, const InMemoryInputs& inputs) {
    const DataMatrix& data = inputs.data;
    if (data.rowCount < 2)
        return "a tree needs at least 2 rows to cluster; the data has " +
               std::to_string(data.rowCount);
    if (data.columnCount < 1) return "the data has no columns";
    if (data.values.size() != data.index(data.rowCount, 0))
        return "the data holds " + std::to_string(data.values.size()) + " values for " +
               std::to_string(data.rowCount) + " rows and " + std::to_string(data.columnCount) +
               " columns";
    if (!inputs.rowNames.empty() && inputs.rowNames.size() != index(data.rowCount))
        return "there are " + std::to_string(inputs.rowNames.size()) + " row names for " +
               std::to_string(data.rowCount) + " rows";
    if (!inputs.columnNames.empty() && inputs.columnNames.size() != index(data.columnCount))
        return "there are " + std::to_string(inputs.columnNames.size()) + " column names for " +
               std::to_string(data.columnCount) + " columns";
    if (auto cell = firstCell(inputs, data, [](double v) { return std::isnan(v); }); !cell.empty())
        return "the data has a missing value (NA or NaN) in " + cell +
               "; pass missing = \"drop-rows\" to leave out the rows that have one";
    if (auto cell = firstCell(inputs, data, [](double v) { return std::isinf(v); }); !cell.empty())
        return "the data has an infinite value in " + cell;

    if (inputs.hasErrors() != settings.withErrorFile)
        return "give either standard errors or a scale of error";
    if (inputs.hasErrors()) {
        const DataMatrix& errors = inputs.errors;
        if (errors.rowCount != data.rowCount || errors.columnCount != data.columnCount)
            return "the standard errors have " + std::to_string(errors.rowCount) + " rows and " +
                   std::to_string(errors.columnCount) + " columns, the data " +
                   std::to_string(data.rowCount) + " rows and " +
                   std::to_string(data.columnCount) + " columns";
        if (errors.values.size() != data.values.size())
            return "the standard errors do not hold one value per data value";
        if (auto cell = firstCell(inputs, errors, [](double v) { return std::isnan(v); });
            !cell.empty())
            return "the standard errors have a missing value (NA or NaN) in " + cell +
                   "; pass missing = \"drop-rows\" to leave out the rows that have one";
        if (auto cell = firstCell(inputs, errors, [](double v) { return !(v >= 0 && v < INFINITY); });
            !cell.empty())
            return "a standard error is negative or infinite in " + cell;
    } else if (!(std::isfinite(settings.scaleOfError) && settings.scaleOfError > 0)) {
        return "the scale of error must be a positive number";
    }
    if (settings.sampleSize < 1) return "the number of resampled data sets must be at least 1";
    if (settings.threadCount < 0 || settings.threadCount > 256)
        return "the number of threads must be from 0 (one per processor) to 256";
    return {};
}

namespace {

// Collects what the stages write on standard error while a run is under way.
class CapturedErrorStream {
public:
    CapturedErrorStream() : previous_(std::cerr.rdbuf(captured_.rdbuf())) {}
    ~CapturedErrorStream() { std::cerr.rdbuf(previous_); }
    CapturedErrorStream(const CapturedErrorStream&) = delete;
    CapturedErrorStream& operator=(const CapturedErrorStream&) = delete;
    std::string text() const { return captured_.str(); }

private:
    std::ostringstream captured_;
    std::streambuf* previous_;
};

std::mutex oneRunAtATime;  // the stop flag and standard error are the process's

}  // namespace

InMemoryOutcome runInMemory(const RunSettings& settings, InMemoryInputs inputs) {
    std::lock_guard<std::mutex> lock(oneRunAtATime);
    InMemoryOutcome outcome;
    if (const std::string problem = inMemoryRunProblem(settings, inputs); !problem.empty()) {
        outcome.status = 2;
        outcome.messages = problem;
        return outcome;
    }
    RunInputs run;
    run.rawMatrix = std::move(inputs.data);
    run.workingMatrix = run.rawMatrix;
    run.hasErrorMatrix = settings.withErrorFile;
    if (run.hasErrorMatrix) run.errorMatrix = std::move(inputs.errors);
    run.hasRowNames = !inputs.rowNames.empty();
    run.hasColumnNames = !inputs.columnNames.empty();
    run.rowNames = run.hasRowNames ? std::move(inputs.rowNames)
                                   : NameTable(index(run.rawMatrix.rowCount));
    run.columnNames = run.hasColumnNames ? std::move(inputs.columnNames)
                                         : NameTable(index(run.rawMatrix.columnCount));

    ReportFile discarded;
    if (!discarded.open("/dev/null")) {
        outcome.status = 1;
        outcome.messages = "cannot open /dev/null to discard the report";
        return outcome;
    }
    {
        CapturedErrorStream captured;
        outcome.status = runStages(settings, run, discarded, outcome.results);
        outcome.messages = captured.text();
    }
    discarded.close();
    if (outcome.status == 0 && !outcome.results.complete) {
        outcome.status = 1;
        if (outcome.messages.empty()) outcome.messages = "the run ended without its results";
    }
    return outcome;
}

std::vector<MergePair> mergePairsInLeafOrder(const MergeTree& tree) {
    if (!mergeTreeProblem(tree).empty()) return tree.mergePairs;
    const int n = tree.objectCount;
    std::vector<int> position(index(n + 1), 0);  // of each object in the leaf order
    for (int i = 0; i < n && index(i) < tree.leafOrder.size(); ++i) {
        const int object = tree.leafOrder[index(i)];
        if (object >= 1 && object <= n) position[index(object)] = i;
    }
    std::vector<int> firstLeaf(index(tree.stepCount()), 0);  // of each step's cluster
    auto firstOf = [&](int member) {
        return member < 0 ? position[index(-member)] : firstLeaf[index(member - 1)];
    };
    std::vector<MergePair> pairs = tree.mergePairs;
    for (int s = 0; s < tree.stepCount(); ++s) {
        MergePair& pair = pairs[index(s)];
        if (firstOf(pair.member1) < firstOf(pair.member0)) std::swap(pair.member0, pair.member1);
        firstLeaf[index(s)] = firstOf(pair.member0);
    }
    return pairs;
}
