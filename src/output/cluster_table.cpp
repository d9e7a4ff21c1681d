// Cluster table and pick list of the first tree: see cluster_table.h.
#include "output/cluster_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "cluster/tree_writer.h"
#include "output/cluster_pick.h"
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

void appendField(std::string& out, const std::string& text) {
    if (needsQuotes(text, "\"#\t\r\n")) appendQuoted(out, text);
    else out += text;
}

void appendComment(std::string& out, const std::string& comment) {
    if (comment.empty()) return;
    out += "# ";
    for (char c : comment) out += (c == '\n' || c == '\r') ? ' ' : c;
    out += '\n';
}

// One row's values, in the order of the cluster table.
struct ClusterRow {
    int step = 0, size = 0;
    double height = 0, confidence = 0, se = 0;
    std::string members;
};

// Every step's row; none when the tree record is not valid.
std::vector<ClusterRow> clusterRows(const ClusterTableInput& input) {
    const MergeTree& tree = input.firstTree;
    const TreeLayout layout = layoutMergeTree(tree);
    std::vector<ClusterRow> rows;
    if (!layout.problem.empty()) return rows;
    for (int s = 0; s < tree.stepCount(); ++s) {
        ClusterRow row;
        const int begin = layout.spanBegin[index(s)], end = layout.spanEnd[index(s)];
        for (int i = begin; i < end; ++i) {
            if (i > begin) row.members += ',';
            const std::string label = leafLabel(layout.order[index(i)], input.rowNames, input.hasRowNames);
            if (needsQuotes(label, ",\"")) appendQuoted(row.members, label);
            else row.members += label;
        }
        row.step = s + 1;
        row.size = end - begin;
        row.height = tree.height(s);
        row.confidence = index(s) < input.confidences.size() ? input.confidences[index(s)] : std::nan("");
        row.se = standardError(row.confidence, input.sampleCount);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<int> selectedSteps(const ClusterTableInput& input) {
    if (!mergeTreeProblem(input.firstTree).empty()) return {};
    return outermostStepsAtLeast(input.firstTree, input.confidences, input.threshold);
}

}  // namespace

double standardError(double p, int sampleCount) {
    if (!(p >= 0 && p <= 1) || sampleCount < 1) return std::nan("");
    return std::sqrt(p * (1 - p) / sampleCount);
}

std::string roundTripNumber(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void writeClusterTable(std::string& out, const ClusterTableInput& input) {
    appendComment(out, input.comment);
    out += "step\tsize\theight\tconfidence\tmembers\tse\tselected\n";
    const std::vector<int> selected = selectedSteps(input);
    for (const ClusterRow& row : clusterRows(input)) {
        out += std::to_string(row.step) + '\t' + std::to_string(row.size) + '\t' +
               roundTripNumber(row.height) + '\t' + roundTripNumber(row.confidence) + '\t';
        appendField(out, row.members);
        out += '\t' + roundTripNumber(row.se) + '\t';
        out += std::binary_search(selected.begin(), selected.end(), row.step - 1) ? "TRUE\n" : "FALSE\n";
    }
}

void writePickList(std::string& out, const ClusterTableInput& input) {
    appendComment(out, input.comment);
    out += "step\tconfidence\tse\tsize\tmembers\n";
    const std::vector<ClusterRow> rows = clusterRows(input);
    for (int s : selectedSteps(input)) {
        const ClusterRow& row = rows[index(s)];
        out += std::to_string(row.step) + '\t' + roundTripNumber(row.confidence) + '\t' +
               roundTripNumber(row.se) + '\t' + std::to_string(row.size) + '\t';
        appendField(out, row.members);
        out += '\n';
    }
}
