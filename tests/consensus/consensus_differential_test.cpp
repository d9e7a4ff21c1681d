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

using consensus_test::slotMembers;
using consensus_test::TreeSource;

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
        std::mt19937 sizes(seed * 7919u);
        auto upTo = [&sizes](int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(sizes); };
        const int n = 1 + upTo(40);
        const int h = 1 + upTo(12);
        const int exchanges = upTo(4);  // how far the sample trees stray from one base order
        TreeSource source(n, seed);
        SCOPED_TRACE("seed " + std::to_string(seed) + " n " + std::to_string(n) + " h " + std::to_string(h));

        const MergeTree firstTree = source.next(exchanges);
        std::vector<MergeTree> trees;
        for (int f = 0; f < h; ++f) {
            // Now and then an exact repeat of an earlier sample.
            if (!trees.empty() && source.pick(4) == 0)
                trees.push_back(trees[index(source.pick(static_cast<int>(trees.size())))]);
            else
                trees.push_back(source.next(exchanges));
        }
        std::vector<SampleClusters> samples;
        std::vector<ClusterList> sampleLists;
        for (const MergeTree& tree : trees) {
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

// The writer on laminar families that majority rule rarely produces: any
// subset of one tree's clusters, the root always kept.
TEST(ConsensusDifferential, WriterMatchesOnSubsetsOfATree) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        TreeSource source(2 + static_cast<int>(seed % 30), seed);
        const ClusterList clusters = literal::clusterListOf(source.next(0));
        std::vector<std::vector<int>> kept;
        std::vector<double> values;
        for (int slot = 0; slot < clusters.count(); ++slot) {
            if (slot + 1 < clusters.count() && source.pick(3) == 0) continue;
            kept.push_back(slotMembers(clusters, slot));
            values.push_back(0.5 + 0.5 * source.pick(7) / 6.0);
        }
        ClusterList consensus = consensus_test::clustersOf(clusters.rowCount, kept, values);
        consensus.sortBySize();
        SCOPED_TRACE("seed " + std::to_string(seed));
        expectSameWriting(consensus);
    }
}

}  // namespace
