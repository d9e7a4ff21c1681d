// Scripted runs: every bad option, value or file (two roles on one file,
// whatever its name) is refused with exit status 2 before any file is
// touched, and a command line writes the dialogue's report.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

using testing_support::readFile;
using testing_support::runProgram;
namespace fs = std::filesystem;

namespace {

const std::string RunStarted = "\n\nNow program is running......";

// expr.txt, se.txt, old.txt, a folder sub, link.txt -> expr.txt and hard.txt = se.txt.
struct InputFolder {
    InputFolder() {
        dir.write("expr.txt", "4 2\nc1 c2\ngA 1.2 0.7\ngB 1.1 0.9\ngC 5.0 4.2\ngD 4.8 4.4\n");
        dir.write("se.txt", "4 2\nc1 c2\ngA 0.1 0.2\ngB 0.3 0.1\ngC 0.2 0.2\ngD 0.1 0.4\n");
        dir.write("old.txt", "an earlier report\n");
        fs::create_directory(dir.file("sub"));
        fs::create_symlink("expr.txt", dir.file("link.txt"));
        fs::create_hard_link(dir.file("se.txt"), dir.file("hard.txt"));
    }
    std::map<std::string, std::string> contents() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            files[entry.path().filename().string()] = entry.is_regular_file() ? readFile(entry) : "<folder>";
        return files;
    }
    testing_support::TempDir dir;
};

TEST(CommandLine, RefusesBadOptionsAndFilesWithoutTouchingAFile) {
    const std::pair<std::string, std::string> cases[] = {  // arguments split at spaces ('' empty), message
        {"--bogus", "--bogus"},
        {"extra", "extra"},
        {"--samples 5 --samples 6", "--samples"},
        {"--scale 0.1 --output o", "--expression is required"},
        {"--expression expr.txt --output o", "one of --error FILE and --scale S"},
        {"--error se.txt", "not both"},
        {"--newick ''", "--newick needs a file name"},
        {"--missing drop-rows", "--missing applies to --input-format table only"},
        {"--newick t --consensus-newick t", "the consensus Newick tree is the same file as the Newick tree"},
        {"--expression expr.txt --scale 1x --output o", "The scale of error must"},
        {"--samples 2.9", "The sample size must be a positive integer!"},
        {"--samples 2147483648", "the sample size 2147483648 is too large"},
        {"--distance \x1B[2J" + std::string(5000, 'x'), "'\\x1B[2J" + std::string(36, 'x') + "...' is not one of"},
        {"--input-format 5", "--input-format:"},
        {"--preprocess ROW:log", "--preprocess: input parameter error"},
        {"--distance Euclidean", "--distance: The method of computing distance is not defined!"},
        {"--highlight 1.5", "--highlight:"},
        {"--threads 257", "--threads:"},
        {"--seed -1", "--seed:"},
        {"--picture t.gif", "must end in .svg, .pdf or .png"},
        {"--expression sub --scale 1 --output o", "Can not open the expression"},
        {"--expression none --scale 1 --output o", "--expression none: Can not open the expression file! (No such file"},
        {"--expression expr.txt --error none --output o", "--error none: Can not open the error file!"},
        {"--expression expr.txt --error link.txt --output o", "The error file cannot be same as expression file!"},
        {"--expression expr.txt --scale 1 --output link.txt --force", "The expression file cannot be same as output file!"},
        {"--expression expr.txt --error se.txt --output hard.txt --force", "The error file cannot be same as output file!"},
        {"--expression expr.txt --scale 1 --output sub --force", "--output sub: this is a folder"},
        {"--expression expr.txt --scale 1 --output none/o", "the folder none does not exist"},
        {"--expression expr.txt --scale 1 --output old.txt", "--output old.txt: the file exists already; add --force"},
        {"--expression expr.txt --scale 1 --output /proc/o.txt --quiet", "cannot create a file beside the report /proc/o.txt"},
        {"--expression - --error - --output o", "standard input can feed only one"},
        {"--svg link.txt", "--picture link.txt: the picture is the same file as the expression file (--expression expr.txt)"},
        {"--svg ./out.txt", "the picture is the same file as the report (--output out.txt)"},
        {"--svg ./x --clusters sub/../x", "--clusters sub/../x: the cluster table is the same file as the picture (--picture ./x)"},
        {"--svg -", "the picture cannot go to standard output"},
    };
    for (const auto& [words, message] : cases) {
        std::vector<std::string> arguments;  // after --expression expr.txt --scale 0.1 unless they name --output
        std::istringstream split(words);
        for (std::string word; split >> word;) arguments.push_back(word == "''" ? "" : word);
        if (words.find("--output") == std::string::npos)
            arguments.insert(arguments.begin(), {"--expression", "expr.txt", "--scale", "0.1", "--output", "out.txt"});
        InputFolder folder;
        const auto before = folder.contents();
        const auto result = runProgram(arguments, "", folder.dir.path());
        EXPECT_EQ(result.exitStatus, 2) << message;
        EXPECT_EQ(result.standardOutput, "");
        EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
        EXPECT_EQ(folder.contents(), before) << message;
    }
}

// The same settings by options and by dialogue answers give the same report;
// complete and single name the dialogue's compact and connected.
TEST(CommandLine, WritesTheDialoguesReport) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--error", "se.txt", "--samples", "12", "--notation", "S_Plus", "--distance", "correlation",
          "--linkage", "complete", "--svg", "t.svg", "--clusters", "t.tsv"},
         "y\nse.txt\nreport.txt\n3\n12\n9\n1\n6\n1\n7\n2\n"},
        {{"--scale", "0.25", "--samples", "15", "--preprocess", "column:mediancenter", "--distance", "manhattan",
          "--linkage", "single", "--threads", "2"},
         "n\n0.25\nreport.txt\n3\n15\n4\ny\n2\n4\n6\n4\n7\n3\n"},
    };
    for (const auto& [options, answers] : cases) {
        InputFolder scripted, asked;
        std::vector<std::string> arguments{"--expression", "expr.txt", "--output", "report.txt"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const auto cli = runProgram(arguments, "", scripted.dir.path());
        EXPECT_EQ(cli.exitStatus, 0) << cli.standardError;
        EXPECT_EQ(cli.standardOutput, RunStarted + "complete!\n");
        EXPECT_EQ(cli.standardError, "");  // no progress line without a terminal
        const auto dialogue = runProgram({}, "expr.txt\n" + answers + "Y\n", asked.dir.path());
        EXPECT_EQ(dialogue.exitStatus, 0) << dialogue.standardError;
        EXPECT_EQ(readFile(scripted.dir.file("report.txt")), readFile(asked.dir.file("report.txt")));
    }
}

}  // namespace
