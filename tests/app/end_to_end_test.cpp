// Whole runs whose values or distances are not finite: complete trees, and
// one warning of each kind on standard error.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// The leaf labels of every New_Hampshire line of a report's trees, sorted per line.
std::vector<std::vector<std::string>> leavesPerTree(const std::string& report) {
    std::vector<std::vector<std::string>> trees;
    std::size_t at = report.find("The original tree with distance is:");
    while ((at = report.find("\n(", at)) != std::string::npos) {
        const std::size_t end = report.find('\n', ++at);
        std::vector<std::string> leaves;
        for (std::size_t p = at; p < end; ++p) {
            const std::size_t stop = report.find_first_of(",():", p + 1);
            if ((report[p] == '(' || report[p] == ',') && stop > p + 1)
                leaves.push_back(report.substr(p + 1, stop - p - 1));
        }
        std::sort(leaves.begin(), leaves.end());
        trees.push_back(leaves);
    }
    return trees;
}

TEST(EndToEnd, NonFiniteDataGiveCompleteTreesAndOneWarningOfEachKind) {
    const struct {
        const char* what;
        std::string expression, answers;
        std::vector<std::string> warnings;  // each line of standard error starts with one, in order
    } cases[] = {
        // Row 2 stays all zeros under a scale of error: its correlation with
        // every other row is not a number, and only row 2 is named.
        {"constant row under correlation", "4 3\n1 2 3\n0 0 0\n3 1 2\n2 2 5\n",
         "expr.txt\nn\n0.1\nout.txt\n2\n4\n3\n5\n6\n1\nY\n",
         {"noiseclust: warning: infinite or undefined distances involve row(s) 2; "}},
        // A scale of error of 1.5 pushes 18 of the 60 values of five samples to
        // zero or below (counted with an independent transcription of the
        // random stream and the normal deviates); their logarithms are not finite.
        {"logarithms of values below zero", "4 3\n0.05 2 3\n0.2 0.1 0.3\n3 1 2\n2 2 5\n",
         "expr.txt\nn\n1.5\nout.txt\n2\n4\n3\n5\n4\ny\n1\n1\nY\n",
         {"noiseclust: warning: 18 value(s) became infinite or not a number after "
          "preprocessing or resampling, first in resampled data set 1, row 1\n",
          "noiseclust: warning: infinite or undefined distances"}},
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        dir.write("expr.txt", c.expression);
        const auto result = testing_support::runProgram({}, c.answers, dir.path());
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        const auto trees = leavesPerTree(testing_support::readFile(dir.file("out.txt")));
        EXPECT_EQ(trees, decltype(trees)(8, {"1", "2", "3", "4"})) << c.what;  // first, 5 samples, 2
        const std::string& err = result.standardError;
        std::size_t at = 0;
        for (const std::string& warning : c.warnings) {
            EXPECT_EQ(err.compare(at, warning.size(), warning), 0) << err;
            at = err.find('\n', at) + 1;
        }
        EXPECT_EQ(at, err.size()) << err;
    }
}

}  // namespace
