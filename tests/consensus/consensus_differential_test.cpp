// The fast consensus path against the literal member-by-member algorithms on
// many random trees with tied heights and recurring clusters.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "consensus/consensus_writer.h"
#include "consensus/majority_rule.h"
#include "consensus/sample_clusters.h"
#include "consensus_test_trees.h"
#include "reference/literal_consensus.h"

namespace {

using consensus_test::listOf;
using consensus_test::TreeSource;

// Bitwise, so that a NaN or a -0.0 would have to agree as well.
std::vector<std::uint64_t> bits(const std::vector<double>& values) {
    std::vector<std::uint64_t> result;
    for (double v : values) result.push_back(std::bit_cast<std::uint64_t>(v));
    return result;
}

void expectSameList(const ClusterList& fast, const ClusterList& slow) {
    EXPECT_EQ(fast.rowCount, slow.rowCount);
    EXPECT_EQ(fast.clusterCount, slow.clusterCount);
    EXPECT_EQ(fast.memberCounts, slow.memberCounts);
    EXPECT_EQ(fast.members, slow.members);
    EXPECT_EQ(bits(fast.values), bits(slow.values));
    EXPECT_EQ(fast.scratch, slow.scratch);
}

NameTable namesFor(int n) {
    NameTable names;
    for (int o = 1; o <= n; ++o) names.push_back("row_" + std::to_string(o));
    return names;
}

void expectSameWriting(const ClusterList& consensus) {
    const NameTable names = namesFor(consensus.rowCount);
    for (TreeNotation notation : {TreeNotation::SPlus, TreeNotation::NewHampshire}) {
        for (bool hasRowNames : {false, true}) {
            ClusterList fast = consensus;
            ClusterList slow = consensus;
            std::string fastText;
            std::string slowText;
            writeConsensusTree(fastText, fast, notation, names, hasRowNames);
            literal::writeConsensusTree(slowText, slow, notation, names, hasRowNames);
            ASSERT_EQ(fastText, slowText);
            expectSameList(fast, slow);
        }
    }
}

struct Scenario {
    int n;
    int h;
    int exchanges;  // how far the sample trees stray from one base order
};

TEST(ConsensusDifferential, FastPathMatchesTheLiteralScan) {
    int runs = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 sizes(seed * 7919u);
        auto upTo = [&sizes](int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(sizes); };
        const Scenario scenario{1 + upTo(40), 1 + upTo(12), upTo(4)};
        TreeSource source(scenario.n, seed);
        SCOPED_TRACE("seed " + std::to_string(seed) + " n " + std::to_string(scenario.n) + " h " +
                     std::to_string(scenario.h));

        const MergeTree firstTree = source.next(scenario.exchanges);
        std::vector<MergeTree> trees;
        for (int f = 0; f < scenario.h; ++f) {
            // Now and then an exact repeat of an earlier sample.
            if (!trees.empty() && source.pick(4) == 0) {
                trees.push_back(trees[static_cast<std::size_t>(source.pick(static_cast<int>(trees.size())))]);
            } else {
                trees.push_back(source.next(scenario.exchanges));
            }
        }

        std::vector<SampleClusters> samples;
        std::vector<ClusterList> sampleLists;
        for (const MergeTree& tree : trees) {
            samples.push_back(summarizeTree(tree));
            sampleLists.push_back(listOf(tree));
        }
        const SampleClusters firstSummary = summarizeTree(firstTree);
        const ClusterList firstList = listOf(firstTree);

        // Members listed from a summary are those the list stores.
        for (int slot = 0; slot < firstList.count(); ++slot) {
            const auto& stored = firstList.members[static_cast<std::size_t>(slot)];
            ASSERT_EQ(clusterMembers(firstSummary, slot), stored);
        }
        // The product's set comparison agrees with the counting scan.
        for (int slot = 0; slot < firstList.rowCount; ++slot) {
            for (const ClusterList& other : sampleLists) {
                ASSERT_EQ(firstList.containsCluster(slot, other) ? 1 : 0,
                          literal::containsCluster(firstList, slot, other));
            }
        }

        EXPECT_EQ(bits(computeSupportValues(firstSummary, samples)),
                  bits(literal::computeSupportValues(firstList, sampleLists)));

        ClusterList fastSelection = selectMajorityClusters(samples, scenario.n);
        ClusterList slowSelection = literal::selectMajorityClusters(sampleLists, scenario.n);
        expectSameList(fastSelection, slowSelection);

        fastSelection.sortBySize();
        if (fastSelection.count() > 0) {
            expectSameWriting(fastSelection);
        } else {
            EXPECT_EQ(scenario.n, 1);
        }
        ++runs;
    }
    EXPECT_EQ(runs, 300);
}

// The writer on laminar families that majority rule rarely produces: any
// subset of one tree's clusters, the root always kept.
TEST(ConsensusDifferential, WriterMatchesOnSubsetsOfATree) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        TreeSource source(2 + static_cast<int>(seed % 30), seed);
        const MergeTree tree = source.next(0);
        const ClusterList clusters = listOf(tree);
        const int n = tree.objectCount;
        std::vector<std::vector<int>> memberArrays(static_cast<std::size_t>(n));
        std::vector<int> sizes(static_cast<std::size_t>(n), 0);
        std::vector<double> values;
        int kept = 0;
        for (int slot = 0; slot < clusters.count(); ++slot) {
            if (slot + 1 < clusters.count() && source.pick(3) == 0) continue;
            memberArrays[static_cast<std::size_t>(kept)] = clusters.members[static_cast<std::size_t>(slot)];
            sizes[static_cast<std::size_t>(kept)] = clusters.memberCounts[static_cast<std::size_t>(slot)];
            values.push_back(0.5 + 0.5 * source.pick(7) / 6.0);
            ++kept;
        }
        ClusterList consensus(n);
        consensus.assign(memberArrays, sizes);
        for (int d = 0; d < kept; ++d) consensus.setValue(values[static_cast<std::size_t>(d)], d);
        consensus.sortBySize();
        SCOPED_TRACE("seed " + std::to_string(seed));
        expectSameWriting(consensus);
    }
}

}  // namespace
