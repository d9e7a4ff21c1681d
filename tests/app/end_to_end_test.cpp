// Whole runs through the dialogue: reports worked out by hand, and the
// warnings about non-finite values.
//
// The hand-worked reports use errors of 0 (every resampled data set equals the
// data, so every sample tree is the first tree) or three objects under a scale
// of error, whose deviates and heights hand_worked_numbers.py works out.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "app/report_reader.h"
#include "support/test_support.h"

using namespace report_reader;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;

namespace {

struct HandWorkedCase {
    const char* name;
    std::string expression;
    std::string errors;  // empty: the answers give a scale of error
    std::string answers;
    std::string firstTree;
    std::vector<std::string> samples;
    std::string confidenceTree;
    std::string consensus;
};

void PrintTo(const HandWorkedCase& c, std::ostream* out) { *out << c.name; }

// Three objects 1, 2, 3 under a scale of error of 0.3: sample 1 joins 2 and 3
// first, samples 2 and 3 join 1 and 2. So {1, 2} is in 2 of 3 sample trees
// and is the one cluster besides the root that the consensus keeps.
const std::string ThreeObjects = "3 1\nt1\n1\n2\n3\n";

std::vector<HandWorkedCase> handWorkedCases() {
    // Values 0, 4, 5, 10, 11 under "manhattan" and "compact": (-2,-3) at 1,
    // (-4,-5) at 1, (-1,1) at max(4,5) = 5, (3,2) at 11; leaf order 4 5 1 2 3.
    const std::string fivePairs =
        "The number of nodes is :      4\n"
        "The nodes of the tree are :\n"
        "\t2\t    -2\t    -3\n"
        "\t2\t    -4\t    -5\n"
        "\t2\t    -1\t     1\n"
        "\t2\t     3\t     2\n"
        "The heights of the tree nodes are :\n";
    const std::string fiveOrder =
        "The order of objects in the tree is :\n"
        "     4\n     5\n     1\n     2\n     3\n";
    const std::string fiveTree =
        fivePairs + "  1.000000\n  1.000000\n  5.000000\n 11.000000\n" + fiveOrder;

    return {
        // Values 0, 1, 3, 7, 8: the first tree pairs (-1,-2) and (-4,-5) at 1, then
        // (1,-3) at 2.5 and (3,2) at 37/6. The consensus nests {3,1,2} and {4,5}
        // under the root; single objects come before clusters.
        {"NewHampshireWithNamesAndZeroErrors",
         "5 1\nt1\nA 0\nB 1\nC 3\nD 7\nE 8\n",
         "5 1\nt1\nA 0\nB 0\nC 0\nD 0\nE 0\n",
         "expr.txt\ny\nerr.txt\nout.txt\n3\n3\nY\n",
         "(((A,B):1.,C):2.5,(D,E):1.):6.16667;\n",
         std::vector<std::string>(3, "(((A,B):1.,C):2.5,(D,E):1.):6.16667;\n"),
         "(((A,B):1.,C):1.,(D,E):1.):1.;\n",
         "((C,(A,B):1.):1.,(D,E):1.):1.;\n"},
        {"SPlusWithoutNamesAndZeroErrors",
         "5 1\n0\n4\n5\n10\n11\n",
         "5 1\n0\n0\n0\n0\n0\n",
         "expr.txt\ny\nerr.txt\nout.txt\n2\n4\n3\n2\n6\n4\n7\n2\n9\n1\nY\n",
         fiveTree,
         std::vector<std::string>(2, fiveTree),
         fivePairs + "  1.000000\n  1.000000\n  1.000000\n  1.000000\n" + fiveOrder,
         "The number of nodes is : 4\n"
         "The nodes of the tree are :\n"
         "2  2  3\n"
         "2  4  5\n"
         "3  1  2  3\n"
         "5  1  2  3  4  5\n"
         "The heights of the tree nodes are :\n"
         "  1.000000\n  1.000000\n  1.000000\n  1.000000\n"
         "The order of the objects in the tree is :\n"
         "5\n4\n3\n2\n1\n"},
        {"NewHampshireUnderAScaleOfError",
         ThreeObjects,
         "",
         "expr.txt\nn\n0.3\nout.txt\n2\n3\n3\n3\nY\n",
         "((1,2):1.,3):1.5;\n",
         {"(1,(2,3):0.217251):1.04799;\n", "((1,2):0.793627,3):1.66479;\n",
          "((1,2):0.454646,3):1.26253;\n"},
         "((1,2):0.666667,3):1.;\n",
         "(3,(1,2):0.666667):1.;\n"},
        // Median centring sorts the three values of the column before the first
        // tree, and the sort takes one number of the stream: every sample is
        // drawn one number later than in the case above.
        {"MedianCentringDrawsBeforeTheFirstSample",
         ThreeObjects,
         "",
         "expr.txt\nn\n0.3\nout.txt\n2\n3\n3\n3\n4\ny\n2\n4\nY\n",
         "((1,2):1.,3):1.5;\n",  // 1, 2, 3 centred to -1, 0, 1
         {"((1,2):1.17707,3):3.5554;\n", "(1,(2,3):0.577713):1.42339;\n",
          "((1,3):2.07134e-002,2):1.34408;\n"},
         "((1,2):0.333333,3):1.;\n",
         "(1,2,3):1.;\n"},
    };
}

class HandWorkedReport : public ::testing::TestWithParam<HandWorkedCase> {};

TEST_P(HandWorkedReport, MatchesBlockForBlock) {
    const HandWorkedCase& c = GetParam();
    TempDir dir;
    dir.write("expr.txt", c.expression);
    if (!c.errors.empty()) dir.write("err.txt", c.errors);
    const auto result = runProgram({}, c.answers, dir.path());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    const Report report = splitReport(readFile(dir.file("out.txt")));
    ASSERT_TRUE(report.complete);
    EXPECT_EQ(report.firstTree, c.firstTree);
    EXPECT_EQ(report.samples, c.samples);
    EXPECT_EQ(report.confidenceTree, c.confidenceTree);
    EXPECT_EQ(report.consensus, c.consensus);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, HandWorkedReport, ::testing::ValuesIn(handWorkedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Data that give non-finite values or distances still give complete trees
// of every object, and one warning of each kind on standard error.
struct NonFiniteCase {
    const char* name;
    std::string expression, answers;
    std::vector<std::string> warnings;  // each line starts with one of them, in order
};

void PrintTo(const NonFiniteCase& c, std::ostream* out) { *out << c.name; }

class NonFinite : public ::testing::TestWithParam<NonFiniteCase> {};

TEST_P(NonFinite, CompletesWithValidTreesAndWarnsOnce) {
    TempDir dir;
    dir.write("expr.txt", GetParam().expression);
    const auto result = runProgram({}, GetParam().answers, dir.path());
    const Report report = splitReport(readFile(dir.file("out.txt")));
    ASSERT_EQ(result.exitStatus, 0);
    ASSERT_TRUE(report.complete);
    std::vector<std::string> blocks = report.samples;
    blocks.insert(blocks.end(), {report.firstTree, report.confidenceTree, report.consensus});
    for (const std::string& block : blocks) {
        std::vector<std::string> leaves = leavesOf(block);
        std::sort(leaves.begin(), leaves.end());
        EXPECT_EQ(leaves, (std::vector<std::string>{"1", "2", "3", "4"})) << block;
    }
    const auto& err = result.standardError;
    std::size_t at = 0;
    for (const std::string& warning : GetParam().warnings) {
        EXPECT_EQ(err.compare(at, warning.size(), warning), 0) << err;
        at = err.find('\n', at) + 1;
    }
    EXPECT_EQ(at, err.size()) << err;
}

INSTANTIATE_TEST_SUITE_P(
    Warnings, NonFinite,
    ::testing::Values(
        // Row 2 stays all zeros under a scale of error: its correlation with
        // every other row is not a number, and only row 2 is named.
        NonFiniteCase{"ConstantRowUnderCorrelation", "4 3\n1 2 3\n0 0 0\n3 1 2\n2 2 5\n",
                      "expr.txt\nn\n0.1\nout.txt\n2\n4\n3\n5\n6\n1\nY\n",
                      {"noiseclust: warning: infinite or undefined distances involve row(s) 2; "}},
        // A scale of error of 1.5 pushes 18 of the 60 values of five samples to
        // zero or below (hand_worked_numbers.py); their logarithms are not finite.
        NonFiniteCase{"LogarithmsOfValuesBelowZero", "4 3\n0.05 2 3\n0.2 0.1 0.3\n3 1 2\n2 2 5\n",
                      "expr.txt\nn\n1.5\nout.txt\n2\n4\n3\n5\n4\ny\n1\n1\nY\n",
                      {"noiseclust: warning: 18 value(s) became infinite or not a number after "
                       "preprocessing or resampling, first in resampled data set 1, row 1\n",
                       "noiseclust: warning: infinite or undefined distances"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
