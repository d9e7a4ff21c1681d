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
    DistanceTriangle distances;
    MergeTree tree;
    ClusteringWorkspace workspace;  // the linkage cache, kept from pass to pass
    DataMatrix data;                // the resampled data set being clustered
    explicit Worker(int n) : distances(n), tree(n) {}
};

void clusterAndWrite(Worker& worker, const DataMatrix& data, const RunMethods& methods,
                     const RunInputs& inputs, std::string& block, std::vector<int>& nonFiniteRows) {
    computeDistances(worker.distances, data, methods.metric);
    clusterObjects(worker.tree, worker.distances, methods.linkage, worker.workspace);
    computeLeafOrder(worker.tree);
    nonFiniteRows = rowsToName(worker.distances);
    writeMergeTree(block, worker.tree, methods.notation, inputs.rowNames, inputs.hasRowNames);
}

int threadCountFor(const RunSettings& settings) {
    int threads = settings.threadCount;
    if (threads <= 0) {
        if (const char* env = std::getenv("NOISECLUST_THREADS")) {
            char* end = nullptr;
            const long value = std::strtol(env, &end, 10);
            if (end == env || *end != '\0' || value < 0 || value > 256)
                std::cerr << "noiseclust: warning: NOISECLUST_THREADS=" << env
                          << " is not a number of threads from 0 to 256; using the hardware's\n";
            else
                threads = static_cast<int>(value);
        }
    }
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, 256);
}

// How many clustering threads the memory of the machine allows: each needs a
// distance triangle of n(n-1)/2 doubles and a clustering workspace, and the
// summaries of all resampled trees are kept until the consensus. Zero when
// not even one fits.
int threadsThatFit(int n, int sampleSize, int wanted) {
    const double pages = static_cast<double>(::sysconf(_SC_PHYS_PAGES));
    const double pageSize = static_cast<double>(::sysconf(_SC_PAGE_SIZE));
    if (pages <= 0 || pageSize <= 0) return wanted;
    const double available = 0.85 * pages * pageSize;
    const double triangle = 0.5 * n * (n - 1.0) * sizeof(double);
    const double perThread = triangle + clusteringWorkspaceBytes(n) + n * 64.0;  // and its tree
    const double summaries = static_cast<double>(sampleSize) * n * 48.0;
    const double fixed = summaries + 2.0 * triangle;  // the first tree's and the consensus work
    if (fixed + perThread > available) return 0;
    return std::clamp(static_cast<int>((available - fixed) / perThread), 1, wanted);
}

int runStagesChecked(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
                     RunResults& results);

}  // namespace

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
    const int threads = threadsThatFit(n, settings.sampleSize, threadCountFor(settings));
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
    clusterAndWrite(mainWorker, inputs.workingMatrix, methods, inputs, block, rows);
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
        clusterAndWrite(worker, worker.data, methods, inputs, pass.block,
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
