// The consensus stage's report items: see consensus_stage.h.

#include "consensus/consensus_stage.h"

#include "consensus/consensus_writer.h"
#include "consensus/majority_rule.h"

ConsensusResults writeConsensusStage(std::string& out, MergeTree& firstTree,
                         const SampleClusters& firstTreeClusters,
                         const std::vector<SampleClusters>& samples, TreeNotation notation,
                         const NameTable& rowNames, bool hasRowNames) {
    std::vector<double> support = computeSupportValues(firstTreeClusters, samples);
    for (int d = 0; d < static_cast<int>(support.size()); ++d) {
        firstTree.setHeight(support[static_cast<std::size_t>(d)], d);
    }
    out += "\n\n";
    out += "The original tree with confidence values is:\n";
    writeMergeTree(out, firstTree, notation, rowNames, hasRowNames);
    out += "\n\n";

    ClusterList consensus = buildConsensusClusters(samples, firstTree.objectCount);
    out += "The consensus tree is:\n";
    writeConsensusTree(out, consensus, notation, rowNames, hasRowNames);
    return {std::move(support), std::move(consensus)};
}
