// Whole runs through the dialogue: complete reports worked out by hand,
// facts of the resampling, and the warnings about non-finite values.
//
// The hand-worked reports use errors of 0 (every resampled data set equals the
// data, so every sample tree is the first tree) or three objects under a scale
// of error, whose deviates and heights hand_worked_numbers.py works out.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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
    std::string header;
    std::string firstTree;
    std::vector<std::string> samples;
    std::string confidenceTree;
    std::string consensus;
};

void PrintTo(const HandWorkedCase& c, std::ostream* out) { *out << c.name; }

std::string reportOf(const HandWorkedCase& c) {
    std::string text = c.header + "The original tree with distance is:\n" + c.firstTree + "\n\n";
    for (std::size_t i = 0; i < c.samples.size(); ++i)
        text += "The " + std::to_string(i + 1) + " sample tree with distance is:\n" + c.samples[i] +
                "\n\n";
    return text + "\n\nThe original tree with confidence values is:\n" + c.confidenceTree + "\n\n" +
           "The consensus tree is:\n" + c.consensus;
}

// Items 1 to 14 of a report on expr.txt with one column, written to out.txt.
struct HeaderItems {
    std::string errorLine;
    std::string inputFormat;
    int sampleSize;
    std::string distance;
    std::string linkage;
    std::string notation;
    int rows;
};

std::string header(const HeaderItems& h) {
    std::string text = "Here are the settings:\n";
    auto item = [&](const std::string& label, const std::string& value) {
        text += label + value + "\n";
    };
    item("The name of expression file is : ", "expr.txt");
    text += h.errorLine + "\n";
    item("The format of input file is    : ", h.inputFormat);
    item("The sample size is             : ", std::to_string(h.sampleSize));
    item("Preprocess data                : ", "No");
    item("Preprocess data by             : ", "None, None");
    item("Distance method                : ", h.distance);
    item("Hierarchical Clustering Method : ", h.linkage);
    item("The name of output file is     : ", "out.txt");
    item("The format of output file is   : ", h.notation + "\n");
    text += "\n";
    item("The number of rows of the data is : ", std::to_string(h.rows));
    item("The number of columns of the data is : ", "1\n\n");
    return text;
}

const std::string ErrorFileLine = "The name of error file is      : err.txt";
const std::string ScaleLine = "The Scale of Error is          : 0.300000";

// Three objects 1, 2, 3 under a scale of error of 0.3: sample 1 joins 2 and 3
// first, samples 2 and 3 join 1 and 2. So {1, 2} is in 2 of 3 sample trees,
// first found in the second list, and is the one cluster besides the root
// that the consensus keeps.
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

    const std::string threePairs =
        "The number of nodes is :      2\n"
        "The nodes of the tree are :\n"
        "\t2\t    -1\t    -2\n"
        "\t2\t     1\t    -3\n"
        "The heights of the tree nodes are :\n";
    const std::string threeOrder =
        "The order of objects in the tree is :\n"
        "     3\n     1\n     2\n";
    const std::string firstSampleOfThree =
        "The number of nodes is :      2\n"
        "The nodes of the tree are :\n"
        "\t2\t    -2\t    -3\n"
        "\t2\t    -1\t     1\n"
        "The heights of the tree nodes are :\n"
        "  0.217251\n  1.047992\n"
        "The order of objects in the tree is :\n"
        "     1\n     2\n     3\n";
    return {
        // Values 0, 1, 3, 7, 8: the first tree pairs (-1,-2) and (-4,-5) at 1, then
        // (1,-3) at 2.5 and (3,2) at 37/6. The consensus nests {3,1,2} and {4,5}
        // under the root; single objects come before clusters.
        {"NewHampshireWithNamesAndZeroErrors",
         "5 1\nt1\nA 0\nB 1\nC 3\nD 7\nE 8\n",
         "5 1\nt1\nA 0\nB 0\nC 0\nD 0\nE 0\n",
         "expr.txt\ny\nerr.txt\nout.txt\n3\n3\nY\n",
         header({ErrorFileLine, "has row names, has column names", 3, "euclidean", "average",
                 "New_Hampshire", 5}),
         "(((A,B):1.,C):2.5,(D,E):1.):6.16667;\n",
         std::vector<std::string>(3, "(((A,B):1.,C):2.5,(D,E):1.):6.16667;\n"),
         "(((A,B):1.,C):1.,(D,E):1.):1.;\n",
         "((C,(A,B):1.):1.,(D,E):1.):1.;\n"},
        {"SPlusWithoutNamesAndZeroErrors",
         "5 1\n0\n4\n5\n10\n11\n",
         "5 1\n0\n0\n0\n0\n0\n",
         "expr.txt\ny\nerr.txt\nout.txt\n2\n4\n3\n2\n6\n4\n7\n2\n9\n1\nY\n",
         header({ErrorFileLine, "no row names, no column names", 2, "manhattan", "compact",
                 "S_Plus", 5}),
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
         header({ScaleLine, "no row names, has column names", 3, "euclidean", "average",
                 "New_Hampshire", 3}),
         "((1,2):1.,3):1.5;\n",
         {"(1,(2,3):0.217251):1.04799;\n", "((1,2):0.793627,3):1.66479;\n",
          "((1,2):0.454646,3):1.26253;\n"},
         "((1,2):0.666667,3):1.;\n",
         "(3,(1,2):0.666667):1.;\n"},
        {"SPlusUnderAScaleOfError",
         ThreeObjects,
         "",
         "expr.txt\nn\n0.3\nout.txt\n2\n3\n3\n3\n9\n1\nY\n",
         header({ScaleLine, "no row names, has column names", 3, "euclidean", "average", "S_Plus",
                 3}),
         threePairs + "  1.000000\n  1.500000\n" + threeOrder,
         {firstSampleOfThree, threePairs + "  0.793627\n  1.664785\n" + threeOrder,
          threePairs + "  0.454646\n  1.262531\n" + threeOrder},
         threePairs + "  0.666667\n  1.000000\n" + threeOrder,
         "The number of nodes is : 2\n"
         "The nodes of the tree are :\n"
         "2  1  2\n"
         "3  3  1  2\n"
         "The heights of the tree nodes are :\n"
         "  0.666667\n  1.000000\n"
         "The order of the objects in the tree is :\n"
         "2\n1\n3\n"},
    };
}

