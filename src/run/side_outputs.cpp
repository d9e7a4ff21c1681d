#include "run/side_outputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "output/cluster_table.h"
#include "output/picture_draw.h"
#include "output/picture_layout.h"

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

std::string renderPickList(const SideOutputContext& c) {
    std::string list;
    writePickList(list, tableInput(c));
    return list;
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
    if (!settings.pictureFileName.empty())
        outputs.push_back({"picture", settings.pictureFileName, renderPicture});
    if (!settings.clusterTableFileName.empty())
        outputs.push_back({"cluster table", settings.clusterTableFileName, renderClusterTable});
    if (!settings.pickFileName.empty())
        outputs.push_back({"pick list", settings.pickFileName, renderPickList});
    return outputs;
}

bool writeSideOutputs(const SideOutputContext& context) {
    if (!context.results.complete) return true;
    for (const SideOutput& output : sideOutputsOf(context.settings))
    {
        const std::string bytes = output.render(context);
        if (bytes.empty()) {  // every file has at least a header; a drawing can fail
            std::cerr << "noiseclust: cannot draw the " << output.role << " " << output.fileName << "\n";
            return false;
        }
        if (!writeWholeFile(output.fileName, bytes)) return false;
    }
    return true;
}
