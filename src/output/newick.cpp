// Standard Newick of the first tree and of the consensus tree. Both are
// written by an explicit stack, so chain-shaped trees of many objects need
// neither deep recursion nor nested copies of texts.
//
// Branch lengths of the first tree are half the difference of the merge
// heights at their ends: a tree drawn from leaves at height 0 then has every
// merge at half its height, so the path between two leaves (what ape's
// cophenetic.phylo and Bio.Phylo's distance measure) is the merge height at
// which they were joined, and ape's as.hclust gives back the merge heights,
// the convention of ape's as.phylo for hclust trees.
#include "output/newick.h"

#include <charconv>
#include <cmath>

#include "cluster/tree_writer.h"

namespace {

// The shortest plain decimal text that reads back to the same double.
std::string plainNumber(double value) {
    if (value == 0) return "0";
    char buffer[400];  // the longest fixed-notation double has 310 digits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

// A name in single quotes when it holds a blank or one of ()[]':;, (inner
// quotes doubled), else as it is.
std::string newickName(const std::string& name) {
    if (!name.empty() && name.find_first_of(" \t\r\n()[]':;,") == std::string::npos) return name;
    std::string text = "'";
    for (char c : name) {
        if (c == '\'') text += '\'';
        text += c;
    }
    return text + "'";
}

std::string leafText(int object, const NameTable& rowNames, bool hasRowNames) {
    return hasRowNames ? newickName(leafLabel(object, rowNames, hasRowNames))
                       : std::to_string(object);
}

enum class Action { Enter, Comma, Close };

struct Item {
    Action action;
    int member;           // merge member (first tree) or child entry (consensus)
    double parentHeight;  // first tree: height of the node above
    bool root;
};

}  // namespace

std::string newickOfFirstTree(const MergeTree& tree, const std::vector<double>& support,
                              const NameTable& rowNames, bool hasRowNames) {
    if (tree.stepCount() == 0)
        return tree.objectCount > 0 ? leafText(1, rowNames, hasRowNames) + ";" : ";";
    std::string out;
    std::vector<Item> stack{{Action::Enter, tree.stepCount(), 0.0, true}};
    auto length = [](double above, double below) {
        return std::string(1, ':').append(plainNumber((above - below) / 2));
    };
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        if (item.action == Action::Comma) {
            out += ',';
        } else if (item.member < 0) {
            out += leafText(-item.member, rowNames, hasRowNames) + length(item.parentHeight, 0.0);
        } else if (item.action == Action::Enter) {
            const int step = item.member - 1;
            const double height = tree.height(step);
            out += '(';
            stack.push_back({Action::Close, item.member, item.parentHeight, item.root});
            stack.push_back({Action::Enter, tree.mergeMember(step, 1), height, false});
            stack.push_back({Action::Comma, 0, 0.0, false});
            stack.push_back({Action::Enter, tree.mergeMember(step, 0), height, false});
        } else {
            const int step = item.member - 1;
            out += ')';
            if (index(step) < support.size()) out += plainNumber(support[index(step)]);
            if (!item.root) out += length(item.parentHeight, tree.height(step));
        }
    }
    return out + ";";
}

std::string newickOfConsensusTree(const ConsensusTree& tree, const NameTable& rowNames,
                                  bool hasRowNames) {
    if (tree.nodeCount() == 0) {
        if (tree.objectCount == 1) return leafText(1, rowNames, hasRowNames) + ";";
        std::string out = "(";
        for (int o = 1; o <= tree.objectCount; ++o) {
            if (o > 1) out += ',';
            out += leafText(o, rowNames, hasRowNames);
        }
        return out + ");";
    }
    std::string out;
    std::vector<Item> stack{{Action::Enter, tree.nodeCount(), 0.0, true}};
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        if (item.action == Action::Comma) {
            out += ',';
        } else if (item.member < 0) {
            out += leafText(-item.member, rowNames, hasRowNames);
        } else if (item.action == Action::Enter) {
            out += '(';
            stack.push_back({Action::Close, item.member, 0.0, item.root});
            const auto& children = tree.children[index(item.member - 1)];
            for (std::size_t i = children.size(); i-- > 0;) {
                stack.push_back({Action::Enter, children[i], 0.0, false});
                if (i > 0) stack.push_back({Action::Comma, 0, 0.0, false});
            }
        } else {
            out += ')' + plainNumber(tree.values[index(item.member - 1)]);
        }
    }
    return out + ";";
}
