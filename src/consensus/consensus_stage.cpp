// The consensus stage: see consensus_stage.h.

#include "consensus/consensus_stage.h"

#include "consensus/consensus_writer.h"
#include "consensus/majority_rule.h"

ConsensusResults computeConsensus(const SampleClusters& firstTreeClusters,
                                  const std::vector<SampleClusters>& samples, int objectCount) {
    ConsensusResults results;
    results.support = computeSupportValues(firstTreeClusters, samples);
    results.consensusTree = buildConsensusTree(buildConsensusClusters(samples, objectCount));
    return results;
}

void writeConsensusStage(std::string& out, const MergeTree& firstTree,
                         const ConsensusResults& results, TreeNotation notation,
                         const NameTable& rowNames, bool hasRowNames) {
    out += "\n\n";
    out += "The original tree with confidence values is:\n";
    writeMergeTree(out, firstTree, results.support, notation, rowNames, hasRowNames);
    out += "\n\n";
    out += "The consensus tree is:\n";
    writeConsensusTree(out, results.consensusTree, notation, rowNames, hasRowNames);
}
