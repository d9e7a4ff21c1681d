#include "run/stages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "run/ordered_pipeline.h"
#include "run/run_progress.h"
#include "run/run_stop.h"
#include "run/side_outputs.h"
#include "cluster/clustering.h"
#include "cluster/distance_triangle.h"
#include "cluster/merge_tree.h"
#include "cluster/tree_writer.h"
#include "consensus/consensus_stage.h"
#include "consensus/sample_clusters.h"
#include "data/preprocess.h"
#include "data/safe_text.h"
#include "resample/perturbation.h"
#include "random/random_stream.h"

namespace {

// The methods of the run, with the preprocessing only when it is switched on.
struct RunMethods {
    DistanceMetric metric{};
    Linkage linkage{};
    TreeNotation notation{};
    std::optional<PreprocessChoice> preprocessing;
};

RunMethods resolveMethods(const RunSettings& settings) {
    RunMethods methods{settings.distance, settings.linkage, settings.notation, std::nullopt};
    if (settings.preprocess)
        methods.preprocessing =
            PreprocessChoice{settings.preprocessMethod, settings.preprocessDirection};
    return methods;
}

// One resampled data set on its way through a worker.
struct SamplePass {
    NonFiniteSummary nonFiniteValues;
    std::string block;  // caption, tree text and separator
    SampleClusters clusters;
    std::vector<int> rowsWithNonFiniteDistances;
};

// Per-thread clustering state, reused from pass to pass.
struct Worker {
    DistanceTriangle distances;     // allocated by the first clustering that needs it
    MergeTree tree;
    ClusteringWorkspace workspace;  // the linkage cache, kept from pass to pass
    DataMatrix data;                // the resampled data set being clustered
    explicit Worker(int n) : tree(n) {}
};

// The first tree's heights go on to the side outputs in full; a resampled
// tree's only into the report (and its sides' order into the consensus).
void clusterAndWrite(Worker& worker, const DataMatrix& data, const RunMethods& methods,
                     const RunInputs& inputs, Heights heights, std::string& block, std::vector<int>& nonFiniteRows) {
    clusterMatrix(worker.tree, worker.distances, data, methods.metric, methods.linkage, worker.workspace, heights);
    computeLeafOrder(worker.tree);
    // The faster clustering routes have already checked every distance.
    nonFiniteRows = worker.workspace.distancesBelowSentinel() ? std::vector<int>{} : rowsToName(worker.distances);
    writeMergeTree(block, worker.tree, methods.notation, inputs.rowNames, inputs.hasRowNames);
}

int threadCountFor(const RunSettings& settings) {
    int threads = settings.threadCount;
    if (threads <= 0) {
        if (const char* env = std::getenv("NOISECLUST_THREADS")) {
            char* end = nullptr;
            const long value = std::strtol(env, &end, 10);
            static bool warned = false;  // the plan and the run both ask
            if (end == env || *end != '\0' || value < 0 || value > 256) {
                if (!std::exchange(warned, true))
                    std::cerr << "noiseclust: warning: NOISECLUST_THREADS=" << printable(env)
                              << " is not a number of threads from 0 to 256; using the hardware's\n";
            } else {
                threads = static_cast<int>(value);
            }
        }
    }
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, 256);
}

// The bytes a run needs, from costs measured with /usr/bin/time -v (see
// tests/scripts/memory_plan_check.sh): every resampled tree's summary is kept
// until the consensus (pairs, heights, keys and sizes of n-1 steps, four
// allocations and the record, about 200 + 36(n-1) bytes), and the consensus
// tallies the clusters of half of them (about 24(n-1) bytes a tree). Each
// worker holds a distance triangle, a clustering workspace, a tree and a
// resampled matrix, and up to four passes in flight (their report text and
// summary); the distances keep the worker's rows, the sums of a
// clustering pack up to all of them again, and "correlation" keeps a sum
// of unit rows per cluster. The matrices as read and the
// first tree's work come once.
struct MemoryPlan {
    double fixed = 0;
    double perThread = 0;
};

MemoryPlan memoryPlan(int n, int columns, int sampleSize, bool withErrors) {
    const double rows = n, matrix = 8.0 * rows * columns;
    const double triangle = 0.5 * rows * (rows - 1.0) * sizeof(double);
    const double perSample = 200.0 + 60.0 * (rows - 1.0);
    const double treeText = 40.0 * rows;  // one tree in the report's notation
    MemoryPlan plan;
    plan.perThread = triangle + clusteringWorkspaceBytes(n) + 64.0 * rows + 4.0 * matrix + 40.0 * rows +
                     4.0 * (treeText + perSample);
    plan.fixed = 8e6 +                                   // the program itself
                 static_cast<double>(sampleSize) * perSample +
                 (withErrors ? 3.0 : 2.0) * matrix + 48.0 * rows +
                 2.0 * triangle;  // the first tree's and the consensus work
    return plan;
}

