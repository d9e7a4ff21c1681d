#include "run/stages.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <iostream>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "output/cluster_table.h"
#include "output/dendrogram_svg.h"
#include "run/run_progress.h"
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

// Non-finite values and distances are not errors, but a careful user wants to
// know about them: the run collects where they first arose and warns once.
struct NonFiniteLog {
    long long valueCount = 0;
    int firstValuePass = -1;  // 0 = the data as read
    int firstValueRow = -1;   // 0-based
    std::set<int> rowsWithNonFiniteDistances;  // 1-based row numbers

    void noteValues(const NonFiniteSummary& summary, int pass) {
        if (summary.count == 0) return;
        if (valueCount == 0) {
            firstValuePass = pass;
            firstValueRow = summary.firstRow;
        }
        valueCount += summary.count;
    }
    void writeWarnings() const {
        if (valueCount > 0) {
            std::cerr << "noiseclust: warning: " << valueCount
                      << " value(s) became infinite or not a number after preprocessing or "
                         "resampling, first ";
            if (firstValuePass == 0) std::cerr << "in the data as read";
            else std::cerr << "in resampled data set " << firstValuePass;
            std::cerr << ", row " << firstValueRow + 1 << "\n";
        }
        if (!rowsWithNonFiniteDistances.empty()) {
            std::cerr << "noiseclust: warning: infinite or undefined distances involve row(s) ";
            int listed = 0;
            for (int row : rowsWithNonFiniteDistances) {
                if (listed == 20) {
                    std::cerr << " and " << rowsWithNonFiniteDistances.size() - 20 << " more";
                    break;
                }
                std::cerr << (listed ? ", " : "") << row;
                ++listed;
            }
            std::cerr << "; the trees were still built, with those distances as heights\n";
        }
    }
};

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

// The rows to name in the warning about non-finite distances: those whose
// distances to at least half of the other rows are affected (a constant row
// under "correlation" spoils one distance of every other row, and only it
// should be named), or every affected row when none is that bad.
std::vector<int> rowsToName(const DistanceTriangle& distances) {
    std::vector<int> affected = rowsWithNonFiniteDistances(distances);
    if (affected.empty()) return affected;
    const int n = distances.objectCount;
    std::vector<int> spoiled(static_cast<std::size_t>(n), 0);
    std::size_t at = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j, ++at)
            if (!(std::fabs(distances.entries[at]) < 1e100)) {
                ++spoiled[static_cast<std::size_t>(i)];
                ++spoiled[static_cast<std::size_t>(j)];
            }
    std::vector<int> worst;
    for (int row : affected)
        if (2 * spoiled[static_cast<std::size_t>(row - 1)] >= n - 1) worst.push_back(row);
    return worst.empty() ? affected : worst;
}

void clusterAndWrite(Worker& worker, const DataMatrix& data, const RunMethods& methods,
                     const RunInputs& inputs, std::string& block, std::vector<int>& nonFiniteRows) {
    computeDistances(worker.distances, data, methods.metric);
    clusterObjects(worker.tree, worker.distances, methods.linkage, worker.workspace);
    computeLeafOrder(worker.tree);
    nonFiniteRows = rowsToName(worker.distances);
    writeMergeTree(block, worker.tree, methods.notation, inputs.rowNames, inputs.hasRowNames);
}

// Writes a side file (picture, table) whole; false after a message.
bool writeWholeFile(const std::string& fileName, const std::string& text) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    bool written = file != nullptr &&
                   std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written)
        std::cerr << "noiseclust: cannot write " << fileName << ": " << std::strerror(errno)
                  << "\n";
    return written;
}

// With NOISECLUST_TIMINGS set, the wall time of each stage goes to standard
// error (for benchmarks; the report is unchanged).
class StageTimer {
public:
    StageTimer() : enabled_(std::getenv("NOISECLUST_TIMINGS") != nullptr) {}
    void lap(const char* stage) {
        const auto now = std::chrono::steady_clock::now();
        if (enabled_)
            std::cerr << "noiseclust: timing: " << stage << " "
                      << std::chrono::duration<double>(now - last_).count() << " s\n";
        last_ = now;
    }

private:
    bool enabled_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

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
// few distance triangles of n(n-1)/2 doubles, and the summaries of all
// resampled trees are kept until the consensus. Zero when not even one fits.
int threadsThatFit(int n, int sampleSize, int wanted) {
    const double pages = static_cast<double>(::sysconf(_SC_PHYS_PAGES));
    const double pageSize = static_cast<double>(::sysconf(_SC_PAGE_SIZE));
    if (pages <= 0 || pageSize <= 0) return wanted;
    const double available = 0.85 * pages * pageSize;
    const double triangle = 0.5 * n * (n - 1.0) * sizeof(double);
    const double perThread = 4.0 * triangle;  // distances, the n x n linkage cache, spare
    const double summaries = static_cast<double>(sampleSize) * n * 48.0;
    const double fixed = summaries + 2.0 * triangle;  // the first tree's and the consensus work
    if (fixed + perThread > available) return 0;
    return std::clamp(static_cast<int>((available - fixed) / perThread), 1, wanted);
}

int runStagesChecked(const RunSettings& settings, RunInputs& inputs, ReportFile& report);

}  // namespace

int runStages(const RunSettings& settings, RunInputs& inputs, ReportFile& report) {
    try {
        return runStagesChecked(settings, inputs, report);
    } catch (const std::bad_alloc&) {
        std::cerr << "noiseclust: there is not enough memory to cluster "
                  << inputs.rawMatrix.rowCount << " rows " << settings.sampleSize
                  << " times; try fewer rows, fewer resampled data sets or fewer threads!\n";
        return 1;
    }
}