class HandWorkedReport : public ::testing::TestWithParam<HandWorkedCase> {};

TEST_P(HandWorkedReport, MatchesByteForByte) {
    const HandWorkedCase& c = GetParam();
    TempDir dir;
    dir.write("expr.txt", c.expression);
    if (!c.errors.empty()) dir.write("err.txt", c.errors);
    const auto result = runProgram({}, c.answers, dir.path());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(readFile(dir.file("out.txt")), reportOf(c));
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, HandWorkedReport, ::testing::ValuesIn(handWorkedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs the answers on the files in a fresh folder; the report split into blocks.
struct FinishedRun {
    testing_support::ProcessResult result;
    std::string text;
    Report report;
};

FinishedRun runWith(const std::string& expression, const std::string& answers,
                    const std::string& errors = "") {
    TempDir dir;
    dir.write("expr.txt", expression);
    if (!errors.empty()) dir.write("err.txt", errors);
    FinishedRun run;
    run.result = runProgram({}, answers, dir.path());
    run.text = readFile(dir.file("out.txt"));
    run.report = splitReport(run.text);
    return run;
}

// Median centring sorts the three values of the column before the first tree,
// and the sort takes one number of the stream: every sample is drawn one
// number later than without preprocessing (see the scale-of-error cases above).
TEST(Resampling, MedianCentringDrawsBeforeTheFirstSample) {
    const FinishedRun run =
        runWith(ThreeObjects, "expr.txt\nn\n0.3\nout.txt\n2\n3\n3\n3\n4\ny\n2\n4\nY\n");
    ASSERT_EQ(run.result.exitStatus, 0);
    ASSERT_EQ(run.report.problem, "");
    EXPECT_NE(run.report.header.find("Preprocess data by             : column, mediancenter\n"),
              std::string::npos);
    EXPECT_EQ(run.report.firstTree, "((1,2):1.,3):1.5;\n");  // 1, 2, 3 centred to -1, 0, 1
    EXPECT_EQ(run.report.samples, (std::vector<std::string>{"((1,2):1.17707,3):3.5554;\n",
                                                            "(1,(2,3):0.577713):1.42339;\n",
                                                            "((1,3):2.07134e-002,2):1.34408;\n"}));
}

// Two rows of zeros stay zeros under a scale of error, so they are joined
// first, at height 0, in every sample tree.
TEST(Resampling, ZerosStayZeroInEverySample) {
    const FinishedRun run = runWith("5 3\n0 0 0\n0 0 0\n1 2 3\n2 1 5\n4 4 1\n",
                                    "expr.txt\nn\n0.5\nout.txt\n2\n4\n3\n20\n9\n1\nY\n");
    ASSERT_EQ(run.result.exitStatus, 0);
    ASSERT_EQ(run.report.problem, "");
    ASSERT_EQ(run.report.samples.size(), 20u);
    for (const std::string& block : run.report.samples) {
        const Tree tree = readMergeBlock(block);
        ASSERT_EQ(tree.problem, "");
        EXPECT_EQ(tree.clusters[0].members, (Members{"1", "2"}));
        EXPECT_EQ(tree.clusters[0].value, "0.000000");
    }
    EXPECT_EQ(readMergeBlock(run.report.confidenceTree).clusters[0].value, "1.000000");
}

// One sample: one block, and every cluster of its tree in the consensus with value 1.
TEST(Resampling, OneSampleGivesOneBlockAndItsTreeAsConsensus) {
    const FinishedRun run =
        runWith("5 2\n1 2\n2 4\n3 1\n5 5\n4 2\n", "expr.txt\nn\n0.2\nout.txt\n2\n4\n3\n1\nY\n");
    ASSERT_EQ(run.result.exitStatus, 0);
    ASSERT_EQ(run.report.problem, "");
    EXPECT_EQ(run.report.sampleNumbers, std::vector<int>{1});
    const Tree sample = readNewHampshire(run.report.samples[0]);
    const Tree consensus = readNewHampshire(run.report.consensus);
    ASSERT_EQ(consensus.problem, "");
    std::map<Members, std::string> expected, written;
    for (const Cluster& c : sample.clusters) expected[c.members] = "1.";
    for (const Cluster& c : consensus.clusters) written[c.members] = c.value;
    EXPECT_EQ(written, expected);
}

TEST(Resampling, RepeatedRunsWriteIdenticalReports) {
    const std::string expression = "4 3\nc1 c2 c3\nr1 1 2 3\nr2 2 2 1\nr3 5 1 2\nr4 3 3 4\n";
    const std::string errors =
        "4 3\nc1 c2 c3\nr1 0.3 0.2 0.4\nr2 0.1 0.5 0.3\nr3 0.4 0.2 0.2\nr4 0.6 0.1 0.3\n";
    const std::string answers = "expr.txt\ny\nerr.txt\nout.txt\n3\n10\n4\ny\n1\n4\n9\n1\nY\n";
    const FinishedRun first = runWith(expression, answers, errors);
    const FinishedRun second = runWith(expression, answers, errors);
    ASSERT_EQ(first.result.exitStatus, 0);
    ASSERT_EQ(first.report.problem, "");
    EXPECT_EQ(first.text, second.text);
}

// A run whose data give non-finite values or distances still completes with
// trees that hold every object once, and warns on standard error.
void expectValidTrees(const FinishedRun& run, int objects) {
    ASSERT_EQ(run.result.exitStatus, 0);
    EXPECT_NE(run.result.standardOutput.find("complete!\n"), std::string::npos);
    ASSERT_EQ(run.report.problem, "");
    std::vector<std::string> blocks = run.report.samples;
    blocks.push_back(run.report.firstTree);
    blocks.push_back(run.report.confidenceTree);
    blocks.push_back(run.report.consensus);
    std::vector<std::string> labels;
    for (int o = 1; o <= objects; ++o) labels.push_back(std::to_string(o));
    for (const std::string& block : blocks) {
        const Tree tree = readNewHampshire(block);
        ASSERT_EQ(tree.problem, "") << block;
        std::vector<std::string> leaves = tree.leaves;
        std::sort(leaves.begin(), leaves.end());
        EXPECT_EQ(leaves, labels) << block;
    }
}

// Row 2 is all zeros, so it stays constant under the scale of error and its
// correlation with every other row is not a number in every pass.
const std::string ConstantRow = "4 3\n1 2 3\n0 0 0\n3 1 2\n2 2 5\n";
const std::string ConstantRowAnswers = "expr.txt\nn\n0.1\nout.txt\n2\n4\n3\n5\n6\n1\nY\n";

TEST(NonFinite, AConstantRowUnderCorrelationGivesOneWarning) {
    const FinishedRun run = runWith(ConstantRow, ConstantRowAnswers);
    expectValidTrees(run, 4);
    const auto lines = linesOf(run.result.standardError);
    ASSERT_EQ(lines.size(), 1u) << run.result.standardError;
    EXPECT_EQ(
        lines[0].rfind("noiseclust: warning: infinite or undefined distances involve row(s) ", 0),
        0u);
}

// The warning names the constant row alone: the other rows have only their
// distance to it spoiled.
TEST(NonFinite, TheWarningNamesRowsOfTheMatrix) {
    const FinishedRun run = runWith(ConstantRow, ConstantRowAnswers);
    const std::string& warning = run.result.standardError;
    const auto start = warning.find("row(s) ");
    ASSERT_NE(start, std::string::npos);
    std::vector<int> rows;
    for (std::size_t at = start + 7; at < warning.size() && warning[at] != ';';) {
        std::size_t used = 0;
        rows.push_back(std::stoi(warning.substr(at), &used));
        at += used;
        if (warning.compare(at, 2, ", ") == 0) at += 2;
    }
    EXPECT_EQ(rows, std::vector<int>{2});
}

// A scale of error of 1.5 pushes 18 of the 60 values of five samples to zero
// or below (hand_worked_numbers.py); their logarithms are not finite.
TEST(NonFinite, LogarithmsOfValuesPushedBelowZeroAreCountedOnce) {
    const FinishedRun run = runWith("4 3\n0.05 2 3\n0.2 0.1 0.3\n3 1 2\n2 2 5\n",
                                    "expr.txt\nn\n1.5\nout.txt\n2\n4\n3\n5\n4\ny\n1\n1\nY\n");
    expectValidTrees(run, 4);
    int valueWarnings = 0;
    for (const std::string& line : linesOf(run.result.standardError)) {
        if (line.find("value(s)") != std::string::npos) {
            ++valueWarnings;
            EXPECT_EQ(line,
                      "noiseclust: warning: 18 value(s) became infinite or not a number after "
                      "preprocessing or resampling, first in resampled data set 1, row 1");
        } else {
            EXPECT_EQ(line.rfind("noiseclust: warning: infinite or undefined distances", 0), 0u)
                << line;
        }
    }
    EXPECT_EQ(valueWarnings, 1);
}

}  // namespace
