// noiseclust_literal: the whole program with the deliberately literal, slow
// algorithms of the tests in place of the fast engine (member-list linkages,
// cluster lists kept in full and compared member by member, the consensus
// writer's subset search), on one thread. Same dialogue, same report: the
// benchmark script times it beside noiseclust and compares the two reports
// byte for byte.

#include <iostream>
#include <vector>

#include "run/analysis_run.h"
#include "app/console_input.h"
#include "app/dialogue.h"
#include "run/stages.h"
#include "cluster/tree_writer.h"
#include "consensus/cluster_list.h"
#include "data/preprocess.h"
#include "reference/literal_clustering.h"
#include "reference/literal_consensus.h"
#include "resample/perturbation.h"
#include "random/random_stream.h"

namespace {

void writeTree(std::string& out, const MergeTree& tree, TreeNotation notation,
               const RunInputs& inputs) {
    if (notation == TreeNotation::NewHampshire && tree.stepCount() > 0)
        out += literal::newHampshireLine(tree, inputs.rowNames, inputs.hasRowNames) + "\n";
    else
        writeMergeTree(out, tree, notation, inputs.rowNames, inputs.hasRowNames);
}

int runLiteralStages(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
                     RunResults&) {
    std::optional<PreprocessChoice> preprocessing;
    if (settings.preprocess)
        preprocessing = PreprocessChoice{settings.preprocessMethod, settings.preprocessDirection};
    const TreeNotation notation = settings.notation;
    const int n = inputs.rawMatrix.rowCount;
    RandomStream stream;
    DistanceTriangle distances(n);
    auto cluster = [&](MergeTree& tree, DataMatrix& data) {
        if (preprocessing)
            preprocessMatrix(data, preprocessing->method, preprocessing->direction, stream);
        literal::computeDistances(distances, data, settings.distance);
        literal::clusterObjects(tree, distances, settings.linkage);
        literal::computeLeafOrder(tree);
    };

    MergeTree firstTree(n);
    cluster(firstTree, inputs.workingMatrix);
    std::string text = "The original tree with distance is:\n";
    writeTree(text, firstTree, notation, inputs);
    text += "\n\n";
    report.write(text);

    const ClusterList firstTreeClusters = literal::clusterListOf(firstTree);
    std::vector<ClusterList> sampleLists(static_cast<std::size_t>(settings.sampleSize));
    MergeTree sampleTree(n);
    for (int i = 0; i < settings.sampleSize; ++i) {
        if (inputs.hasErrorMatrix)
            perturbByErrorMatrix(stream, inputs.rawMatrix, inputs.workingMatrix, inputs.errorMatrix);
        else
            perturbByScale(stream, inputs.rawMatrix, inputs.workingMatrix, settings.scaleOfError);
        cluster(sampleTree, inputs.workingMatrix);
        text = "The " + std::to_string(i + 1) + " sample tree with distance is:\n";
        writeTree(text, sampleTree, notation, inputs);
        text += "\n\n";
        report.write(text);
        sampleLists[static_cast<std::size_t>(i)] = literal::clusterListOf(sampleTree);
    }

    const auto support = literal::computeSupportValues(firstTreeClusters, sampleLists);
    for (int d = 0; d < firstTree.stepCount(); ++d)
        firstTree.setHeight(support[static_cast<std::size_t>(d)], d);
    text = "\n\nThe original tree with confidence values is:\n";
    writeTree(text, firstTree, notation, inputs);
    text += "\n\nThe consensus tree is:\n";
    if (n > 1) {
        ClusterList consensus = literal::selectMajorityClusters(sampleLists, n);
        consensus.sortBySize();
        literal::writeConsensusTree(text, consensus, notation, inputs.rowNames,
                                    inputs.hasRowNames);
    }
    report.write(text);
    return 0;
}

}  // namespace

int main() {
    Console console = standardConsole();
    RunSettings settings;
    ReportFile report;
    if (collectRunSettings(console, settings, report) != DialogueStatus::Completed ||
        reviewRunSettings(console, settings, report) != DialogueStatus::Completed) {
        std::cerr << InputEndedMessage;
        return 1;
    }
    return runAnalysis(settings, report, runLiteralStages);
}
