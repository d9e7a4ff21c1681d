// Whole runs through the dialogue: reports worked out by hand, and complete
// trees with one warning of each kind when values or distances are not finite.
//
// The hand-worked reports use errors of 0: every resampled data set equals
// the data, so every sample tree is the first tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;

namespace {

const std::string FirstCaption = "The original tree with distance is:\n";

// The report from the first tree on, built from its blocks.
std::string reportTrees(const std::string& first, const std::vector<std::string>& samples,
                        const std::string& confidence, const std::string& consensus) {
    std::string text = FirstCaption + first + "\n\n";
    for (std::size_t i = 0; i < samples.size(); ++i)
        text += "The " + std::to_string(i + 1) + " sample tree with distance is:\n" + samples[i] + "\n\n";
    return text + "\n\nThe original tree with confidence values is:\n" + confidence +
           "\n\nThe consensus tree is:\n" + consensus;
}

std::string runTrees(const std::string& expression, const std::string& errors, const std::string& answers,
                     std::string* standardError = nullptr) {
    TempDir dir;
    dir.write("expr.txt", expression);
    if (!errors.empty()) dir.write("err.txt", errors);
    const auto result = runProgram({}, answers, dir.path());
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    if (standardError) *standardError = result.standardError;
    else EXPECT_EQ(result.standardError, "");
    const std::string report = readFile(dir.file("out.txt"));
    const std::size_t trees = report.find(FirstCaption);
    return trees == std::string::npos ? report : report.substr(trees);
}

TEST(EndToEnd, HandWorkedReports) {
    // Values 0, 1, 3, 7, 8: the first tree pairs (-1,-2) and (-4,-5) at 1, then
    // (1,-3) at 2.5 and (3,2) at 37/6. The consensus nests {3,1,2} and {4,5}
    // under the root; single objects come before clusters.
    const std::string named = "(((A,B):1.,C):2.5,(D,E):1.):6.16667;\n";
    EXPECT_EQ(runTrees("5 1\nt1\nA 0\nB 1\nC 3\nD 7\nE 8\n", "5 1\nt1\nA 0\nB 0\nC 0\nD 0\nE 0\n",
                       "expr.txt\ny\nerr.txt\nout.txt\n3\n3\nY\n"),
              reportTrees(named, {named, named, named}, "(((A,B):1.,C):1.,(D,E):1.):1.;\n",
                          "((C,(A,B):1.):1.,(D,E):1.):1.;\n"));

    // Values 0, 4, 5, 10, 11 without names under "manhattan" and "compact",
    // S_Plus: (-2,-3) at 1, (-4,-5) at 1, (-1,1) at max(4,5) = 5, (3,2) at 11;
    // leaf order 4 5 1 2 3.
    const std::string pairs =
        "The number of nodes is :      4\nThe nodes of the tree are :\n"
        "\t2\t    -2\t    -3\n\t2\t    -4\t    -5\n\t2\t    -1\t     1\n\t2\t     3\t     2\n"
        "The heights of the tree nodes are :\n";
    const std::string order = "The order of objects in the tree is :\n     4\n     5\n     1\n     2\n     3\n";
    const std::string tree = pairs + "  1.000000\n  1.000000\n  5.000000\n 11.000000\n" + order;
    EXPECT_EQ(runTrees("5 1\n0\n4\n5\n10\n11\n", "5 1\n0\n0\n0\n0\n0\n",
                       "expr.txt\ny\nerr.txt\nout.txt\n2\n4\n3\n2\n6\n4\n7\n2\n9\n1\nY\n"),
              reportTrees(tree, {tree, tree}, pairs + "  1.000000\n  1.000000\n  1.000000\n  1.000000\n" + order,
                          "The number of nodes is : 4\nThe nodes of the tree are :\n"
                          "2  2  3\n2  4  5\n3  1  2  3\n5  1  2  3  4  5\n"
                          "The heights of the tree nodes are :\n"
                          "  1.000000\n  1.000000\n  1.000000\n  1.000000\n"
                          "The order of the objects in the tree is :\n5\n4\n3\n2\n1\n"));
}

// The leaf labels of every New_Hampshire line, sorted per line.
std::vector<std::vector<std::string>> leavesPerTree(const std::string& report) {
    std::vector<std::vector<std::string>> trees;
    for (std::size_t at = 0; (at = report.find("\n(", at)) != std::string::npos;) {
        const std::size_t end = report.find('\n', ++at);
        std::vector<std::string> leaves;
        for (std::size_t p = at; p < end; ++p) {
            if (report[p] != '(' && report[p] != ',') continue;
            const std::size_t stop = report.find_first_of(",():", p + 1);
            if (stop > p + 1) leaves.push_back(report.substr(p + 1, stop - p - 1));
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
        // zero or below (hand_worked_numbers.py); their logarithms are not finite.
        {"logarithms of values below zero", "4 3\n0.05 2 3\n0.2 0.1 0.3\n3 1 2\n2 2 5\n",
         "expr.txt\nn\n1.5\nout.txt\n2\n4\n3\n5\n4\ny\n1\n1\nY\n",
         {"noiseclust: warning: 18 value(s) became infinite or not a number after "
          "preprocessing or resampling, first in resampled data set 1, row 1\n",
          "noiseclust: warning: infinite or undefined distances"}},
    };
    for (const auto& c : cases) {
        std::string err;
        const auto trees = leavesPerTree(runTrees(c.expression, "", c.answers, &err));
        EXPECT_EQ(trees, decltype(trees)(8, {"1", "2", "3", "4"})) << c.what;  // first, 5 samples, 2
        std::size_t at = 0;
        for (const std::string& warning : c.warnings) {
            EXPECT_EQ(err.compare(at, warning.size(), warning), 0) << err;
            at = err.find('\n', at) + 1;
        }
        EXPECT_EQ(at, err.size()) << err;
    }
}

}  // namespace
