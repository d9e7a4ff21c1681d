// Runs on matrices in memory: the refusals both language packages rely on,
// dropping rows with missing values, transposing, and a run whose results
// match a second run and stop on request. That the merge pairs follow the
// leaf order is checked through scipy by the Python module's tests.

#include "run/in_memory_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "run/run_stop.h"

namespace {

InMemoryInputs grid(int rows, int columns) {
    InMemoryInputs inputs;
    inputs.data = allocateMatrix(rows, columns);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) inputs.data.at(r, c) = 1.0 + r * r + 0.5 * c;
    return inputs;
}

RunSettings scaleSettings(int samples = 20) {
    RunSettings settings;
    settings.scaleOfError = 0.1;
    settings.sampleSize = samples;
    settings.threadCount = 2;
    return settings;
}

TEST(InMemoryRun, RefusesWhatCannotBeRun) {
    const std::vector<std::pair<std::function<void(RunSettings&, InMemoryInputs&)>, std::string>>
        cases{
            {[](RunSettings&, InMemoryInputs& in) { in = grid(1, 3); }, "at least 2 rows"},
            {[](RunSettings&, InMemoryInputs& in) { in = grid(3, 0); }, "no columns"},
            {[](RunSettings&, InMemoryInputs& in) { in.data.at(0, 0) = -INFINITY; }, "infinite"},
            {[](RunSettings&, InMemoryInputs& in) { in.rowNames = {"a"}; }, "1 row names for 4"},
            {[](RunSettings& s, InMemoryInputs&) { s.scaleOfError = 0; }, "positive number"},
            {[](RunSettings& s, InMemoryInputs& in) { s.withErrorFile = true, in.errors = grid(4, 2).data; },
             "4 rows and 2 columns, the data 4 rows and 3"},
            {[](RunSettings& s, InMemoryInputs& in) {
                 s.withErrorFile = true, in.errors = grid(4, 3).data, in.errors.at(1, 1) = -1;
             },
             "negative or infinite in row 2, column 2"},
            {[](RunSettings& s, InMemoryInputs&) { s.sampleSize = 0; }, "at least 1"},
            {[](RunSettings& s, InMemoryInputs&) { s.threadCount = 257; }, "threads"},
        };
    for (const auto& [change, words] : cases) {
        RunSettings settings = scaleSettings();
        InMemoryInputs inputs = grid(4, 3);
        change(settings, inputs);
        const std::string problem = inMemoryRunProblem(settings, inputs);
        EXPECT_NE(problem.find(words), std::string::npos) << words << " / " << problem;
        const InMemoryOutcome outcome = runInMemory(settings, inputs);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_FALSE(outcome.results.complete);
    }
    EXPECT_EQ(inMemoryRunProblem(scaleSettings(), grid(4, 3)), "");
}

TEST(InMemoryRun, DropsRowsWithMissingValuesAndTransposes) {
    InMemoryInputs inputs = grid(5, 2);
    inputs.errors = grid(5, 2).data;
    inputs.rowNames = {"a", "b", "c", "d", "e"};
    inputs.data.at(1, 0) = std::nan("");
    inputs.errors.at(3, 1) = std::nan("");
    EXPECT_EQ(dropRowsWithMissingValues(inputs), (std::vector<int>{1, 3}));
    EXPECT_EQ(inputs.rowNames, (NameTable{"a", "c", "e"}));
    EXPECT_EQ(inputs.data.values, (std::vector<double>{1, 1.5, 5, 5.5, 17, 17.5}));
    EXPECT_EQ(inputs.errors.values, inputs.data.values);

    transposeInputs(inputs);
    EXPECT_EQ(inputs.data.rowCount, 2);
    EXPECT_EQ(inputs.data.values, (std::vector<double>{1, 5, 17, 1.5, 5.5, 17.5}));
    EXPECT_EQ(inputs.columnNames, (NameTable{"a", "c", "e"}));
    EXPECT_TRUE(inputs.rowNames.empty());
}

TEST(InMemoryRun, SameResultsForAnyThreadCountAndStopsOnRequest) {
    RunSettings one = scaleSettings(50);
    one.threadCount = 1;
    const InMemoryOutcome a = runInMemory(one, grid(9, 4));
    const InMemoryOutcome b = runInMemory(scaleSettings(50), grid(9, 4));
    ASSERT_TRUE(a.results.complete && b.results.complete);
    EXPECT_EQ(a.results.firstTree.heights, b.results.firstTree.heights);
    EXPECT_EQ(a.results.consensus.support, b.results.consensus.support);

    requestRunStop();
    const InMemoryOutcome stopped = runInMemory(scaleSettings(50), grid(9, 4));
    clearRunStop();
    EXPECT_EQ(stopped.status, RunStoppedStatus);
    EXPECT_FALSE(stopped.results.complete);
}

}  // namespace
