// The Python module: numpy arrays in, the first tree as a scipy linkage
// matrix, its confidence values and the consensus clusters out. The run goes
// on a thread of its own while the calling thread, without the GIL, looks
// for Ctrl-C every tenth of a second.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <future>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/cluster_pick.h"
#include "output/newick.h"
#include "run/in_memory_run.h"
#include "run/run_stop.h"

namespace py = pybind11;

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

DataMatrix matrixOf(const Array& array, const char* what) {
    if (array.ndim() != 2)
        throw py::value_error(std::string(what) + " must be 2-dimensional, not " +
                              std::to_string(array.ndim()) + "-dimensional");
    if (array.shape(0) > 1'000'000'000 || array.shape(1) > 1'000'000'000)
        throw py::value_error(std::string(what) + " is too large");
    DataMatrix m;
    m.rowCount = static_cast<int>(array.shape(0));
    m.columnCount = static_cast<int>(array.shape(1));
    m.values.assign(array.data(), array.data() + array.size());
    return m;
}

// The finished run, kept for the Python-side result object.
struct RunOutcome {
    RunResults results;
    NameTable rowNames;
    bool hasRowNames = false;
    int sampleSize = 0;
    std::vector<int> droppedRows;
    std::string warnings;
};

// Runs off the interpreter's thread; a pending KeyboardInterrupt stops it.
InMemoryOutcome runInterruptibly(const RunSettings& settings, InMemoryInputs inputs) {
    std::future<InMemoryOutcome> running;
    {
        py::gil_scoped_release released;
        clearRunStop();
        running = std::async(std::launch::async, runInMemory, settings, std::move(inputs));
    }
    for (;;) {
        {
            py::gil_scoped_release released;
            if (running.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready)
                break;
        }
        if (PyErr_CheckSignals() != 0) {
            {
                py::gil_scoped_release released;
                requestRunStop();
                running.wait();
                clearRunStop();
            }
            try {
                running.get();
            } catch (...) {
            }
            throw py::error_already_set();
        }
    }
    return running.get();
}

RunOutcome run(Array data, std::optional<Array> errors, std::optional<double> scale, int samples,
               const std::string& distance, const std::string& linkage,
               std::optional<std::string> preprocess, bool clusterColumns,
               std::optional<int> threads, NameTable rowNames, NameTable columnNames,
               bool dropMissing, std::optional<std::uint64_t> seed) {
    RunSettings settings;
    settings.seed = seed;
    settings.sampleSize = samples;
    if (const auto metric = distanceOfName(distance)) settings.distance = *metric;
    else throw py::value_error("unknown distance \"" + distance +
                               "\"; use euclidean, correlation, maximum, manhattan or binary");
    if (const auto method = linkageOfName(linkage)) settings.linkage = *method;
    else throw py::value_error("unknown linkage \"" + linkage +
                               "\"; use average, complete (compact) or single (connected)");
    if (preprocess) {
        const auto choice = preprocessingOfName(*preprocess);
        if (!choice)
            throw py::value_error("unknown preprocessing \"" + *preprocess +
                                  "\"; use DIRECTION:METHOD, DIRECTION row or column, METHOD "
                                  "log, normal, meancenter, mediancenter or max");
        settings.preprocess = true;
        settings.preprocessDirection = choice->direction;
        settings.preprocessMethod = choice->method;
    }
    if (errors.has_value() == scale.has_value())
        throw py::value_error("give exactly one of errors (standard errors of the data) and scale");
    settings.withErrorFile = errors.has_value();
    if (scale) settings.scaleOfError = *scale;
    settings.threadCount = threads.value_or(0);

    InMemoryInputs inputs;
    inputs.data = matrixOf(data, "data");
    if (errors) inputs.errors = matrixOf(*errors, "errors");
    inputs.rowNames = std::move(rowNames);
    inputs.columnNames = std::move(columnNames);
    if (clusterColumns) transposeInputs(inputs);
    RunOutcome outcome;
    if (dropMissing) outcome.droppedRows = dropRowsWithMissingValues(inputs);
    if (const std::string problem = inMemoryRunProblem(settings, inputs); !problem.empty())
        throw py::value_error(problem);
    outcome.rowNames = inputs.rowNames;
    outcome.hasRowNames = !inputs.rowNames.empty();
    outcome.sampleSize = samples;

    InMemoryOutcome done = runInterruptibly(settings, std::move(inputs));
    if (done.status != 0) throw std::runtime_error(done.messages);
    outcome.results = std::move(done.results);
    outcome.warnings = std::move(done.messages);
    return outcome;
}

