#include "run/side_outputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "output/cluster_table.h"
#include "output/dendrogram_svg.h"
#include "output/newick.h"

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

bool writeWholeFile(const std::string& fileName, const std::string& bytes) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    bool written =
        file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written)
        std::cerr << "noiseclust: cannot write " << fileName << ": " << std::strerror(errno)
                  << "\n";
    return written;
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

bool writeSideOutputs(const SideOutputContext& context) {
    if (!context.results.complete) return true;
    for (const SideOutput& output : sideOutputsOf(context.settings))
        if (!writeWholeFile(output.fileName, output.render(context))) return false;
    return true;
}
