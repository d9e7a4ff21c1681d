#pragma once
// Reads a noiseclust report back for the end-to-end tests: splits it into its
// blocks, checking every caption and separator on the way, and reads the trees
// of both notations into the clusters they describe (sets of leaf labels, each
// with the value text of its node).

#include <cstdint>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace report_reader {

// The blocks of a report, without their captions and separators.
struct Report {
    std::string header;  // from "Here are the settings:" to the column count and its blank lines
    std::string firstTree;
    std::vector<int> sampleNumbers;  // as the captions carry them
    std::vector<std::string> samples;
    std::string confidenceTree;
    std::string consensus;
    std::string problem;  // empty when the report has the expected layout
};

inline bool startsWith(const std::string& text, std::size_t at, const std::string& prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

// A block runs from the cursor to its own last line end; the "\n\n" after it is
// the separator. Blocks hold no empty line.
inline bool takeBlock(const std::string& text, std::size_t& at, std::string& block) {
    const auto end = text.find("\n\n", at);
    if (end == std::string::npos || end == at) return false;
    block = text.substr(at, end + 1 - at);
    at = end + 1;
    return true;
}

inline Report splitReport(const std::string& text) {
    Report r;
    const std::string headerEnd = "The number of columns of the data is : ";
    const auto columns = text.find(headerEnd);
    const auto headerStop = columns == std::string::npos ? columns : text.find("\n\n\n", columns);
    if (!startsWith(text, 0, "Here are the settings:\n") || headerStop == std::string::npos) {
        r.problem = "no header";
        return r;
    }
    std::size_t at = headerStop + 3;
    r.header = text.substr(0, at);
    auto expect = [&](const std::string& piece) {
        if (!r.problem.empty()) return false;
        if (startsWith(text, at, piece)) {
            at += piece.size();
            return true;
        }
        r.problem = "expected \"" + piece + "\" at offset " + std::to_string(at);
        return false;
    };
    auto block = [&](std::string& target) {
        if (!r.problem.empty()) return;
        if (!takeBlock(text, at, target)) r.problem = "no block at offset " + std::to_string(at);
    };
    expect("The original tree with distance is:\n");
    block(r.firstTree);
    expect("\n\n");
    int number = 0;
    while (r.problem.empty() &&
           std::sscanf(text.c_str() + at, "The %d sample tree with", &number) == 1) {
        expect("The " + std::to_string(number) + " sample tree with distance is:\n");
        r.sampleNumbers.push_back(number);
        r.samples.emplace_back();
        block(r.samples.back());
        expect("\n\n");
    }
    expect("\n\nThe original tree with confidence values is:\n");
    block(r.confidenceTree);
    expect("\n\nThe consensus tree is:\n");
    if (r.problem.empty()) {
        r.consensus = text.substr(at);
        if (r.consensus.empty() || r.consensus.back() != '\n' ||
            r.consensus.find("\n\n") != std::string::npos)
            r.problem = "the consensus block is not the end of the report";
    }
    return r;
}

// The report text of the blocks, with the captions and separators of a report.
inline std::string joinReport(const Report& r) {
    std::string text = r.header + "The original tree with distance is:\n" + r.firstTree + "\n\n";
    for (std::size_t i = 0; i < r.samples.size(); ++i)
        text += "The " + std::to_string(r.sampleNumbers[i]) + " sample tree with distance is:\n" +
                r.samples[i] + "\n\n";
    return text + "\n\nThe original tree with confidence values is:\n" + r.confidenceTree +
           "\n\nThe consensus tree is:\n" + r.consensus;
}

using Members = std::set<std::string>;

struct Cluster {
    Members members;
    std::string value;  // as written, without padding
};

// One tree of a report as the tests compare it.
struct Tree {
    std::vector<std::string> leaves;  // leaf labels in written order (S_Plus: the order lines)
    std::vector<Cluster> clusters;    // one per inner node
    std::string shape;                // the tree without its values
    std::string problem;              // empty when the block was read whole
};

inline bool isDelimiter(char c) {
    return c == ',' || c == '(' || c == ')' || c == ':' || c == ';' || c == '\n';
}

// Recursive descent over one parenthesised line: node = "(" node {"," node}
// ")" ":" value | label. Returns the members of the node read.
inline Members readNode(const std::string& line, std::size_t& at, Tree& tree) {
    Members members;
    if (!tree.problem.empty()) return members;
    if (line[at] != '(') {
        const std::size_t start = at;
        while (at < line.size() && !isDelimiter(line[at])) ++at;
        if (at == start) {
            tree.problem = "no label at " + std::to_string(start);
            return members;
        }
        tree.leaves.push_back(line.substr(start, at - start));
        tree.shape += tree.leaves.back();
        members.insert(tree.leaves.back());
        return members;
    }
    tree.shape += '(';
    do {
        if (at > 0 && line[at] == ',') tree.shape += ',';
        ++at;
        const Members child = readNode(line, at, tree);
        members.insert(child.begin(), child.end());
    } while (tree.problem.empty() && line[at] == ',');
    if (!tree.problem.empty()) return members;
    if (line.compare(at, 2, "):") != 0) {
        tree.problem = "no \"):\" at " + std::to_string(at);
        return members;
    }
    tree.shape += ')';
    at += 2;
    const std::size_t start = at;
    while (at < line.size() && !isDelimiter(line[at])) ++at;
    tree.clusters.push_back({members, line.substr(start, at - start)});
    return members;
}

inline Tree readNewHampshire(const std::string& block) {
    Tree tree;
    std::size_t at = 0;
    if (block.empty()) tree.problem = "empty block";
    readNode(block, at, tree);
    if (tree.problem.empty() && block.substr(at) != ";\n") tree.problem = "no \";\\n\" at the end";
    return tree;
}

// Splits a block into lines (each without its line end).
inline std::vector<std::string> linesOf(const std::string& block) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < block.size()) {
        const auto end = block.find('\n', at);
        lines.push_back(block.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

inline std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
inline std::string formatted(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

inline std::string trimmed(const std::string& text) {
    return text.substr(text.find_first_not_of(' '));
}

// An S_Plus merge-tree block. Every line must be exactly as its format writes
// it, and the pairs must form a tree (each object once, each earlier step once).
inline Tree readMergeBlock(const std::string& block) {
    Tree tree;
    const auto lines = linesOf(block);
    int nodes = -1;
    if (lines.empty() ||
        std::sscanf(lines[0].c_str(), "The number of nodes is : %d", &nodes) != 1 || nodes < 0 ||
        lines.size() != static_cast<std::size_t>(3 * nodes + 5) ||
        lines[0] != formatted("The number of nodes is : %6d", nodes) ||
        lines[1] != "The nodes of the tree are :" ||
        lines[2 + nodes] != "The heights of the tree nodes are :" ||
        lines[3 + 2 * nodes] != "The order of objects in the tree is :") {
        tree.problem = "not an S_Plus merge-tree block";
        return tree;
    }
    std::vector<Members> steps;
    std::set<int> objectsUsed, stepsUsed;
    for (int s = 0; s < nodes && tree.problem.empty(); ++s) {
        int pair[2] = {0, 0};
        const std::string& line = lines[2 + s];
        if (std::sscanf(line.c_str(), "\t2\t%d\t%d", &pair[0], &pair[1]) != 2 ||
            line != "\t2\t" + formatted("%6d", pair[0]) + "\t" + formatted("%6d", pair[1])) {
            tree.problem = "bad node line \"" + line + "\"";
            break;
        }
        Members members;
        for (int member : pair) {
            const bool fresh = member < 0
                                   ? objectsUsed.insert(-member).second
                                   : member >= 1 && member <= s && stepsUsed.insert(member).second;
            if (!fresh || -member > nodes + 1) {
                tree.problem = "step " + std::to_string(s + 1) + " is not a tree step";
                break;
            }
            if (member < 0)
                members.insert(std::to_string(-member));
            else
                members.insert(steps[member - 1].begin(), steps[member - 1].end());
        }
        steps.push_back(members);
        const std::string& height = lines[3 + nodes + s];
        double value = 0;
        if (std::sscanf(height.c_str(), "%lf", &value) != 1 || height != formatted("%10.6f", value))
            tree.problem = "bad height line \"" + height + "\"";
        tree.clusters.push_back({members, trimmed(height)});
        tree.shape += line + "\n";
    }
    for (int t = 0; t <= nodes && tree.problem.empty(); ++t) {
        const std::string& line = lines[4 + 2 * nodes + t];
        int object = 0;
        if (std::sscanf(line.c_str(), "%d", &object) != 1 || line != formatted("%6d", object))
            tree.problem = "bad order line \"" + line + "\"";
        tree.leaves.push_back(std::to_string(object));
        tree.shape += line + "\n";
    }
    return tree;
}

// An S_Plus consensus block: node lines of member counts and members, values, object order.
inline Tree readConsensusBlock(const std::string& block) {
    Tree tree;
    const auto lines = linesOf(block);
    int nodes = -1;
    if (lines.size() < 2 ||
        std::sscanf(lines[0].c_str(), "The number of nodes is : %d", &nodes) != 1 || nodes < 1 ||
        lines[0] != "The number of nodes is : " + std::to_string(nodes) ||
        lines[1] != "The nodes of the tree are :" ||
        lines.size() < static_cast<std::size_t>(2 * nodes + 4) ||
        lines[2 + nodes] != "The heights of the tree nodes are :" ||
        lines[3 + 2 * nodes] != "The order of the objects in the tree is :") {
        tree.problem = "not an S_Plus consensus block";
        return tree;
    }
    for (int i = 0; i < nodes && tree.problem.empty(); ++i) {
        const std::string& line = lines[2 + i];
        std::vector<int> numbers;
        std::size_t at = 0;
        while (at < line.size()) {
            const auto end = line.find("  ", at);
            numbers.push_back(std::atoi(line.substr(at, end - at).c_str()));
            at = end == std::string::npos ? line.size() : end + 2;
        }
        std::string rebuilt;
        for (std::size_t k = 0; k < numbers.size(); ++k)
            rebuilt += (k ? "  " : "") + std::to_string(numbers[k]);
        if (numbers.empty() || rebuilt != line ||
            numbers[0] != static_cast<int>(numbers.size()) - 1) {
            tree.problem = "bad node line \"" + line + "\"";
            break;
        }
        Members members;
        for (std::size_t k = 1; k < numbers.size(); ++k) members.insert(std::to_string(numbers[k]));
        const std::string& value = lines[3 + nodes + i];
        double v = 0;
        if (std::sscanf(value.c_str(), "%lf", &v) != 1 || value != formatted("%10.6f", v))
            tree.problem = "bad value line \"" + value + "\"";
        tree.clusters.push_back({members, trimmed(value)});
        tree.shape += line + "\n";
    }
    for (std::size_t t = 4 + 2 * static_cast<std::size_t>(nodes);
         t < lines.size() && tree.problem.empty(); ++t) {
        if (lines[t].empty() || lines[t] != std::to_string(std::atoi(lines[t].c_str())))
            tree.problem = "bad order line \"" + lines[t] + "\"";
        tree.leaves.push_back(lines[t]);
    }
    return tree;
}

enum class Notation { SPlus, NewHampshire };
inline void PrintTo(Notation notation, std::ostream* out) {
    *out << (notation == Notation::SPlus ? "S_Plus" : "New_Hampshire");
}

inline Tree readMergeTree(const std::string& block, Notation notation) {
    return notation == Notation::SPlus ? readMergeBlock(block) : readNewHampshire(block);
}
inline Tree readConsensus(const std::string& block, Notation notation) {
    return notation == Notation::SPlus ? readConsensusBlock(block) : readNewHampshire(block);
}

// How many of the trees contain each cluster.
inline std::map<Members, int> clusterCounts(const std::vector<Tree>& trees) {
    std::map<Members, int> counts;
    for (const Tree& tree : trees)
        for (const Cluster& c : tree.clusters) ++counts[c.members];
    return counts;
}

// The written text of the fraction k / h (computed as k * 1.0 / h) for h up to
// 10, where every fraction other than 0 is at least 0.1: "%10.6f" without its
// padding in S_Plus; six significant digits without trailing zeros, the point
// kept, in New_Hampshire.
inline std::string fractionText(int k, int h, Notation notation) {
    const double value = k * 1.0 / h;
    if (notation == Notation::SPlus) return trimmed(formatted("%10.6f", value));
    if (k == 0) return "0.";
    std::string text = formatted(value < 1 ? "%.6f" : "%.5f", value);
    while (text.back() == '0') text.pop_back();
    return text;
}

// FNV-1a, 64 bits: a fingerprint of a report too large to keep in the tree.
inline std::uint64_t fingerprint(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

}  // namespace report_reader