// The first tree in scipy's numbering: leaves 0..n-1, step i's cluster n+i.
py::array_t<double> linkageMatrix(const RunOutcome& outcome) {
    const MergeTree& tree = outcome.results.firstTree;
    const int n = tree.objectCount;
    const auto pairs = mergePairsInLeafOrder(tree);
    py::array_t<double> z({static_cast<py::ssize_t>(pairs.size()), py::ssize_t{4}});
    auto out = z.mutable_unchecked<2>();
    std::vector<int> sizes(pairs.size(), 0);
    auto scipyNumber = [n](int member) { return member < 0 ? -member - 1 : n + member - 1; };
    auto sizeOf = [&](int member) { return member < 0 ? 1 : sizes[index(member - 1)]; };
    for (std::size_t s = 0; s < pairs.size(); ++s) {
        sizes[s] = sizeOf(pairs[s].member0) + sizeOf(pairs[s].member1);
        out(s, 0) = scipyNumber(pairs[s].member0);
        out(s, 1) = scipyNumber(pairs[s].member1);
        out(s, 2) = tree.heights[s];
        out(s, 3) = sizes[s];
    }
    return z;
}

std::vector<double> standardErrors(const RunOutcome& outcome) {
    std::vector<double> errors;
    const double h = outcome.sampleSize;
    for (double p : outcome.results.consensus.support) errors.push_back(std::sqrt(p * (1 - p) / h));
    return errors;
}

// Per node of the consensus tree: its members (0-based rows) and confidence.
std::vector<std::pair<std::vector<int>, double>> consensusClusters(const RunOutcome& outcome) {
    const ConsensusTree& tree = outcome.results.consensus.consensusTree;
    std::vector<std::pair<std::vector<int>, double>> clusters;
    for (int i = 0; i < tree.nodeCount(); ++i) {
        std::vector<int> members;
        for (int object : tree.members[index(i)]) members.push_back(object - 1);
        clusters.emplace_back(std::move(members), tree.values[index(i)]);
    }
    return clusters;
}

}  // namespace

PYBIND11_MODULE(_noiseclust, m) {
    m.doc() = "The noiseclust engine; use the noiseclust package.";
    py::class_<RunOutcome>(m, "RunOutcome")
        .def_property_readonly("linkage", &linkageMatrix)
        .def_property_readonly("confidence",
                               [](const RunOutcome& o) { return o.results.consensus.support; })
        .def_property_readonly("standard_error", &standardErrors)
        .def_property_readonly("consensus", &consensusClusters)
        .def_property_readonly("leaf_order",
                               [](const RunOutcome& o) {
                                   std::vector<int> order;
                                   for (int object : o.results.firstTree.leafOrder)
                                       order.push_back(object - 1);
                                   return order;
                               })
        .def_readonly("dropped_rows", &RunOutcome::droppedRows)
        .def_readonly("warnings", &RunOutcome::warnings)
        .def("newick",
             [](const RunOutcome& o) {
                 return newickOfFirstTree(o.results.firstTree, o.results.consensus.support,
                                          o.rowNames, o.hasRowNames);
             })
        .def("consensus_newick",
             [](const RunOutcome& o) {
                 return newickOfConsensusTree(o.results.consensus.consensusTree, o.rowNames,
                                              o.hasRowNames);
             })
        .def("pick_steps", [](const RunOutcome& o, double threshold) {
            return outermostStepsAtLeast(o.results.firstTree, o.results.consensus.support,
                                         threshold);
        });
    m.def("run", &run, py::arg("data"), py::arg("errors"), py::arg("scale"), py::arg("samples"),
          py::arg("distance"), py::arg("linkage"), py::arg("preprocess"),
          py::arg("cluster_columns"), py::arg("threads"), py::arg("row_names"),
          py::arg("column_names"), py::arg("drop_missing"), py::arg("seed") = py::none());
}
