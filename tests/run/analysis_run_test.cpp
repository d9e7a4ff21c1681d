// The run frame driven through pipes: refused matrix files, the warning about
// trailing tokens and a report that cannot be written. Headers and layouts are
// covered by the pinned reports and the report structure test.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/console_texts.h"
#include "support/test_support.h"

using namespace console_texts;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;

namespace {


// A matrix file the run refuses: its message on standard error, exit status
// 1, no "complete!", an empty report and the input files as they were.
struct BadFileCase {
    const char* name;
    std::string expression;
    std::string errors;  // empty: a scale of error is used
    std::string message;
};

std::vector<BadFileCase> badFileCases() {
    const std::string e = "Error in the matrix file expr.txt: ";
    return {
        {"EmptyFile", "", "", e + "the file ends before the row count.\n"},
        {"MissingColumnCount", "3\n", "", e + "the file ends before the column count.\n"},
        {"CountNotAnInteger", "3.5 2\n", "",
         e + "the row count \"3.5\" is not a positive integer (line 1).\n"},
        {"CountNotPositive", "3 0\n", "", e + "the column count \"0\" is not a positive integer (line 1).\n"},
        {"ValueWithTrailingText", "2 2\nc1 c2\nr1 1 2\nr2 1.5abc 3\n", "",
         e + "row 2 (r2), column 1 holds \"1.5abc\", which is not a number (line 4).\n"},
        {"MissingValueMarker", "2 2\nc1 c2\nr1 1 NA\nr2 1 3\n", "",
         e + "row 1 (r1), column 2 holds \"NA\", which is not a number (line 3).\n"},
        {"NotFiniteValue", "2 2\nc1 c2\nr1 1 2\nr2 nan 3\n", "",
         e + "row 2 (r2), column 1 holds \"nan\", which is not a finite number (line 4).\n"},
        {"EndsInARow", "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5\n", "",
         e + "the file ends before row 3 (r3), column 2; it should hold 3 rows and 2 columns.\n"},
        {"EndsBeforeARowName", "3 2\nc1 c2\nr1 1 2\nr2 3 4\n", "",
         e + "the file ends before the name of row 3; it should hold 3 rows and 2 columns.\n"},
        {"EndsInTheColumnNames", "3 4 c1 c2", "",
         e + "the file ends before the name of column 3; it should hold 3 rows and 4 columns.\n"},
        {"CountsFarBeyondTheFile", "2000 600\n1 2 3\n", "",
         e + "its counts promise 2000 rows and 600 columns, which need at least 2405203 bytes, "
             "but the file has only 15.\n"},
        {"ErrorFileCountsDiffer", NamedMatrix, "2 2\nc1 c2\nr1 1 2\nr2 3 4\n",
         "The error file err.txt has 2 rows and 2 columns, but the expression file expr.txt has 3 "
         "rows and 2 columns!\n"},
        {"ErrorFileNamesOutOfLayout", NamedMatrix, "3 2\nc1 c2\n0.1 0.2\nr2 0.3 0.4\nr3 0.5 0.6\n",
         "Error in the matrix file err.txt: row 1 (0.1), column 2 holds \"r2\", which is not a "
         "number (line 4).\n"},
        {"ErrorFileValueBroken", NamedMatrix, "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 x\n",
         "Error in the matrix file err.txt: row 3 (r3), column 2 holds \"x\", which is not a "
         "number (line 5).\n"},
    };
}

class BadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadFileTest, EndsTheRunWithAClearMessage) {
    const BadFileCase& c = GetParam();
    TempDir dir;
    dir.write("expr.txt", c.expression);
    if (!c.errors.empty()) dir.write("err.txt", c.errors);
    const std::string input =
        c.errors.empty() ? FirstPassInput + "Y\n" : "expr.txt\ny\nerr.txt\nout.txt\nY\n";
    const auto result = runProgram({}, input, dir.path());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, c.message);
    ASSERT_GE(result.standardOutput.size(), RunStarted.size());
    EXPECT_EQ(result.standardOutput.substr(result.standardOutput.size() - RunStarted.size()), RunStarted);
    EXPECT_EQ(readFile(dir.file("out.txt")), "");
    EXPECT_EQ(readFile(dir.file("expr.txt")), c.expression);
    if (!c.errors.empty()) {
        EXPECT_EQ(readFile(dir.file("err.txt")), c.errors);
    }
}

INSTANTIATE_TEST_SUITE_P(Refused, BadFileTest, ::testing::ValuesIn(badFileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AnalysisRun, TokensAfterTheLastRowGiveAWarning) {
    TempDir dir;
    dir.write("expr.txt", NamedMatrix + "r4 7 8\n");
    const auto result = runProgram({}, FirstPassInput + "Y\n", dir.path());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError,
              "Warning: the matrix file expr.txt holds more tokens after its last row, from \"r4\" "
              "(line 6) on; they are ignored.\n");
    EXPECT_NE(readFile(dir.file("out.txt")).find("The number of rows of the data is : 3\n"),
              std::string::npos);
}

TEST(AnalysisRun, AReportThatCannotBeWrittenEndsWithoutComplete) {
    TempDir dir;
    dir.write("expr.txt", NamedMatrix);
    const auto result = runProgram({}, "expr.txt\nn\n0.1\n/dev/full\ny\nY\n", dir.path());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "Can not write the output file /dev/full: No space left on device\n");
    EXPECT_EQ(result.standardOutput.find("complete!"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("expr.txt")), NamedMatrix);
}

}  // namespace
