// The consensus stage: support values, majority selection, size sort and the
// consensus tree text, from the per-sample summaries the resampling stage
// keeps; and, at small sizes, the literal member-by-member algorithms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "consensus/consensus_writer.h"
#include "consensus/majority_rule.h"
#include "consensus/sample_clusters.h"

#ifdef NOISECLUST_BENCH_HAS_REFERENCE
#include "reference/literal_consensus.h"
#endif

namespace {

// Trees like resampled ones: n points on a line, each tree from the points
// moved by normal noise and joined at the smallest gaps first (the tree of
// the connected linkage in one dimension). Small noise keeps most clusters
// in most trees, as with real resampling. With chain set the points are
// 1, 4, 9, 16, ...: ever wider gaps, so the trees are chains.
std::vector<MergeTree> similarTrees(int n, int count, unsigned seed, bool chain = false) {
    const double noise = 0.3;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(0.0, static_cast<double>(n));
    std::normal_distribution<double> normal(0.0, noise);
    std::vector<double> base(static_cast<std::size_t>(n));
    for (std::size_t o = 0; o < base.size(); ++o) {
        base[o] = chain ? static_cast<double>((o + 1) * (o + 1)) : uniform(random);
    }
    std::vector<MergeTree> trees;
    for (int t = 0; t < count; ++t) {
        std::vector<std::pair<double, int>> points;  // position, object
        for (int o = 1; o <= n; ++o) points.emplace_back(base[static_cast<std::size_t>(o - 1)] + normal(random), o);
        std::sort(points.begin(), points.end());
        std::vector<std::pair<double, int>> gaps;  // width, left position
        for (int p = 0; p + 1 < n; ++p) {
            gaps.emplace_back(points[static_cast<std::size_t>(p + 1)].first - points[static_cast<std::size_t>(p)].first, p);
        }
        std::sort(gaps.begin(), gaps.end());
        // Each run of joined positions knows its ends and its merge-pair code.
        std::vector<int> runStart(static_cast<std::size_t>(n));
        std::vector<int> runEnd(static_cast<std::size_t>(n));
        std::vector<int> code(static_cast<std::size_t>(n));
        for (int p = 0; p < n; ++p) {
            runStart[static_cast<std::size_t>(p)] = runEnd[static_cast<std::size_t>(p)] = p;
            code[static_cast<std::size_t>(p)] = -points[static_cast<std::size_t>(p)].second;
        }
        MergeTree tree(n);
        for (int s = 0; s + 1 < n; ++s) {
            const auto [width, p] = gaps[static_cast<std::size_t>(s)];
            const int left = runStart[static_cast<std::size_t>(p)];
            const int right = runEnd[static_cast<std::size_t>(p + 1)];
            tree.mergePairs[static_cast<std::size_t>(s)] =
                MergePair{code[static_cast<std::size_t>(left)], code[static_cast<std::size_t>(p + 1)]};
            tree.heights[static_cast<std::size_t>(s)] = width;
            runEnd[static_cast<std::size_t>(left)] = right;
            runStart[static_cast<std::size_t>(right)] = left;
            code[static_cast<std::size_t>(left)] = code[static_cast<std::size_t>(right)] = s + 1;
        }
        trees.push_back(tree);
    }
    return trees;
}

std::vector<SampleClusters> summaries(const std::vector<MergeTree>& trees) {
    std::vector<SampleClusters> result;
    result.reserve(trees.size());
    for (const MergeTree& tree : trees) result.push_back(summarizeTree(tree));
    return result;
}

void BM_ConsensusStage(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const std::vector<MergeTree> trees = similarTrees(n, h + 1, 17, state.range(2) != 0);
    const SampleClusters first = summarizeTree(trees[0]);
    const std::vector<SampleClusters> samples =
        summaries(std::vector<MergeTree>(trees.begin() + 1, trees.end()));
    int selected = 0;
    for (auto _ : state) {
        std::vector<double> support = computeSupportValues(first, samples);
        const ConsensusTree consensus = buildConsensusTree(buildConsensusClusters(samples, n));
        std::string out;
        writeConsensusTree(out, consensus, TreeNotation::NewHampshire, {}, false);
        selected = consensus.nodeCount();
        benchmark::DoNotOptimize(support.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["selected"] = selected;
}
// Arguments: n, h, chain-shaped trees.
BENCHMARK(BM_ConsensusStage)
    ->Args({5, 1, 0})->Args({20, 10, 0})->Args({60, 30, 0})->Args({150, 50, 0})->Args({150, 50, 1})
    ->Args({1000, 500, 0})->Args({1000, 500, 1})->Args({5000, 500, 0})
    ->Unit(benchmark::kMicrosecond);

// What the resampling stage adds per sample.
void BM_SummarizeTree(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const MergeTree tree = similarTrees(n, 1, 5)[0];
    for (auto _ : state) {
        SampleClusters summary = summarizeTree(tree);
        benchmark::DoNotOptimize(summary.keys.data());
    }
}
BENCHMARK(BM_SummarizeTree)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

#ifdef NOISECLUST_BENCH_HAS_REFERENCE
void BM_LiteralConsensusStage(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const std::vector<MergeTree> trees = similarTrees(n, h + 1, 17, state.range(2) != 0);
    std::vector<ClusterList> lists;
    for (const MergeTree& tree : trees) lists.push_back(literal::clusterListOf(tree));
    const ClusterList first = lists[0];
    const std::vector<ClusterList> samples(lists.begin() + 1, lists.end());
    for (auto _ : state) {
        std::vector<double> support = literal::computeSupportValues(first, samples);
        ClusterList consensus = literal::selectMajorityClusters(samples, n);
        consensus.sortBySize();
        std::string out;
        literal::writeConsensusTree(out, consensus, TreeNotation::NewHampshire, {}, false);
        benchmark::DoNotOptimize(support.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_LiteralConsensusStage)
    ->Args({5, 1, 0})->Args({20, 10, 0})->Args({60, 30, 0})->Args({150, 50, 0})->Args({150, 50, 1})
    ->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
