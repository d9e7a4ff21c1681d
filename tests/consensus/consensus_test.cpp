// The consensus rules: hand-worked cases of what the differential test
// cannot judge on its own (the unstable size sort, one object, a chain too
// deep for recursion), then the fast path against the literal member-by-member
// algorithms on many random trees with tied heights and recurring clusters.
// The pinned reports hold hand-checked majority selections and child orders.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "consensus/consensus_writer.h"
#include "consensus/majority_rule.h"
#include "consensus/sample_clusters.h"
#include "consensus_test_trees.h"
#include "reference/literal_consensus.h"

namespace {

using consensus_test::clustersOf;
using consensus_test::slotMembers;

TEST(ClusterList, ExchangeSortBySizeIsNotStable) {
    // Sizes 2 (a), 2 (b), 1 (c): c is exchanged with a, then b with a.
    ClusterList list = clustersOf(4, {{1, 2}, {3, 4}, {1}}, {0.1, 0.2, 0.3});
    list.sortBySize();
    EXPECT_EQ(slotMembers(list, 0), std::vector<int>{1});
    EXPECT_EQ(slotMembers(list, 1), (std::vector<int>{3, 4}));
    EXPECT_EQ(std::vector<double>(list.values.begin(), list.values.begin() + 3),
              (std::vector<double>{0.3, 0.2, 0.1}));
}

std::string written(const ClusterList& list, TreeNotation notation, const NameTable& names = {}) {
    std::string out;
    writeConsensusTree(out, buildConsensusTree(list), notation, names, !names.empty());
    return out;
}

TEST(ConsensusTree, OneObjectHasNoRoot) {
    EXPECT_EQ(written(ClusterList(1), TreeNotation::SPlus),
              "The number of nodes is : 0\nThe nodes of the tree are :\n"
              "The heights of the tree nodes are :\nThe order of the objects in the tree is :\n1\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire), "1;\n");
    EXPECT_EQ(written(ClusterList(1), TreeNotation::NewHampshire, {"onlyGene"}), "onlyGene;\n");
}

TEST(ConsensusTree, LongChainIsWrittenWithoutDeepRecursion) {
    const int n = 3000;  // {1,2}, {1,2,3}, ...: one node per level
    std::vector<std::vector<int>> clusters;
    std::vector<int> members{1};
    for (int size = 2; size <= n; ++size) {
        members.push_back(size);
        clusters.push_back(members);
    }
    const std::string out =
        written(clustersOf(n, clusters, std::vector<double>(n - 1, 1.0)), TreeNotation::NewHampshire);
    EXPECT_EQ(std::count(out.begin(), out.end(), '('), n - 1);
    EXPECT_TRUE(out.starts_with("(3000,(2999,"));
    EXPECT_NE(out.find(",(3,(1,2):1.):1.):1."), std::string::npos);
    EXPECT_TRUE(out.ends_with("):1.):1.;\n"));
}

// A random tree over n objects whose clusters recur: it merges neighbours of
// the base order with a few neighbour exchanges, in random order, with random
// sides and heights drawn from a small set (ties, zero, a negative value and
// now and then NaN).
MergeTree randomTree(std::vector<int> sequence, int exchanges, std::mt19937& random) {
    const auto pick = [&random](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    const int n = static_cast<int>(sequence.size());
    for (int e = 0; e < exchanges && n > 1; ++e) {
        const std::size_t p = pick(sequence.size() - 1);
        std::swap(sequence[p], sequence[p + 1]);
    }
    std::vector<int> parts;  // active parts as merge-pair codes, in sequence order
    for (int o : sequence) parts.push_back(-o);
    MergeTree tree(n);
    static const double heights[] = {0.0, 0.25, 0.25, 0.5, 1.0, 1.0, 2.0, -0.125};
    for (int s = 0; s + 1 < n; ++s) {
        const std::size_t p = pick(parts.size() - 1);
        tree.mergePairs[index(s)] = pick(2) ? MergePair{parts[p], parts[p + 1]} : MergePair{parts[p + 1], parts[p]};
        tree.heights[index(s)] = pick(50) == 0 ? std::numeric_limits<double>::quiet_NaN() : heights[pick(8)];
        parts[p] = s + 1;
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(p) + 1);
    }
    return tree;
}

// Bitwise, so that a NaN or a -0.0 would have to agree as well.
std::vector<std::uint64_t> bits(const std::vector<double>& values) {
    std::vector<std::uint64_t> result;
    for (double v : values) result.push_back(std::bit_cast<std::uint64_t>(v));
    return result;
}

// Both writers in both notations, with and without row names; the record's
// members and object order are those the literal writer leaves in its list.
void expectSameWriting(const ClusterList& consensus) {
    NameTable names;
    for (int o = 1; o <= consensus.rowCount; ++o) names.push_back("row_" + std::to_string(o));
    const ConsensusTree tree = buildConsensusTree(consensus);
    for (TreeNotation notation : {TreeNotation::SPlus, TreeNotation::NewHampshire}) {
        for (bool hasRowNames : {false, true}) {
            ClusterList slow = consensus;
            std::string fastText;
            std::string slowText;
            writeConsensusTree(fastText, tree, notation, names, hasRowNames);
            const std::vector<int> order =
                literal::writeConsensusTree(slowText, slow, notation, names, hasRowNames);
            ASSERT_EQ(fastText, slowText);
            ASSERT_EQ(tree.objectOrder, order);
            for (int i = 0; i < slow.count(); ++i) ASSERT_EQ(tree.members[index(i)], slotMembers(slow, i));
        }
    }
}

TEST(ConsensusDifferential, FastPathMatchesTheLiteralScan) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed * 7919u);
        const auto upTo = [&random](int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random); };
        const int n = 1 + upTo(40), h = 1 + upTo(12);
        const int exchanges = upTo(4);  // how far the sample trees stray from one base order
        std::vector<int> base(index(n));
        std::iota(base.begin(), base.end(), 1);
        std::shuffle(base.begin(), base.end(), random);
        SCOPED_TRACE("seed " + std::to_string(seed) + " n " + std::to_string(n) + " h " + std::to_string(h));

        const MergeTree firstTree = randomTree(base, exchanges, random);
        std::vector<SampleClusters> samples;
        std::vector<ClusterList> sampleLists;
        for (int f = 0; f < h; ++f) {
            if (f > 0 && upTo(4) == 0) {  // now and then an exact repeat of an earlier sample
                const std::size_t earlier = index(upTo(f));
                samples.push_back(samples[earlier]);
                sampleLists.push_back(sampleLists[earlier]);
                continue;
            }
            const MergeTree tree = randomTree(base, exchanges, random);
            samples.push_back(summarizeTree(tree));
            sampleLists.push_back(literal::clusterListOf(tree));
        }
        const SampleClusters firstSummary = summarizeTree(firstTree);
        const ClusterList firstList = literal::clusterListOf(firstTree);

        // Members listed from a summary are those the literal list stores.
        for (int slot = 0; slot < firstList.count(); ++slot)
            ASSERT_EQ(clusterMembers(firstSummary, slot), slotMembers(firstList, slot));

        EXPECT_EQ(bits(computeSupportValues(firstSummary, samples)),
                  bits(literal::computeSupportValues(firstList, sampleLists)));

        ClusterList fastSelection = selectMajorityClusters(samples, n);
        const ClusterList slowSelection = literal::selectMajorityClusters(sampleLists, n);
        EXPECT_EQ(fastSelection.clusterCount, slowSelection.clusterCount);
        EXPECT_EQ(fastSelection.memberCounts, slowSelection.memberCounts);
        EXPECT_EQ(fastSelection.members, slowSelection.members);
        EXPECT_EQ(bits(fastSelection.values), bits(slowSelection.values));

        fastSelection.sortBySize();
        if (fastSelection.count() > 0)
            expectSameWriting(fastSelection);
        else
            EXPECT_EQ(n, 1);
    }
}

}  // namespace