namespace {

int runStagesChecked(const RunSettings& settings, RunInputs& inputs, ReportFile& report) {
    const RunMethods methods = resolveMethods(settings);
    const int n = inputs.rawMatrix.rowCount;
    const int threads = threadsThatFit(n, settings.sampleSize, threadCountFor(settings));
    if (threads == 0) {
        std::cerr << "noiseclust: clustering " << n << " rows " << settings.sampleSize
                  << " times needs more memory than this machine has!\n";
        return 1;
    }
    RandomStream stream;
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
    nonFinite.rowsWithNonFiniteDistances.insert(rows.begin(), rows.end());
    block += "\n\n";
    report.write(block);
    MergeTree firstTree = mainWorker.tree;
    const SampleClusters firstTreeClusters = summarizeTree(firstTree);
    timer.lap("first-tree");

    // Resampled data sets. The random stream is one sequence: a thread takes
    // the next pass and draws its data set while it holds the lock, so the
    // data sets come from the stream in pass order whatever the threads do.
    // It then clusters that data set by itself, and the blocks are written in
    // pass order by whichever thread completes the pass that is due next. At
    // most `window` passes are in flight or waiting to be written.
    const int sampleSize = settings.sampleSize;
    const int window = threads * 4;
    std::vector<SampleClusters> samples;
    samples.reserve(static_cast<std::size_t>(sampleSize));
    std::vector<SamplePass> waiting(static_cast<std::size_t>(window));
    std::vector<char> isReady(static_cast<std::size_t>(window), 0);
    RunProgress progress(sampleSize);
    std::mutex lockOfRun;  // the stream, the pass counters, the report
    std::condition_variable passWritten;
    int nextPass = 0;
    int nextToWrite = 0;
    bool stop = false;
    std::exception_ptr failure;

    auto drawPass = [&](Worker& worker, SamplePass& pass, int i) {
        if (inputs.hasErrorMatrix)
            perturbByErrorMatrix(stream, inputs.rawMatrix, worker.data, inputs.errorMatrix);
        else
            perturbByScale(stream, inputs.rawMatrix, worker.data, settings.scaleOfError);
        if (methods.preprocessing)
            preprocessMatrix(worker.data, methods.preprocessing->method,
                             methods.preprocessing->direction, stream);
        pass.nonFiniteValues = summarizeNonFinite(worker.data);
        pass.block = "The " + std::to_string(i + 1) + " sample tree with distance is:\n";
    };
    auto writeReadyPasses = [&] {
        for (;;) {
            const auto slot = static_cast<std::size_t>(nextToWrite % window);
            if (nextToWrite >= sampleSize || !isReady[slot]) break;
            SamplePass& pass = waiting[slot];
            report.write(pass.block);
            nonFinite.noteValues(pass.nonFiniteValues, nextToWrite + 1);
            nonFinite.rowsWithNonFiniteDistances.insert(pass.rowsWithNonFiniteDistances.begin(),
                                                        pass.rowsWithNonFiniteDistances.end());
            samples.push_back(std::move(pass.clusters));
            isReady[slot] = 0;
            ++nextToWrite;
        }
        if (report.failed()) stop = true;
        progress.update(nextToWrite);
    };
    auto work = [&](Worker& worker) noexcept {
        std::unique_lock lock(lockOfRun);
        try {
            for (;;) {
                passWritten.wait(lock, [&] {
                    return stop || nextPass >= sampleSize || nextPass < nextToWrite + window;
                });
                if (stop || nextPass >= sampleSize) return;
                const int i = nextPass++;
                SamplePass pass;
                drawPass(worker, pass, i);
                lock.unlock();
                clusterAndWrite(worker, worker.data, methods, inputs, pass.block,
                                pass.rowsWithNonFiniteDistances);
                pass.block += "\n\n";
                pass.clusters = summarizeTree(worker.tree);
                lock.lock();
                const auto slot = static_cast<std::size_t>(i % window);
                waiting[slot] = std::move(pass);
                isReady[slot] = 1;
                writeReadyPasses();
                passWritten.notify_all();
            }
        } catch (...) {
            if (!lock.owns_lock()) lock.lock();
            if (!failure) failure = std::current_exception();
            stop = true;
            passWritten.notify_all();
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, sampleSize); ++t)
        helpers.emplace_back(work, std::ref(workers[static_cast<std::size_t>(t)]));
    work(workers[0]);
    for (auto& h : helpers) h.join();
    if (failure) std::rethrow_exception(failure);
    progress.finish();
    timer.lap("resampling");
    if (report.failed()) return 0;  // the frame reports the write failure

    const MergeTree firstTreeWithHeights = firstTree;
    std::string consensusText;
    ConsensusResults results =
        writeConsensusStage(consensusText, firstTree, firstTreeClusters, samples, methods.notation,
                            inputs.rowNames, inputs.hasRowNames);
    report.write(consensusText);
    timer.lap("consensus");
    nonFinite.writeWarnings();
    if (report.failed()) return 0;

    if (!settings.svgFileName.empty()) {
        std::string picture;
        writeDendrogramSvg(picture, DendrogramInput{firstTreeWithHeights, results.support,
                                                    results.consensus, inputs.rowNames,
                                                    inputs.hasRowNames, settings.highlight});
        if (!writeWholeFile(settings.svgFileName, picture)) return 1;
    }
    if (!settings.clusterTableFileName.empty()) {
        std::string table;
        writeClusterTable(table, firstTreeWithHeights, results.support, inputs.rowNames,
                          inputs.hasRowNames);
        if (!writeWholeFile(settings.clusterTableFileName, table)) return 1;
    }
    return 0;
}

}  // namespace
