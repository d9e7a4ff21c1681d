// Scripted runs: the options map onto the dialogue's codes, every bad option
// or value is refused with exit status 2 before any file is touched, and a
// command line writes the same report as the dialogue with the same settings.

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "console_texts.h"
#include "support/test_support.h"
#include "terminal_session.h"

using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;

namespace {

namespace fs = std::filesystem;

const std::string Expression =
    "6 3\nheat cold dry\n"
    "gA 1.2 0.7 3.1\ngB 1.1 0.9 2.8\ngC 5.0 4.2 0.4\n"
    "gD 4.8 4.4 0.6\ngE 2.5 2.6 2.4\ngF 0.3 3.9 1.7\n";
const std::string Errors =
    "6 3\nheat cold dry\n"
    "gA 0.1 0.2 0.1\ngB 0.3 0.1 0.2\ngC 0.2 0.2 0.2\n"
    "gD 0.1 0.4 0.1\ngE 0.5 0.1 0.3\ngF 0.2 0.2 0.1\n";

// A folder holding expr.txt and se.txt.
struct InputFolder {
    InputFolder() {
        dir.write("expr.txt", Expression);
        dir.write("se.txt", Errors);
    }
    std::map<std::string, std::string> contents() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            files[entry.path().filename().string()] = entry.is_regular_file()
                                                          ? readFile(entry.path())
                                                          : "<" + entry.path().string() + ">";
        return files;
    }
    TempDir dir;
};

// ---- options onto codes ------------------------------------------------------

struct MappingCase {
    std::string name;
    std::vector<std::string> options;            // after the three file options
    std::function<void(RunSettings&)> expected;  // applied to the defaults
};

std::vector<MappingCase> mappingCases() {
    std::vector<MappingCase> cases{
        {"Defaults", {}, [](RunSettings&) {}},
        {"ErrorFile",
         {"--error", "se.txt"},
         [](RunSettings& s) {
             s.errorSource = '1';
             s.errorFileName = "se.txt";
             s.scaleOfError = 0;
         }},
        {"Samples", {"--samples", "+37"}, [](RunSettings& s) { s.sampleSize = 37; }},
        {"Force", {"--force"}, [](RunSettings&) {}},
        {"Pictures",
         {"--svg", "t.svg", "--highlight", "0", "--clusters", "t.tsv"},
         [](RunSettings& s) {
             s.svgFileName = "t.svg";
             s.highlight = 0;
             s.clusterTableFileName = "t.tsv";
         }},
        {"HighlightOne", {"--highlight", "1"}, [](RunSettings& s) { s.highlight = 1; }},
        {"ThreadsZero", {"--threads", "0"}, [](RunSettings& s) { s.threadCount = 0; }},
        {"Threads", {"--threads", "3"}, [](RunSettings& s) { s.threadCount = 3; }},
        {"NotationSPlus", {"--notation", "S_Plus"}, [](RunSettings& s) { s.outputFormat = '1'; }},
        {"NotationNewHampshire",
         {"--notation", "New_Hampshire"},
         [](RunSettings& s) { s.outputFormat = '2'; }},
    };
    const char* const distances[] = {"correlation", "euclidean", "maximum", "manhattan", "binary"};
    for (char code = '1'; code <= '5'; ++code)
        cases.push_back({std::string("Distance_") + distances[code - '1'],
                         {"--distance", distances[code - '1']},
                         [code](RunSettings& s) { s.distanceMethod = code; }});
    const char* const linkages[] = {"average", "compact", "connected"};
    for (char code = '1'; code <= '3'; ++code)
        cases.push_back({std::string("Linkage_") + linkages[code - '1'],
                         {"--linkage", linkages[code - '1']},
                         [code](RunSettings& s) { s.clusteringMethod = code; }});
    for (char code = '1'; code <= '4'; ++code)
        cases.push_back({std::string("InputFormat_") + code,
                         {"--input-format", std::string(1, code)},
                         [code](RunSettings& s) { s.inputFormat = code; }});
    const char* const methods[] = {"log", "normal", "meancenter", "mediancenter", "max"};
    for (char direction = '1'; direction <= '2'; ++direction)
        for (char method = '1'; method <= '5'; ++method) {
            const std::string value =
                std::string(direction == '1' ? "row" : "column") + ":" + methods[method - '1'];
            cases.push_back(
                {"Preprocess_" + value.substr(0, value.find(':')) + "_" + methods[method - '1'],
                 {"--preprocess", value},
                 [direction, method](RunSettings& s) {
                     s.preprocess = '1';
                     s.preprocessDirection = direction;
                     s.preprocessMethod = method;
                 }});
        }
    return cases;
}

void PrintTo(const MappingCase& c, std::ostream* out) {
    *out << c.name;
}

class OptionMappingTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(OptionMappingTest, GivesTheDialoguesCodes) {
    InputFolder folder;
    const fs::path previous = fs::current_path();
    fs::current_path(folder.dir.path());
    std::vector<std::string> words{"noiseclust", "--expression", "expr.txt", "--output", "out.txt"};
    const auto& options = GetParam().options;
    if (std::find(options.begin(), options.end(), "--error") == options.end())
        words.insert(words.end(), {"--scale", "0.1"});
    words.insert(words.end(), options.begin(), options.end());
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    const CommandLineRequest request = parseCommandLine(static_cast<int>(argv.size()), argv.data());
    fs::current_path(previous);

    ASSERT_EQ(request.action, CommandLineAction::Run) << request.message;
    RunSettings expected;
    expected.expressionFileName = "expr.txt";
    expected.outputFileName = "out.txt";
    expected.scaleOfError = 0.1;
    GetParam().expected(expected);
    EXPECT_TRUE(request.settings == expected);
}

INSTANTIATE_TEST_SUITE_P(EveryOption, OptionMappingTest, ::testing::ValuesIn(mappingCases()),
                         [](const auto& info) { return info.param.name; });

// ---- refused command lines -----------------------------------------------------

struct RefusalCase {
    std::string name;
    std::vector<std::string> arguments;
    std::string message;  // part of what standard error must say
};

std::vector<std::string> withFiles(std::vector<std::string> extra) {
    std::vector<std::string> arguments{"--expression", "expr.txt", "--scale",
                                       "0.1",          "--output", "out.txt"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

std::vector<RefusalCase> refusalCases() {
    const std::string scale = "The scale of error must be a positive number!";
    const std::string samples = "The sample size must be a positive integer!";
    std::vector<RefusalCase> cases{
        {"UnknownOption", withFiles({"--bogus"}), "--bogus"},
        {"Positional", withFiles({"extra"}), "extra"},
        {"RepeatedOption", withFiles({"--samples", "5", "--samples", "6"}), "--samples"},
        {"MissingValue", withFiles({"--samples"}), "--samples"},
        {"NoExpression", {"--scale", "0.1", "--output", "out.txt"}, "--expression is required"},
        {"NoOutput", {"--expression", "expr.txt", "--scale", "0.1"}, "--output is required"},
        {"NoErrorSource",
         {"--expression", "expr.txt", "--output", "out.txt"},
         "one of --error FILE and --scale S"},
        {"ErrorAndScale", withFiles({"--error", "se.txt"}), "not both"},
        {"EmptyOutputName",
         {"--expression", "expr.txt", "--scale", "0.1", "--output", ""},
         "--output"},
        {"EmptySvgName", withFiles({"--svg", ""}), "--svg needs a file name"},
    };
    for (const char* bad : {"0", "-1", "abc", "1x", "inf", "nan", "1e400", ""})
        cases.push_back({"Scale_" + std::to_string(cases.size()),
                         {"--expression", "expr.txt", "--scale", bad, "--output", "out.txt"},
                         scale});
    for (const char* bad : {"0", "-3", "2.9", "12x", "3000000000", "x"})
        cases.push_back(
            {"Samples_" + std::to_string(cases.size()), withFiles({"--samples", bad}), samples});
    const std::vector<std::pair<std::string, std::vector<std::string>>> values{
        {"--input-format", {"0", "5", "x", "12"}},
        {"--preprocess",
         {"row", "row:", ":log", "row:foo", "diagonal:log", "ROW:log", "row:log:max"}},
        {"--distance", {"foo", "Euclidean"}},
        {"--linkage", {"single", "Average"}},
        {"--notation", {"s_plus", "newick"}},
        {"--highlight", {"-0.1", "1.5", "x", "nan"}},
        {"--threads", {"-1", "257", "two", "1.5"}},
    };
    for (const auto& [option, bads] : values)
        for (const std::string& bad : bads)
            cases.push_back(
                {"Value_" + std::to_string(cases.size()), withFiles({option, bad}), option + ":"});

    const auto files = [](std::string expression, std::string error, std::string output,
                          std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"--expression", expression};
        if (error.empty())
            arguments.insert(arguments.end(), {"--scale", "0.1"});
        else
            arguments.insert(arguments.end(), {"--error", error});
        arguments.insert(arguments.end(), {"--output", output});
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    };
    const std::vector<RefusalCase> fileCases{
        {"ExpressionMissing", files("none.txt", "", "out.txt"),
         "--expression none.txt: Can not open the expression file!"},
        {"ExpressionFolder", files("sub", "", "out.txt"), "Can not open the expression file!"},
        {"ErrorMissing", files("expr.txt", "none.txt", "out.txt"),
         "--error none.txt: Can not open the error file!"},
        {"ExpressionIsError", files("expr.txt", "expr.txt", "out.txt"),
         "The expression file cannot be same as error file!"},
        {"ErrorLinksToExpression", files("expr.txt", "link.txt", "out.txt"),
         "The error file cannot be same as expression file!"},
        {"OutputIsExpression", files("expr.txt", "", "expr.txt", {"--force"}),
         "The expression file cannot be same as output file!"},
        {"OutputLinksToExpression", files("expr.txt", "", "link.txt", {"--force"}),
         "The expression file cannot be same as output file!"},
        {"OutputIsError", files("expr.txt", "se.txt", "se.txt", {"--force"}),
         "The error file cannot be same as output file!"},
        {"OutputIsFolder", files("expr.txt", "", "sub", {"--force"}),
         "--output sub: this is a folder"},
        {"OutputFolderMissing", files("expr.txt", "", "none/out.txt"),
         "the folder none does not exist"},
        {"OutputExists", files("expr.txt", "", "old.txt"),
         "--output old.txt: the file exists already; add --force"},
        {"SvgIsExpression", files("expr.txt", "", "out.txt", {"--svg", "link.txt"}),
         "--svg link.txt: this is also the file of --expression"},
        {"SvgIsOutput", files("expr.txt", "", "out.txt", {"--svg", "out.txt"}),
         "this is also the file of --output"},
        {"ClustersIsError", files("expr.txt", "se.txt", "out.txt", {"--clusters", "se.txt"}),
         "this is also the file of --error"},
        {"ClustersIsSvg", files("expr.txt", "", "out.txt", {"--svg", "t", "--clusters", "t"}),
         "this is also the file of --svg"},
        {"SvgExists", files("expr.txt", "", "out.txt", {"--svg", "old.txt"}),
         "--svg old.txt: the file exists already"},
        {"ClustersFolder", files("expr.txt", "", "out.txt", {"--clusters", "sub", "--force"}),
         "--clusters sub: this is a folder"},
    };
    cases.insert(cases.end(), fileCases.begin(), fileCases.end());
    return cases;
}

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, ExitsWithTwoAndTouchesNoFile) {
    InputFolder folder;
    folder.dir.write("old.txt", "an earlier report\n");
    fs::create_directory(folder.dir.file("sub"));
    fs::create_symlink("expr.txt", folder.dir.file("link.txt"));
    const auto before = folder.contents();

    const auto result = runProgram(GetParam().arguments, "", folder.dir.path());
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_NE(result.standardError.find(GetParam().message), std::string::npos)
        << result.standardError;
    EXPECT_NE(result.standardError.find("noiseclust --help"), std::string::npos);
    EXPECT_EQ(folder.contents(), before);
}

