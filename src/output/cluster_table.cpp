// Cluster table of the first tree: see cluster_table.h.
#include "output/cluster_table.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "cluster/tree_writer.h"
#include "output/tree_layout.h"

namespace {

bool needsQuotes(const std::string& text, std::string_view specials) {
    return text.find_first_of(specials) != std::string::npos;
}

void appendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string roundTripNumber(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void writeClusterTable(std::string& out, const MergeTree& firstTree,
                       const std::vector<double>& confidences, const NameTable& rowNames,
                       bool hasRowNames) {
    out += "step\tsize\theight\tconfidence\tmembers\n";
    const TreeLayout layout = layoutMergeTree(firstTree);
    if (!layout.problem.empty()) return;

    std::string members;
    for (int s = 0; s < firstTree.stepCount(); ++s) {
        const int begin = layout.spanBegin[index(s)];
        const int end = layout.spanEnd[index(s)];
        members.clear();
        for (int i = begin; i < end; ++i) {
            if (i > begin) members += ',';
            const std::string label = leafLabel(layout.order[index(i)], rowNames, hasRowNames);
            if (needsQuotes(label, ",\""))
                appendQuoted(members, label);
            else
                members += label;
        }
        const double confidence = index(s) < confidences.size() ? confidences[index(s)] : std::nan("");
        out += std::to_string(s + 1);
        out += '\t';
        out += std::to_string(end - begin);
        out += '\t';
        out += roundTripNumber(firstTree.height(s));
        out += '\t';
        out += roundTripNumber(confidence);
        out += '\t';
        if (needsQuotes(members, "\"\t\r\n"))
            appendQuoted(out, members);
        else
            out += members;
        out += '\n';
    }
}
