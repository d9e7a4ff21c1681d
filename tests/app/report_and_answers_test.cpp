// The report file's error handling and the file checks of the dialogue,
// in-process.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/dialogue.h"
#include "run/report_file.h"
#include "support/test_support.h"

using testing_support::readFile;
using testing_support::TempDir;

namespace {

TEST(ReportFile, WritesEverythingAndClosesCleanly) {
    TempDir dir;
    ReportFile report;
    ASSERT_TRUE(report.open(dir.file("r.txt").string()));
    const std::string big(200000, 'x');
    report.write("head\n");
    report.write(big);
    report.write("tail\n");
    EXPECT_FALSE(report.failed());
    EXPECT_EQ(report.close(), std::nullopt);
    EXPECT_EQ(readFile(dir.file("r.txt")), "head\n" + big + "tail\n");
    EXPECT_EQ(report.close(), std::nullopt);
}

TEST(ReportFile, AFullDiskIsReportedAtCloseEvenForSmallReports) {
    ReportFile report;
    ASSERT_TRUE(report.open("/dev/full"));
    report.write("Here are the settings:\n");
    EXPECT_EQ(report.close(), "Can not write the output file /dev/full: No space left on device\n");
}

TEST(ReportFile, AFullDiskStopsLargeReportsEarly) {
    ReportFile report;
    ASSERT_TRUE(report.open("/dev/full"));
    report.write(std::string(1 << 17, 'x'));
    EXPECT_TRUE(report.failed());
    EXPECT_TRUE(report.close().has_value());
}

TEST(ReportFile, AFolderCannotBeOpened) {
    TempDir dir;
    ReportFile report;
    EXPECT_FALSE(report.open(dir.path().string()));
    EXPECT_FALSE(report.isOpen());
}

TEST(OutputCheck, RefusesInputFilesByNameAndByIdentityOnDisk) {
    TempDir dir;
    const auto expression = dir.write("expr.txt", "1 1 1\n").string();
    const auto errors = dir.write("err.txt", "1 1 1\n").string();
    std::filesystem::create_symlink(expression, dir.file("link.txt"));
    std::filesystem::create_hard_link(errors, dir.file("hard.txt"));
    RunSettings settings;
    settings.expressionFileName = expression;
    settings.errorFileName = errors;
    const std::string sameAsExpression = "The output file cannot be same as expression file!\n";
    const std::string sameAsErrors = "The output file cannot be same as error file!\n";
    EXPECT_EQ(checkOutputFile(settings, expression), sameAsExpression);
    EXPECT_EQ(checkOutputFile(settings, dir.file("link.txt").string()), sameAsExpression);
    EXPECT_EQ(checkOutputFile(settings, (dir.path() / "." / "expr.txt").string()), sameAsExpression);
    EXPECT_EQ(checkOutputFile(settings, dir.file("hard.txt").string()), sameAsErrors);
    EXPECT_EQ(checkOutputFile(settings, dir.file("new.txt").string()), std::nullopt);
    // A name cut short by a zero byte would name another file: never opened.
    ReportFile report;
    EXPECT_FALSE(report.open(expression + std::string(1, '\0') + "x"));
    EXPECT_EQ(readFile(expression), "1 1 1\n");
}

TEST(InputCheck, FoldersAndMissingFilesCannotBeRead) {
    TempDir dir;
    RunSettings settings;
    EXPECT_EQ(checkExpressionFile(settings, dir.path().string()), "Can not open the expression file!\n");
    EXPECT_EQ(checkErrorFile(settings, dir.file("none").string()), "Can not open the error file!\n");
    const auto file = dir.write("e.txt", "1 1 1\n").string();
    EXPECT_EQ(checkExpressionFile(settings, file), std::nullopt);
    EXPECT_EQ(checkExpressionFile(settings, file + std::string(1, '\0')), "Can not open the expression file!\n");
}

}  // namespace