INSTANTIATE_TEST_SUITE_P(EveryBadOptionAndFile, RefusalTest, ::testing::ValuesIn(refusalCases()),
                         [](const auto& info) { return info.param.name; });

// ---- runs ----------------------------------------------------------------------

TEST(CommandLineTest, ReplacesAnExistingReportOnlyWithForce) {
    InputFolder folder;
    folder.dir.write("out.txt", "an earlier report\n");
    const auto refused = runProgram(withFiles({"--samples", "3"}), "", folder.dir.path());
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(readFile(folder.dir.file("out.txt")), "an earlier report\n");

    const auto forced = runProgram(withFiles({"--samples", "3", "--force"}), "", folder.dir.path());
    EXPECT_EQ(forced.exitStatus, 0) << forced.standardError;
    EXPECT_EQ(readFile(folder.dir.file("out.txt")).rfind("Here are the settings:\n", 0), 0u);
}

TEST(CommandLineTest, HelpAndVersionGoToStandardOutput) {
    for (const std::string flag : {"--help", "-h"}) {
        const auto help = runProgram({flag}, "");
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_EQ(help.standardError, "");
        EXPECT_NE(help.standardOutput.find("Usage: noiseclust"), std::string::npos);
    }
    const auto version = runProgram({"--version"}, "");
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.standardOutput, std::string("noiseclust ") + NOISECLUST_VERSION + "\n");
    EXPECT_EQ(version.standardError, "");
}

TEST(CommandLineTest, AFailedRunExitsWithOne) {
    InputFolder folder;
    folder.dir.write("bad.txt", "2 2\nc1 c2\nr1 1\n");
    const auto result =
        runProgram({"--expression", "bad.txt", "--scale", "0.1", "--output", "out.txt"}, "",
                   folder.dir.path());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput.rfind(console_texts::RunStarted, 0), 0u);
    EXPECT_EQ(result.standardOutput.find("complete!"), std::string::npos);
}

// The same settings given on the command line and in the dialogue.
struct SameReportCase {
    std::string name;
    std::vector<std::string> options;  // besides --expression and --output
    std::string answers;               // after the expression file name, before the final 'Y'
};

