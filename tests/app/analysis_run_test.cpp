// The run frame: runs that leave files complete or untouched, and a report
// that cannot be written. The pinned reports show the header of every choice
// and the warnings of whole runs.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;

namespace {

const std::string NamedMatrix = "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n";
const std::string RunStarted = "\n\nNow program is running......";

// Command-line runs leave their files complete or untouched: each case runs
// in a folder holding expr.txt and an earlier report r.txt; "@" in the
// expected standard output stands for the report.
TEST(AnalysisRun, ScriptedRunsLeaveFilesCompleteOrUntouched) {
    const std::string run = "--expression expr.txt --scale 0.1 --samples 3 --force ";
    const struct {
        const char* name; std::string arguments, input, error; int status;
        std::string standardOutput, standardError, report;
    } cases[] = {
        {"BadValueKeepsTheReport", "--expression bad.txt --scale 0.1 --output r.txt --force", "",
         "", 1, RunStarted, "row 1 (r1), column 2 holds \"x\"", "old\n"},
        {"MismatchedErrorFileKeepsIt", "--expression expr.txt --error se.txt --output r.txt --force",
         "", "2 2\nc1 c2\nr1 1 2\nr2 3 4\n", 1, RunStarted, "has 2 rows and 2 columns", "old\n"},
        {"UnwritablePictureKeepsIt", run + "--output r.txt --svg /proc/p.svg --quiet", "", "", 2, "",
         "cannot create a file beside the picture /proc/p.svg: ", "old\n"},
        {"NegativeDeviationsWarnOnce", "--expression expr.txt --samples 3 --force --error se.txt --output r.txt --quiet", "",
         "3 2\nc1 c2\nr1 0.1 -0.2\nr2 0.3 0.4\nr3 -0.5 0.6\n", 0, "",
         "Warning: the error file se.txt holds 2 negative standard deviations, the first in row 1, "
         "column 2; the noise is drawn with their size.\n", "@"},
        {"StandardInputAndOutput", "--expression - --scale 0.1 --samples 3 --output -", NamedMatrix, "", 0, "@", "", "old\n"},
        {"QuietReport", run + "--output r.txt --quiet", "", "", 0, "", "", "@"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.write("expr.txt", NamedMatrix);
        dir.write("bad.txt", "2 2\nc1 c2\nr1 1 x\nr2 1 3\n");
        dir.write("r.txt", "old\n");
        if (!c.error.empty()) dir.write("se.txt", c.error);
        std::vector<std::string> arguments;
        std::istringstream words(c.arguments);
        for (std::string word; words >> word;) arguments.push_back(word);
        const auto result = runProgram(arguments, c.input, dir.path());
        EXPECT_EQ(result.exitStatus, c.status) << c.name << ": " << result.standardError;
        const std::string report = readFile(dir.file("r.txt"));
        const std::string written = c.report == "@" ? report : result.standardOutput;
        EXPECT_EQ(written.rfind("Here are the settings:\n", 0), c.status == 0 ? 0u : std::string::npos) << c.name;
        if (c.report != "@") {
            EXPECT_EQ(report, c.report) << c.name;
        }
        if (c.standardOutput != "@") {
            EXPECT_EQ(result.standardOutput, c.standardOutput) << c.name;
        }
        EXPECT_NE(result.standardError.find(c.standardError), std::string::npos)
            << c.name << ": " << result.standardError;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}),
                  3 + !c.error.empty()) << c.name << ": a temporary file was left";
    }
}

TEST(AnalysisRun, AReportThatCannotBeWrittenEndsWithoutComplete) {
    TempDir dir;
    dir.write("expr.txt", NamedMatrix);
    const auto result = runProgram({}, "expr.txt\nn\n0.1\n/dev/full\ny\nY\n", dir.path());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "Can not write the output file /dev/full: No space left on device\n");
    EXPECT_EQ(result.standardOutput.find("complete!"), std::string::npos);
}

}  // namespace