// How many clustering threads the memory of the machine allows; zero when
// not even one fits.
int threadsThatFit(int n, int columns, int sampleSize, bool withErrors, int wanted) {
    const double pages = static_cast<double>(::sysconf(_SC_PHYS_PAGES));
    const double pageSize = static_cast<double>(::sysconf(_SC_PAGE_SIZE));
    if (pages <= 0 || pageSize <= 0) return wanted;
    const double available = 0.85 * pages * pageSize;
    const MemoryPlan plan = memoryPlan(n, columns, sampleSize, withErrors);
    if (std::getenv("NOISECLUST_TIMINGS") != nullptr)
        std::cerr << "memory plan: " << static_cast<long long>(plan.fixed + plan.perThread * wanted)
                  << " bytes for " << wanted << " threads\n";
    if (plan.fixed + plan.perThread > available) return 0;
    return std::clamp(static_cast<int>((available - plan.fixed) / plan.perThread), 1, wanted);
}

int runStagesChecked(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
                     RunResults& results);

}  // namespace

int plannedThreads(const RunSettings& settings, const RunInputs& inputs) {
    return threadsThatFit(inputs.rawMatrix.rowCount, inputs.rawMatrix.columnCount,
                          settings.sampleSize, inputs.hasErrorMatrix, threadCountFor(settings));
}

int runStages(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
              RunResults& results) {
    try {
        return runStagesChecked(settings, inputs, report, results);
    } catch (const std::bad_alloc&) {
        std::cerr << "noiseclust: there is not enough memory to cluster "
                  << inputs.rawMatrix.rowCount << " rows " << settings.sampleSize
                  << " times; try fewer rows, fewer resampled data sets or fewer threads!\n";
        return 1;
    }
}

namespace {

int runStagesChecked(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
                     RunResults& results) {
    const RunMethods methods = resolveMethods(settings);
    const int n = inputs.rawMatrix.rowCount;
    const int threads = plannedThreads(settings, inputs);
    if (threads == 0) {
        std::cerr << "noiseclust: clustering " << n << " rows " << settings.sampleSize
                  << " times needs more memory than this machine has!\n";
        return 1;
    }
    RandomStream stream = settings.seed ? streamFromSeed(*settings.seed) : RandomStream{};
    NonFiniteLog nonFinite;
    StageTimer timer;

    // First tree: the data as read, preprocessed when chosen.
    if (methods.preprocessing) {
        preprocessMatrix(inputs.workingMatrix, methods.preprocessing->method,
                         methods.preprocessing->direction, stream);
        nonFinite.noteValues(summarizeNonFinite(inputs.workingMatrix), 0);
    }
    std::vector<Worker> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) workers.emplace_back(n);
    Worker& mainWorker = workers[0];
    std::string block = "The original tree with distance is:\n";
    std::vector<int> rows;
    clusterAndWrite(mainWorker, inputs.workingMatrix, methods, inputs, Heights::Documented, block, rows);
    nonFinite.noteRows(rows);
    block += "\n\n";
    report.write(block);
    const MergeTree firstTree = mainWorker.tree;
    const SampleClusters firstTreeClusters = summarizeTree(firstTree);
    timer.lap("first-tree");

    // Resampled data sets, drawn from the one random stream in pass order,
    // clustered on the worker threads and written in pass order, so the
    // report is the same for every number of threads.
    const int sampleSize = settings.sampleSize;
    std::vector<SampleClusters> samples;
    samples.reserve(static_cast<std::size_t>(sampleSize));
    RunProgress progress(sampleSize);
    auto drawPass = [&](int thread, int i, SamplePass& pass) {
        DataMatrix& data = workers[static_cast<std::size_t>(thread)].data;
        if (inputs.hasErrorMatrix)
            perturbByErrorMatrix(stream, inputs.rawMatrix, data, inputs.errorMatrix);
        else
            perturbByScale(stream, inputs.rawMatrix, data, settings.scaleOfError);
        if (methods.preprocessing)
            preprocessMatrix(data, methods.preprocessing->method,
                             methods.preprocessing->direction, stream);
        pass.nonFiniteValues = summarizeNonFinite(data);
        pass.block = "The " + std::to_string(i + 1) + " sample tree with distance is:\n";
    };
    auto clusterPass = [&](int thread, SamplePass& pass) {
        Worker& worker = workers[static_cast<std::size_t>(thread)];
        clusterAndWrite(worker, worker.data, methods, inputs, Heights::AsPrinted, pass.block,
                        pass.rowsWithNonFiniteDistances);
        pass.block += "\n\n";
        pass.clusters = summarizeTree(worker.tree);
    };
    auto writePass = [&](int i, SamplePass& pass) {
        report.write(pass.block);
        nonFinite.noteValues(pass.nonFiniteValues, i + 1);
        nonFinite.noteRows(pass.rowsWithNonFiniteDistances);
        samples.push_back(std::move(pass.clusters));
        progress.update(i + 1);
        return !report.failed() && !runStopRequested();
    };
    runOrderedPipeline<SamplePass>(sampleSize, threads, drawPass, clusterPass, writePass);
    progress.finish();
    timer.lap("resampling");
    if (report.failed()) return 0;  // the frame reports the write failure
    if (runStopRequested()) return RunStoppedStatus;

    results.consensus = computeConsensus(firstTreeClusters, samples, n);
    std::string consensusText;
    writeConsensusStage(consensusText, firstTree, results.consensus, methods.notation,
                        inputs.rowNames, inputs.hasRowNames);
    report.write(consensusText);
    timer.lap("consensus");
    nonFinite.writeWarnings();
    results.firstTree = firstTree;
    results.complete = true;
    return 0;
}

}  // namespace
