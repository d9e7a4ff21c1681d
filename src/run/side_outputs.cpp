#include "run/side_outputs.h"

#include <iostream>
#include <optional>

#include "output/cluster_table.h"
#include "output/dendrogram_svg.h"
#include "output/newick.h"
#include "run/pending_files.h"

namespace {

std::string renderPicture(const SideOutputContext& c) {
    std::string picture;
    writeDendrogramSvg(picture, DendrogramInput{c.results.firstTree, c.results.consensus.support,
                                                c.results.consensus.consensusTree,
                                                c.inputs.rowNames, c.inputs.hasRowNames,
                                                c.settings.highlight});
    return picture;
}

std::string renderClusterTable(const SideOutputContext& c) {
    std::string table;
    writeClusterTable(table, c.results.firstTree, c.results.consensus.support, c.inputs.rowNames,
                      c.inputs.hasRowNames);
    return table;
}

std::string renderNewick(const SideOutputContext& c) {
    return newickOfFirstTree(c.results.firstTree, c.results.consensus.support, c.inputs.rowNames,
                             c.inputs.hasRowNames) + "\n";
}

std::string renderConsensusNewick(const SideOutputContext& c) {
    return newickOfConsensusTree(c.results.consensus.consensusTree, c.inputs.rowNames,
                                 c.inputs.hasRowNames) + "\n";
}

}  // namespace

std::vector<SideOutput> sideOutputsOf(const RunSettings& settings) {
    std::vector<SideOutput> outputs;
    if (!settings.svgFileName.empty())
        outputs.push_back({"picture", settings.svgFileName, renderPicture});
    if (!settings.clusterTableFileName.empty())
        outputs.push_back({"cluster table", settings.clusterTableFileName, renderClusterTable});
    if (!settings.newickFileName.empty())
        outputs.push_back({"Newick tree", settings.newickFileName, renderNewick});
    if (!settings.consensusNewickFileName.empty())
        outputs.push_back(
            {"consensus Newick tree", settings.consensusNewickFileName, renderConsensusNewick});
    return outputs;
}

std::vector<PendingFile> pendingSideOutputs(const RunSettings& settings) {
    std::vector<PendingFile> files;
    for (const SideOutput& output : sideOutputsOf(settings))
        files.push_back(PendingFile{output.role, output.fileName, "", -1});
    return files;
}

bool writeSideOutputs(const SideOutputContext& context, std::span<PendingFile> files) {
    if (!context.results.complete) return true;
    const std::vector<SideOutput> outputs = sideOutputsOf(context.settings);
    for (std::size_t i = 0; i < outputs.size() && i < files.size(); ++i) {
        if (const auto problem = writePendingFile(files[i], outputs[i].render(context))) {
            std::cerr << "noiseclust: " << *problem << "\n";
            return false;
        }
    }
    return true;
}

bool writeSideOutputs(const SideOutputContext& context) {
    std::vector<PendingFile> files = pendingSideOutputs(context.settings);
    std::optional<std::string> problem;
    for (PendingFile& file : files)
        if (!problem) problem = createPendingFile(file);
    if (problem) std::cerr << "noiseclust: " << *problem << "\n";
    bool written = !problem && writeSideOutputs(context, files);
    if (written) {
        problem = commitPendingFiles(files);
        if (problem) std::cerr << "noiseclust: " << *problem << "\n";
        written = !problem;
    }
    discardPendingFiles(files);
    return written;
}
