#include "run/side_outputs.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "data/safe_text.h"
#include "output/cluster_table.h"
#include "output/newick.h"
#include "output/picture_draw.h"
#include "output/picture_layout.h"
#include "run/pending_files.h"

namespace {

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// What produced the results, for the picture's caption and the tables'
// comment line.
std::vector<std::string> runDescription(const SideOutputContext& c) {
    const RunSettings& s = c.settings;
    std::vector<std::string> items{
        std::filesystem::path(s.expressionFileName).filename().string() + " (" + std::to_string(c.inputs.rawMatrix.rowCount) + " rows x " +
            std::to_string(c.inputs.rawMatrix.columnCount) + " columns)",
        std::string("distance ") + keywordOf(DistanceMetrics, s.distance),
        std::string("linkage ") + keywordOf(Linkages, s.linkage),
        "preprocessing " + (s.preprocess ? preprocessWayText(s) : std::string("none")),
        std::to_string(s.sampleSize) + " resampled data sets",
        s.withErrorFile ? "error file " + s.errorFileName : "scale of error " + numberText(s.scaleOfError),
        s.seed ? "seed " + std::to_string(*s.seed) : std::string("fixed start (no seed)")};
    return items;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : "; ") + item;
    return text;
}

std::string renderPicture(const SideOutputContext& c) {
    const RunSettings& s = c.settings;
    const PictureInput input{c.results.firstTree, c.results.consensus.support,
                             c.results.consensus.consensusTree, c.inputs.rowNames,
                             c.inputs.hasRowNames, s.highlight, s.highlightNested,
                             runDescription(c), s.pictureWidth, s.fontSize};
    const picture::Layout layout = layoutPicture(input, cairoTextMeasure());
    return drawPicture(layout, pictureFormatOf(s.pictureFileName).value_or(PictureFormat::Svg));
}

ClusterTableInput tableInput(const SideOutputContext& c) {
    return {c.results.firstTree, c.results.consensus.support, c.inputs.rowNames,
            c.inputs.hasRowNames, c.settings.sampleSize, c.settings.highlight,
            joined(runDescription(c)) + "; selected: the outermost clusters with confidence >= " +
                numberText(c.settings.highlight)};
}

std::string renderClusterTable(const SideOutputContext& c) {
    std::string table;
    writeClusterTable(table, tableInput(c));
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

std::string renderPickList(const SideOutputContext& c) {
    std::string list;
    writePickList(list, tableInput(c));
    return list;
}

}  // namespace

std::vector<SideOutput> sideOutputsOf(const RunSettings& settings) {
    std::vector<SideOutput> outputs;
    if (!settings.pictureFileName.empty())
        outputs.push_back({"picture", "--picture", settings.pictureFileName, renderPicture});
    if (!settings.clusterTableFileName.empty())
        outputs.push_back({"cluster table", "--clusters", settings.clusterTableFileName, renderClusterTable});
    if (!settings.newickFileName.empty())
        outputs.push_back({"Newick tree", "--newick", settings.newickFileName, renderNewick});
    if (!settings.consensusNewickFileName.empty())
        outputs.push_back(
            {"consensus Newick tree", "--consensus-newick", settings.consensusNewickFileName, renderConsensusNewick});
    if (!settings.pickFileName.empty())
        outputs.push_back({"pick list", "--pick", settings.pickFileName, renderPickList});
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
        const std::string bytes = outputs[i].render(context);
        if (bytes.empty()) {  // every file has at least a header; a drawing can fail
            std::cerr << "noiseclust: cannot draw the " << outputs[i].role << " "
                      << printable(outputs[i].fileName) << "\n";
            return false;
        }
        if (const auto problem = writePendingFile(files[i], bytes)) {
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
