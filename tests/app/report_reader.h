#pragma once
// Reads a noiseclust report back: its blocks without their captions and
// separators, and the leaves of a New_Hampshire tree.

#include <string>
#include <vector>

namespace report_reader {

struct Report {
    std::string header;  // "Here are the settings:" to the blank lines after the column count
    std::string firstTree;
    std::vector<std::string> samples;  // captions numbered 1, 2, ... in order
    std::string confidenceTree;
    std::string consensus;
    bool complete = false;  // every caption and separator where it belongs
};

inline Report splitReport(const std::string& text) {
    Report r;
    std::size_t at = text.find("\n\n\nThe original tree with distance is:\n");
    if (text.rfind("Here are the settings:\n", 0) != 0 || at == std::string::npos) return r;
    r.header = text.substr(0, at += 3);
    // A block runs to its last line end; the "\n\n" after it is the separator.
    auto block = [&](const std::string& caption, std::string& target) {
        if (text.compare(at, caption.size(), caption) != 0) return false;
        const std::size_t start = at + caption.size(), end = text.find("\n\n", start);
        if (end == std::string::npos || end == start || text.compare(end + 1, 2, "\n\n") != 0)
            return false;
        target = text.substr(start, end + 1 - start);
        at = end + 3;
        return true;
    };
    if (!block("The original tree with distance is:\n", r.firstTree)) return r;
    for (std::string sample;
         block("The " + std::to_string(r.samples.size() + 1) + " sample tree with distance is:\n",
               sample);)
        r.samples.push_back(sample);
    if (!block("\n\nThe original tree with confidence values is:\n", r.confidenceTree)) return r;
    const std::string caption = "The consensus tree is:\n";
    if (text.compare(at, caption.size(), caption) != 0) return r;
    r.consensus = text.substr(at + caption.size());
    r.complete = r.consensus.size() > 1 && r.consensus.find("\n\n") == std::string::npos &&
                 r.consensus.back() == '\n';
    return r;
}

// The leaf labels of a New_Hampshire line, in written order.
inline std::vector<std::string> leavesOf(const std::string& line) {
    std::vector<std::string> leaves;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t end = line.find_first_of(",():;\n", at);
        if (end > at && (at == 0 || line[at - 1] != ':')) leaves.push_back(line.substr(at, end - at));
        at = end == std::string::npos ? line.size() : end + 1;
    }
    return leaves;
}

}  // namespace report_reader
