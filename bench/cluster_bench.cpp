// Distances and clustering at growing sizes, with the literal reference
// algorithms of the tests alongside where they finish in reasonable time.
//
// Data: the first n rows of the bundled leukemia data (38 columns) when the
// shared data folder is next to the source tree, otherwise (and for n beyond
// its 3,051 rows) normal random values with 20 columns.

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "cluster/clustering.h"
#include "cluster/distance_triangle.h"
#include "cluster/merge_tree.h"
#include "data/data_matrix.h"
#include "resample/perturbation.h"
#include "random/random_stream.h"
#ifdef NOISECLUST_BENCH_HAS_REFERENCE
#include "reference/literal_clustering.h"
#endif

namespace {

// Rows of a layout-1 matrix file (counts, column names, then name and values).
DataMatrix readLeadingRows(const std::string& path, int rows) {
    std::ifstream in(path);
    int fileRows = 0, columns = 0;
    if (!(in >> fileRows >> columns) || fileRows < rows) return {};
    std::string line;
    std::getline(in, line);
    std::getline(in, line);  // column names
    DataMatrix m = allocateMatrix(rows, columns);
    for (int r = 0; r < rows && std::getline(in, line); ++r) {
        std::istringstream fields(line);
        std::string name;
        std::getline(fields, name, '\t');
        for (int c = 0; c < columns; ++c) fields >> m.at(r, c);
    }
    return m;
}

const DataMatrix& benchMatrix(int n) {
    static std::map<int, DataMatrix> cache;
    auto found = cache.find(n);
    if (found != cache.end()) return found->second;
    DataMatrix m = readLeadingRows(std::string(NOISECLUST_SOURCE_DIR) + "/../shared/data/golub.txt", n);
    if (m.rowCount != n) {
        std::mt19937 random(static_cast<unsigned>(n));
        std::normal_distribution<double> normal;
        m = allocateMatrix(n, 20);
        for (double& v : m.values) v = normal(random);
    }
    return cache.emplace(n, std::move(m)).first->second;
}

const DistanceTriangle& benchDistances(int n) {
    static std::map<int, DistanceTriangle> cache;
    auto found = cache.find(n);
    if (found != cache.end()) return found->second;
    DistanceTriangle d;
    computeDistances(d, benchMatrix(n), DistanceMetric::Correlation);
    return cache.emplace(n, std::move(d)).first->second;
}

// The data of one resampling pass: every value redrawn with a relative
// error of 0.1, as the resampling stage does.
const DistanceTriangle& perturbedDistances(int n) {
    static std::map<int, DistanceTriangle> cache;
    auto found = cache.find(n);
    if (found != cache.end()) return found->second;
    RandomStream stream;
    DataMatrix perturbed = benchMatrix(n);
    perturbByScale(stream, benchMatrix(n), perturbed, 0.1);
    DistanceTriangle d;
    computeDistances(d, perturbed, DistanceMetric::Correlation);
    return cache.emplace(n, std::move(d)).first->second;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int n : {100, 300, 1000, 3000, 5000}) b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

void smallSizes(benchmark::internal::Benchmark* b) {
    for (int n : {100, 300}) b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

// One resampled data set's draws: every value of the matrix redrawn.
void BM_Perturbation(benchmark::State& state) {
    const DataMatrix& m = benchMatrix(static_cast<int>(state.range(0)));
    DataMatrix perturbed = m;
    RandomStream stream;
    for (auto _ : state) {
        perturbByScale(stream, m, perturbed, 0.1);
        benchmark::DoNotOptimize(perturbed.values.data());
    }
}
BENCHMARK(BM_Perturbation)->Apply(sizes);

void BM_CorrelationDistances(benchmark::State& state) {
    const DataMatrix& m = benchMatrix(static_cast<int>(state.range(0)));
    DistanceTriangle d(m.rowCount);
    for (auto _ : state) {
        computeDistances(d, m, DistanceMetric::Correlation);
        benchmark::DoNotOptimize(d.entries.data());
    }
}
BENCHMARK(BM_CorrelationDistances)->Apply(sizes);

void BM_EuclideanDistances(benchmark::State& state) {
    const DataMatrix& m = benchMatrix(static_cast<int>(state.range(0)));
    DistanceTriangle d(m.rowCount);
    for (auto _ : state) {
        computeDistances(d, m, DistanceMetric::Euclidean);
        benchmark::DoNotOptimize(d.entries.data());
    }
}
BENCHMARK(BM_EuclideanDistances)->Apply(sizes);

template <Linkage linkage>
void BM_Clustering(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const DistanceTriangle& d = benchDistances(n);
    MergeTree tree(n);
    ClusteringWorkspace workspace;  // reused, as one worker thread does
    clusterObjects(tree, d, linkage, workspace);
    for (auto _ : state) {
        clusterObjects(tree, d, linkage, workspace);
        benchmark::DoNotOptimize(tree.heights.data());
    }
}
BENCHMARK(BM_Clustering<Linkage::Average>)->Apply(sizes);

// "average" on the distances of a resampled data set, with the number of
// linkage values summed from member lists per clustering.
void BM_ClusteringResampled(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const DistanceTriangle& d = perturbedDistances(n);
    MergeTree tree(n);
    ClusteringWorkspace workspace;
    clusterObjects(tree, d, Linkage::Average, workspace);
    for (auto _ : state) {
        clusterObjects(tree, d, Linkage::Average, workspace);
        benchmark::DoNotOptimize(tree.heights.data());
    }
    state.counters["exact_sums"] = static_cast<double>(workspace.exactLinkages);
}
BENCHMARK(BM_ClusteringResampled)->Apply(sizes);

// One resampling pass from its matrix, as a worker runs it ("correlation",
// "average"): with the documented heights, as for the first tree, or with
// heights only as exact as the report prints them, as for a resampled tree.
template <Heights heights>
void BM_ResampledPass(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RandomStream stream;
    DataMatrix perturbed = benchMatrix(n);
    perturbByScale(stream, benchMatrix(n), perturbed, 0.1);
    MergeTree tree(n);
    DistanceTriangle d;
    ClusteringWorkspace workspace;
    clusterMatrix(tree, d, perturbed, DistanceMetric::Correlation, Linkage::Average, workspace, heights);
    for (auto _ : state) {
        clusterMatrix(tree, d, perturbed, DistanceMetric::Correlation, Linkage::Average, workspace, heights);
        benchmark::DoNotOptimize(tree.heights.data());
    }
    state.counters["exact_sums"] = static_cast<double>(workspace.exactLinkages);
}
BENCHMARK(BM_ResampledPass<Heights::Documented>)->Apply(sizes);
BENCHMARK(BM_ResampledPass<Heights::AsPrinted>)->Apply(sizes);

// The same without a kept workspace: every call allocates its buffers.
void BM_ClusteringResampledFreshBuffers(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const DistanceTriangle& d = perturbedDistances(n);
    MergeTree tree(n);
    for (auto _ : state) {
        clusterObjects(tree, d, Linkage::Average);
        benchmark::DoNotOptimize(tree.heights.data());
    }
}
BENCHMARK(BM_ClusteringResampledFreshBuffers)->Apply(sizes);
BENCHMARK(BM_Clustering<Linkage::Compact>)->Apply(sizes);
BENCHMARK(BM_Clustering<Linkage::Connected>)->Apply(sizes);

// The nearest-neighbour table alone (what the faster routes fall back
// to), for the before / after comparison in one run; the counter
// "table" is 1 when clusterObjects on the same data runs the table too.
template <Linkage linkage>
void BM_TableClustering(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const DistanceTriangle& d = benchDistances(n);
    MergeTree tree(n);
    ClusteringWorkspace workspace;
    clusterByTable(tree, d, linkage, workspace);
    for (auto _ : state) {
        clusterByTable(tree, d, linkage, workspace);
        benchmark::DoNotOptimize(tree.heights.data());
    }
    clusterObjects(tree, d, linkage, workspace);
    state.counters["table"] = workspace.usedTable ? 1 : 0;
}
BENCHMARK(BM_TableClustering<Linkage::Average>)->Apply(sizes);
BENCHMARK(BM_TableClustering<Linkage::Compact>)->Apply(sizes);
BENCHMARK(BM_TableClustering<Linkage::Connected>)->Apply(sizes);

#ifdef NOISECLUST_BENCH_HAS_REFERENCE
void BM_LiteralCorrelationDistances(benchmark::State& state) {
    const DataMatrix& m = benchMatrix(static_cast<int>(state.range(0)));
    DistanceTriangle d(m.rowCount);
    for (auto _ : state) {
        literal::computeDistances(d, m, DistanceMetric::Correlation);
        benchmark::DoNotOptimize(d.entries.data());
    }
}
BENCHMARK(BM_LiteralCorrelationDistances)->Apply(sizes);

template <Linkage linkage>
void BM_LiteralClustering(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const DistanceTriangle& d = benchDistances(n);
    MergeTree tree(n);
    for (auto _ : state) {
        literal::clusterObjects(tree, d, linkage);
        benchmark::DoNotOptimize(tree.heights.data());
    }
}
BENCHMARK(BM_LiteralClustering<Linkage::Average>)->Apply(smallSizes);
BENCHMARK(BM_LiteralClustering<Linkage::Compact>)->Apply(smallSizes);
#endif

void BM_LeafOrder(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MergeTree tree(n);
    clusterObjects(tree, benchDistances(n), Linkage::Average);
    for (auto _ : state) {
        computeLeafOrder(tree);
        benchmark::DoNotOptimize(tree.leafOrder.data());
    }
}
BENCHMARK(BM_LeafOrder)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
