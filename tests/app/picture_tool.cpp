// Writes the picture and the cluster table of a generated tree, for the
// script checks that render the SVG and read the table back.
//
//   nc_picture_tool SVG_FILE TSV_FILE [OBJECTS [EXPECTED_FILE]]
//
// The tree clusters OBJECTS (default 40) points on a line by single linkage;
// a few of the row names carry characters that need escaping or quoting.
// The consensus holds every cluster with a confidence above one half.
// EXPECTED_FILE receives the table's rows as JSON, one array per line:
// [step, size, height, confidence, [member labels]], for a reader to compare.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include "app/cluster_table.h"
#include "app/dendrogram_svg.h"
#include "app/tree_layout.h"

namespace {

using Index = std::size_t;

NameTable generatedNames(int n) {
    const std::vector<std::string> special{"AFFX&HUMGAPDH", "<b>bold</b>", "gene,with,commas",
                                           "q\"uoted\"",    "it's",        "g\xc3\xa9ne_\xce\xb1",
                                           "back\\slash"};
    NameTable names;
    for (int o = 1; o <= n; ++o) {
        if (static_cast<Index>(o) <= special.size() && n >= 12)
            names.push_back(special[static_cast<Index>(o - 1)]);
        else
            names.push_back(std::string("probe_").append(std::to_string(1000 + o)).append("_at"));
    }
    return names;
}

// Points on a line joined at their gaps, narrowest first (single linkage):
// each step joins two neighbouring blocks of the sorted points.
MergeTree generatedTree(int n) {
    std::vector<double> point(static_cast<Index>(n));
    unsigned state = 12345;
    for (double& p : point) {
        state = state * 1103515245u + 12345u;
        p = static_cast<double>((state >> 8) % 100000) / 1000.0;
    }
    std::vector<int> sorted(static_cast<Index>(n));
    std::iota(sorted.begin(), sorted.end(), 1);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
        return point[static_cast<Index>(a - 1)] < point[static_cast<Index>(b - 1)];
    });
    std::vector<int> gaps(static_cast<Index>(n > 0 ? n - 1 : 0));
    std::iota(gaps.begin(), gaps.end(), 0);
    const auto gap = [&](int k) {
        return point[static_cast<Index>(sorted[static_cast<Index>(k + 1)] - 1)] -
               point[static_cast<Index>(sorted[static_cast<Index>(k)] - 1)];
    };
    std::stable_sort(gaps.begin(), gaps.end(), [&](int a, int b) { return gap(a) < gap(b); });

    MergeTree tree(n);
    // Block of each sorted position: its first position and its member code.
    std::vector<int> blockStart(static_cast<Index>(n));
    std::vector<int> blockEnd(static_cast<Index>(n));
    std::vector<int> code(static_cast<Index>(n));
    for (int k = 0; k < n; ++k) {
        blockStart[static_cast<Index>(k)] = blockEnd[static_cast<Index>(k)] = k;
        code[static_cast<Index>(k)] = -sorted[static_cast<Index>(k)];
    }
    for (int s = 0; s + 1 < n; ++s) {
        const int k = gaps[static_cast<Index>(s)];
        const int leftStart = blockStart[static_cast<Index>(k)];
        const int rightEnd = blockEnd[static_cast<Index>(k + 1)];
        tree.mergePairs[static_cast<Index>(s)] = {code[static_cast<Index>(leftStart)],
                                                  code[static_cast<Index>(rightEnd)]};
        tree.heights[static_cast<Index>(s)] = gap(k);
        blockEnd[static_cast<Index>(leftStart)] = rightEnd;
        blockStart[static_cast<Index>(rightEnd)] = leftStart;
        code[static_cast<Index>(leftStart)] = code[static_cast<Index>(rightEnd)] = s + 1;
    }
    tree.leafOrder = sorted;
    return tree;
}

// Clusters with a confidence above one half, ascending by size, as the
// consensus writer leaves them.
ClusterList generatedConsensus(const MergeTree& tree, const std::vector<double>& confidences) {
    const TreeLayout layout = layoutMergeTree(tree);
    std::vector<Index> chosen;
    for (Index s = 0; s < layout.spanBegin.size(); ++s)
        if (confidences[s] > 0.5) chosen.push_back(s);
    std::stable_sort(chosen.begin(), chosen.end(), [&](Index a, Index b) {
        return layout.spanEnd[a] - layout.spanBegin[a] < layout.spanEnd[b] - layout.spanBegin[b];
    });
    ClusterList list(tree.objectCount);
    list.members.assign(static_cast<Index>(tree.objectCount), {});
    for (Index i = 0; i < chosen.size(); ++i) {
        const Index s = chosen[i];
        list.members[i].assign(layout.order.begin() + layout.spanBegin[s],
                               layout.order.begin() + layout.spanEnd[s]);
        list.memberCounts[i] = layout.spanEnd[s] - layout.spanBegin[s];
        list.values[i] = confidences[s];
    }
    list.clusterCount = static_cast<int>(chosen.size());
    if (!chosen.empty())
        std::reverse_copy(list.members[chosen.size() - 1].begin(),
                          list.members[chosen.size() - 1].end(), list.scratch.begin());
    return list;
}

void appendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string expectedRows(const MergeTree& tree, const std::vector<double>& confidences,
                         const NameTable& names) {
    const TreeLayout layout = layoutMergeTree(tree);
    std::string out;
    char number[64];
    for (Index s = 0; s < layout.spanBegin.size(); ++s) {
        std::snprintf(number, sizeof number, "[%zu, %d, ", s + 1,
                      layout.spanEnd[s] - layout.spanBegin[s]);
        out += number;
        std::snprintf(number, sizeof number, "%.17g, ", tree.heights[s]);
        out += number;
        std::snprintf(number, sizeof number, "%.17g, [", confidences[s]);
        out += number;
        for (int i = layout.spanBegin[s]; i < layout.spanEnd[s]; ++i) {
            if (i > layout.spanBegin[s]) out += ", ";
            appendJsonString(out, objectLabel(layout.order[static_cast<Index>(i)], names, true));
        }
        out += "]]\n";
    }
    return out;
}

bool writeFile(const char* name, const std::string& text) {
    std::ofstream file(name, std::ios::binary);
    file << text;
    return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::cerr << "usage: nc_picture_tool SVG_FILE TSV_FILE [OBJECTS [EXPECTED_FILE]]\n";
        return 2;
    }
    const int n = argc >= 4 ? std::atoi(argv[3]) : 40;
    if (n < 1 || n > 100000) {
        std::cerr << "nc_picture_tool: OBJECTS must be 1 to 100000\n";
        return 2;
    }
    const NameTable names = generatedNames(n);
    const MergeTree tree = generatedTree(n);
    std::vector<double> confidences(tree.heights.size());
    for (Index s = 0; s < confidences.size(); ++s)
        confidences[s] = static_cast<double>((s * 37 + 11) % 101) / 100.0;
    if (!confidences.empty()) confidences.back() = 1.0;
    const ClusterList consensus = generatedConsensus(tree, confidences);

    std::string svg;
    writeDendrogramSvg(svg, {tree, confidences, consensus, names, true, DefaultHighlight});
    std::string table;
    writeClusterTable(table, tree, confidences, names, true);
    if (!writeFile(argv[1], svg) || !writeFile(argv[2], table) ||
        (argc == 5 && !writeFile(argv[4], expectedRows(tree, confidences, names)))) {
        std::cerr << "nc_picture_tool: cannot write the output files\n";
        return 1;
    }
    return 0;
}
