// Scripted runs: the options give the settings the dialogue would give,
// every bad option, value or file (two roles on one file, whatever its name)
// is refused with exit status 2 before any file is touched, and a command
// line writes the dialogue's report.

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/console_texts.h"
#include "support/test_support.h"

using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

// A folder with expr.txt, se.txt, old.txt, a folder sub and link.txt -> expr.txt.
struct InputFolder {
    InputFolder() {
        dir.write("expr.txt", "4 2\nc1 c2\ngA 1.2 0.7\ngB 1.1 0.9\ngC 5.0 4.2\ngD 4.8 4.4\n");
        dir.write("se.txt", "4 2\nc1 c2\ngA 0.1 0.2\ngB 0.3 0.1\ngC 0.2 0.2\ngD 0.1 0.4\n");
        dir.write("old.txt", "an earlier report\n");
        fs::create_directory(dir.file("sub"));
        fs::create_symlink("expr.txt", dir.file("link.txt"));
    }
    std::map<std::string, std::string> contents() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            files[entry.path().filename().string()] = entry.is_regular_file() ? readFile(entry) : "<folder>";
        return files;
    }
    TempDir dir;
};

std::vector<std::string> withFiles(std::vector<std::string> extra) {
    std::vector<std::string> arguments{"--expression", "expr.txt", "--scale", "0.1",
                                       "--output", "out.txt"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

RunSettings parsed(const std::vector<std::string>& options) {
    std::vector<std::string> words = withFiles(options);
    words.insert(words.begin(), "noiseclust");
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    const auto request = parseCommandLine(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(request.action, CommandLineAction::Run) << request.message;
    return request.settings;
}

// Every name of every option gives its value, in order.
TEST(CommandLine, OptionsGiveTheDialoguesSettings) {
    InputFolder folder;
    const fs::path previous = fs::current_path();
    fs::current_path(folder.dir.path());
    RunSettings expected;
    expected.expressionFileName = "expr.txt", expected.outputFileName = "out.txt";
    expected.scaleOfError = 0.1;
    EXPECT_TRUE(parsed({}) == expected);
    int i = 0;
    for (const char* name : {"correlation", "euclidean", "maximum", "manhattan", "binary"})
        EXPECT_EQ(parsed({"--distance", name}).distance, DistanceMetric(i++));
    i = 0;
    for (const char* name : {"average", "compact", "connected", "complete", "single"})
        EXPECT_EQ(parsed({"--linkage", name}).linkage, Linkage(i < 3 ? i++ : i++ - 2));
    i = 0;
    for (const char* name : {"S_Plus", "New_Hampshire"})
        EXPECT_EQ(parsed({"--notation", name}).notation, TreeNotation(i++));
    i = 0;
    for (const char* name : {"1", "2", "3", "4"})
        EXPECT_EQ(parsed({"--input-format", name}).inputFormat, InputFormat(i++));
    i = 0;
    for (const char* name : {"log", "normal", "meancenter", "mediancenter", "max"}) {
        const RunSettings s = parsed({"--preprocess", std::string("column:") + name});
        EXPECT_TRUE(s.preprocess && s.preprocessDirection == PreprocessDirection::Column);
        EXPECT_EQ(s.preprocessMethod, PreprocessMethod(i++));
    }
    expected.sampleSize = 37, expected.pictureFileName = "t.svg", expected.highlight = 0;
    expected.clusterTableFileName = "t.tsv", expected.threadCount = 3, expected.pickFileName = "t.pick";
    expected.seed = 18446744073709551615u, expected.fontSize = 12, expected.pictureWidth = 500;
    expected.preprocess = true;  // by row with log
    EXPECT_TRUE(parsed({"--samples", "+37", "--svg", "t.svg", "--highlight", "0", "--clusters",
                        "t.tsv", "--threads", "3", "--preprocess", "row:log", "--force", "--pick", "t.pick", "--seed",
                        "18446744073709551615", "--font-size", "12", "--picture-width", "500"}) ==
                expected);
    fs::current_path(previous);
}

TEST(CommandLine, RefusesBadOptionsAndFilesWithoutTouchingAFile) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {withFiles({"--bogus"}), "--bogus"},
        {withFiles({"extra"}), "extra"},
        {withFiles({"--samples", "5", "--samples", "6"}), "--samples"},
        {{"--scale", "0.1", "--output", "out.txt"}, "--expression is required"},
        {{"--expression", "expr.txt", "--output", "out.txt"}, "one of --error FILE and --scale S"},
        {withFiles({"--error", "se.txt"}), "not both"},
        {withFiles({"--newick", ""}), "--newick needs a file name"},
        {withFiles({"--missing", "drop-rows"}), "--missing applies to --input-format table only"},
        {withFiles({"--newick", "t", "--consensus-newick", "t"}), "the consensus Newick tree is the same file as the Newick tree"},
        {{"--expression", "expr.txt", "--scale", "1x", "--output", "o"}, "The scale of error must"},
        {{"--expression", "expr.txt", "--scale", "0", "--output", "o"}, "The scale of error must"},
        {withFiles({"--samples", "2.9"}), "The sample size must be a positive integer!"},
        {withFiles({"--samples", "2147483648"}), "the sample size 2147483648 is too large"},
        {withFiles({"--samples", "-2147483648"}), "The sample size must be a positive integer!"},
        {withFiles({"--distance", "\x1B[2J" + std::string(5000, 'x')}),
         "'\\x1B[2J" + std::string(36, 'x') + "...' is not one of"},
        {withFiles({"--input-format", "5"}), "--input-format:"},
        {withFiles({"--preprocess", "ROW:log"}), "--preprocess: input parameter error"},
        {withFiles({"--preprocess", "row:log:max"}), "--preprocess: input parameter error"},
        {withFiles({"--distance", "Euclidean"}),
         "--distance: The method of computing distance is not defined!"},
        {withFiles({"--linkage", "Single"}),
         "--linkage: The method of constructing tree is not defined!"},
        {withFiles({"--notation", "s_plus"}), "--notation:"},
        {withFiles({"--highlight", "1.5"}), "--highlight:"},
        {withFiles({"--threads", "257"}), "--threads:"},
        {{"--expression", "sub", "--scale", "1", "--output", "o"}, "Can not open the expression"},
        {{"--expression", "expr.txt", "--error", "none", "--output", "o"},
         "--error none: Can not open the error file!"},
        {{"--expression", "expr.txt", "--error", "link.txt", "--output", "o"},
         "The error file cannot be same as expression file!"},
        {{"--expression", "expr.txt", "--scale", "1", "--output", "link.txt", "--force"},
         "The expression file cannot be same as output file!"},
        {{"--expression", "expr.txt", "--error", "se.txt", "--output", "se.txt", "--force"},
         "The error file cannot be same as output file!"},
        {{"--expression", "expr.txt", "--scale", "1", "--output", "sub", "--force"},
         "--output sub: this is a folder"},
        {{"--expression", "expr.txt", "--scale", "1", "--output", "none/o"},
         "the folder none does not exist"},
        {{"--expression", "expr.txt", "--scale", "1", "--output", "old.txt"},
         "--output old.txt: the file exists already; add --force"},
        {withFiles({"--svg", "link.txt"}),
         "--picture link.txt: the picture is the same file as the expression file (--expression expr.txt)"},
        {withFiles({"--svg", "./out.txt"}), "the picture is the same file as the report (--output out.txt)"},
        {withFiles({"--svg", "./x", "--clusters", "sub/../x"}),
         "--clusters sub/../x: the cluster table is the same file as the picture (--picture ./x)"},
        {withFiles({"--svg", "-"}), "the picture cannot go to standard output"},
        {{"--expression", "-", "--error", "-", "--output", "o"}, "standard input can feed only one"},
        {{"--expression", "none", "--scale", "1", "--output", "o"},
         "--expression none: Can not open the expression file! (No such file or directory)"},
        {withFiles({"--svg", "/proc/version.svg", "--quiet"}), "cannot create a file beside the picture /proc/version.svg"},
        {{"--expression", "expr.txt", "--scale", "1", "--output", "/proc/o.txt", "--quiet"},
         "cannot create a file beside the report /proc/o.txt"},
        {withFiles({"--picture", "t.gif"}), "must end in .svg, .pdf or .png"},
        {withFiles({"--seed", "-1"}), "--seed:"},
        {withFiles({"--clusters", "sub", "--force"}), "--clusters sub: this is a folder"},
    };
    for (const auto& [arguments, message] : cases) {
        InputFolder folder;
        const auto before = folder.contents();
        const auto result = runProgram(arguments, "", folder.dir.path());
        EXPECT_EQ(result.exitStatus, 2) << message;
        EXPECT_EQ(result.standardOutput, "");
        EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
        EXPECT_EQ(folder.contents(), before) << message;
    }
}

TEST(CommandLine, WritesTheDialoguesReportAndLeavesItAloneForPictures) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--error", "se.txt", "--samples", "12", "--notation", "S_Plus", "--distance",
          "correlation", "--linkage", "compact", "--svg", "t.svg", "--clusters", "t.tsv"},
         "y\nse.txt\nreport.txt\n3\n12\n9\n1\n6\n1\n7\n2\n"},
        {{"--scale", "0.25", "--samples", "15", "--preprocess", "column:mediancenter",
          "--distance", "manhattan", "--linkage", "connected", "--threads", "2"},
         "n\n0.25\nreport.txt\n3\n15\n4\ny\n2\n4\n6\n4\n7\n3\n"},
    };
    for (const auto& [options, answers] : cases) {
        InputFolder scripted, asked;
        std::vector<std::string> arguments{"--expression", "expr.txt", "--output", "report.txt"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const auto cli = runProgram(arguments, "", scripted.dir.path());
        EXPECT_EQ(cli.exitStatus, 0) << cli.standardError;
        EXPECT_EQ(cli.standardOutput, console_texts::RunCompleted);
        EXPECT_EQ(cli.standardError, "");  // no progress line without a terminal
        const auto dialogue = runProgram({}, "expr.txt\n" + answers + "Y\n", asked.dir.path());
        EXPECT_EQ(dialogue.exitStatus, 0) << dialogue.standardError;
        EXPECT_EQ(readFile(scripted.dir.file("report.txt")), readFile(asked.dir.file("report.txt")));
    }
}

TEST(CommandLine, ForceHelpVersionAndAFailedRun) {
    InputFolder folder;
    const auto replaced = runProgram({"--expression", "expr.txt", "--scale", "0.1", "--output",
                                      "old.txt", "--samples", "3", "--force"},
                                     "", folder.dir.path());
    EXPECT_EQ(replaced.exitStatus, 0) << replaced.standardError;
    EXPECT_EQ(readFile(folder.dir.file("old.txt")).rfind("Here are the settings:\n", 0), 0u);

    const auto help = runProgram({"-h"}, "");
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.standardOutput.find("Usage: noiseclust"), std::string::npos);
    const auto version = runProgram({"--version"}, "");
    EXPECT_EQ(version.standardOutput, std::string("noiseclust ") + NOISECLUST_VERSION + "\n");

    folder.dir.write("bad.txt", "2 2\nc1 c2\nr1 1\n");
    const auto failed = runProgram({"--expression", "bad.txt", "--scale", "0.1", "--output", "o"},
                                   "", folder.dir.path());
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_EQ(failed.standardOutput, console_texts::RunStarted);
}

}  // namespace