void PrintTo(const SameReportCase& c, std::ostream* out) {
    *out << c.name;
}

class SameReportTest : public ::testing::TestWithParam<SameReportCase> {};

TEST_P(SameReportTest, CommandLineAndDialogueWriteTheSameReport) {
    InputFolder scripted, asked;
    std::vector<std::string> arguments{"--expression", "expr.txt", "--output", "report.txt"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    const auto cli = runProgram(arguments, "", scripted.dir.path());
    ASSERT_EQ(cli.exitStatus, 0) << cli.standardError;
    EXPECT_EQ(cli.standardOutput, console_texts::RunCompleted);
    EXPECT_EQ(cli.standardError, "");  // no progress line without a terminal

    const auto dialogue =
        runProgram({}, "expr.txt\n" + GetParam().answers + "Y\n", asked.dir.path());
    ASSERT_EQ(dialogue.exitStatus, 0) << dialogue.standardError;
    const std::string report = readFile(scripted.dir.file("report.txt"));
    EXPECT_GT(report.size(), 500u);
    EXPECT_EQ(report, readFile(asked.dir.file("report.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    SettingCombinations, SameReportTest,
    ::testing::Values(
        SameReportCase{"ScaleAndDefaults",
                       {"--scale", "0.1", "--samples", "20"},
                       "n\n0.1\nreport.txt\n3\n20\n"},
        SameReportCase{"ErrorFileSPlusCorrelationCompact",
                       {"--error", "se.txt", "--samples", "12", "--notation", "S_Plus",
                        "--distance", "correlation", "--linkage", "compact"},
                       "y\nse.txt\nreport.txt\n3\n12\n9\n1\n6\n1\n7\n2\n"},
        SameReportCase{"MedianCentringByColumnManhattanConnected",
                       {"--scale", "0.25", "--samples", "15", "--preprocess", "column:mediancenter",
                        "--distance", "manhattan", "--linkage", "connected"},
                       "n\n0.25\nreport.txt\n3\n15\n4\ny\n2\n4\n6\n4\n7\n3\n"},
        SameReportCase{"LogByRowMaximumSPlus",
                       {"--scale", "0.05", "--samples", "10", "--preprocess", "row:log",
                        "--distance", "maximum", "--notation", "S_Plus", "--threads", "2"},
                       "n\n0.05\nreport.txt\n3\n10\n4\ny\n1\n1\n6\n3\n9\n1\n"}),
    [](const auto& info) { return info.param.name; });

TEST(CommandLineTest, PictureAndTableLeaveTheReportAlone) {
    InputFolder plain, extras;
    const auto base = runProgram(withFiles({"--samples", "10"}), "", plain.dir.path());
    ASSERT_EQ(base.exitStatus, 0) << base.standardError;
    const auto more = runProgram(withFiles({"--samples", "10", "--svg", "t.svg", "--clusters",
                                            "t.tsv", "--highlight", "0.5"}),
                                 "", extras.dir.path());
    ASSERT_EQ(more.exitStatus, 0) << more.standardError;
    EXPECT_EQ(more.standardOutput, console_texts::RunCompleted);
    EXPECT_EQ(readFile(extras.dir.file("out.txt")), readFile(plain.dir.file("out.txt")));
    EXPECT_NE(readFile(extras.dir.file("t.svg")).find("<svg"), std::string::npos);
    EXPECT_EQ(
        readFile(extras.dir.file("t.tsv")).rfind("step\tsize\theight\tconfidence\tmembers\n", 0),
        0u);
}

// On a terminal the progress line is drawn on standard error between the two
// console texts and erased before "complete!".
TEST(CommandLineTest, ProgressLineIsErasedOnATerminal) {
    InputFolder folder;
    terminal_session::TerminalSession session(
        folder.dir.path(),
        {"--expression", "expr.txt", "--scale", "0.1", "--output", "out.txt", "--samples", "50"});
    ASSERT_TRUE(session.started());
    session.keepReturns = true;
    ASSERT_TRUE(session.waitFor("complete!\r\n")) << session.output();
    const int status = session.finish();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << session.output();

    const std::string& output = session.output();
    const std::string started = "\r\n\r\nNow program is running......";
    ASSERT_EQ(output.rfind(started, 0), 0u) << output;
    const auto completed = output.find("complete!\r\n");
    const std::string between = output.substr(started.size(), completed - started.size());
    EXPECT_NE(between.find("\rresampling: pass "), std::string::npos) << between;
    EXPECT_NE(between.find(" of 50"), std::string::npos) << between;
    EXPECT_EQ(between.substr(between.size() - 4), "\r\x1b[K") << between;
    EXPECT_EQ(output.substr(completed), "complete!\r\n");
}

}  // namespace
