// Consensus tree output: see consensus_writer.h.

#include "consensus/consensus_writer.h"

#include <cstdio>
#include <vector>

namespace {

void appendInt(std::string& out, const char* format, int value) {
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    out.append(buffer, index(length));
}

void appendHeight(std::string& out, double value) {
    char buffer[400];  // "%10.6f" of the largest double needs 317 characters
    const int length = std::snprintf(buffer, sizeof buffer, "%10.6f\n", value);
    out.append(buffer, index(length));
}

void writeSPlus(std::string& out, const ConsensusTree& tree) {
    appendInt(out, "The number of nodes is : %d\n", tree.nodeCount());
    out += "The nodes of the tree are :\n";
    for (const std::vector<int>& members : tree.members) {
        appendInt(out, "%d  ", static_cast<int>(members.size()));
        for (std::size_t t = 0; t < members.size(); ++t)
            appendInt(out, t + 1 < members.size() ? "%d  " : "%d\n", members[t]);
    }
    out += "The heights of the tree nodes are :\n";
    for (double value : tree.values) appendHeight(out, value);
    out += "The order of the objects in the tree is :\n";
    for (int object : tree.objectOrder) appendInt(out, "%d\n", object);
}

// The root's nested text, written depth first without keeping a text per node.
void writeNewHampshire(std::string& out, const ConsensusTree& tree, const NameTable& rowNames,
                       bool hasRowNames) {
    if (tree.nodeCount() == 0) {
        if (tree.objectCount == 1) appendLeafLabel(out, 1, rowNames, hasRowNames);
        out += ";\n";
        return;
    }
    struct Frame {
        int node;
        std::size_t next;
    };
    std::vector<Frame> path{{tree.nodeCount() - 1, 0}};
    out += '(';
    while (!path.empty()) {
        const int node = path.back().node;
        const std::vector<int>& entries = tree.children[index(node)];
        if (path.back().next == entries.size()) {
            out += "):";
            out += formatValueText(tree.values[index(node)]);
            path.pop_back();
            if (!path.empty() && path.back().next < tree.children[index(path.back().node)].size()) out += ',';
            continue;
        }
        const int entry = entries[path.back().next++];
        if (entry < 0) {
            appendLeafLabel(out, -entry, rowNames, hasRowNames);
            if (path.back().next < entries.size()) out += ',';
        } else {
            out += '(';
            path.push_back({entry - 1, 0});
        }
    }
    out += ";\n";
}

}  // namespace

void writeConsensusTree(std::string& out, const ConsensusTree& tree, TreeNotation notation,
                        const NameTable& rowNames, bool hasRowNames) {
    if (notation == TreeNotation::SPlus)
        writeSPlus(out, tree);
    else
        writeNewHampshire(out, tree, rowNames, hasRowNames);
}
