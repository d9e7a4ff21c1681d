// The matrix file reader: every layout with names kept whole, and the files
// it refuses with their messages (those the run frame's tests already show
// end to end are left to them).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/matrix_file.h"
#include "support/test_support.h"

using testing_support::TempDir;

namespace {

TEST(MatrixFile, ReadsEveryLayoutWithItsNames) {
    const std::string longName(300, 'R'), probe = "AFFX-HUMRGE/M10098_5_at_" + std::string(80, 'c');
    const struct {
        const char* name; bool rowNames, columnNames; std::string text; NameTable rows, columns;
    } cases[] = {
        {"BothInLines", true, true, "2 3\na b " + probe + "\nx 1 -2.5 3e-3\n" + longName + " 40 .5 -6\n",
         {"x", longName}, {"a", "b", probe}},
        {"RowNamesAndCarriageReturns", true, false, "2\t3\r\nx\t1\t-2.5\t3e-3\r\ny\t40\t0.5\t-6\r\n",
         {"x", "y"}, {"", "", ""}},
        {"ColumnNamesOnly", false, true, "2 3\na b c\n1 -2.5 0.003\n+40 5e-1 -6.0\n", {"", ""}, {"a", "b", "c"}},
        {"NoNamesAnyWhitespace", false, false, "\n\n  2 3 1\n-2.5 3e-3 40\f0.5\v-6", {"", ""}, {"", "", ""}},
        {"NamesThatLookLikeNumbersAfterAByteOrderMark", true, true,
         "\xEF\xBB\xBF" "2 3\n1 2 3\n4 1 -2.5 3e-3\n5 40 .5 -6\n", {"4", "5"}, {"1", "2", "3"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir.write("m.txt", c.text).string();
        const auto read = readMatrixFile(path, c.rowNames, c.columnNames);
        ASSERT_EQ(read.status, MatrixFileStatus::Read) << c.name << ": " << read.message;
        EXPECT_EQ(read.matrix.values, (std::vector<double>{1, -2.5, 3e-3, 40, 0.5, -6})) << c.name;
        EXPECT_EQ(read.rowNames, c.rows) << c.name;
        EXPECT_EQ(read.columnNames, c.columns) << c.name;
    }
}

// "@" in a message stands for the file's name; a null text means no file, a
// "/" text a folder in its place.
TEST(MatrixFile, RefusesBrokenFilesWithTheirPlace) {
    const std::string e = "Error in the matrix file @: ";
    const struct {
        const char* name; bool rowNames, columnNames; const char* text; MatrixFileStatus status;
        std::string message;
    } cases[] = {
        {"Missing", true, true, nullptr, MatrixFileStatus::CannotOpen, "Can not open the input data file!\n"},
        {"AFolder", false, false, "/", MatrixFileStatus::Invalid, "Can not read the matrix file @: Is a directory.\n"},
        {"RowCountWithSuffix", false, false, "2x 2\n", MatrixFileStatus::Invalid,
         e + "the row count \"2x\" is not a positive integer (line 1).\n"},
        {"ColumnCountSignOnly", false, false, "\n2 -\n", MatrixFileStatus::Invalid,
         e + "the column count \"-\" is not a positive integer (line 2).\n"},
        {"ColumnCountBeyondInt", false, false, "1 2147483648\n", MatrixFileStatus::Invalid,
         e + "the column count \"2147483648\" is too large (at most 2147483647) (line 1).\n"},
        {"NegativeCountIsNotTooLarge", false, false, "-99999999999 1\n", MatrixFileStatus::Invalid,
         e + "the row count \"-99999999999\" is not a positive integer (line 1).\n"},
        {"EscapeCodes", false, false, "\x1B]0;PWNED\a\x1B[2J 2 1", MatrixFileStatus::Invalid,
         "Can not read the matrix file @: line 1, byte offset 0 holds the byte \\x1B, which a "
         "text file does not hold.\n"},
        {"NulAfterANumber", false, false, "1 1\n\n2\0", MatrixFileStatus::Invalid,
         "Can not read the matrix file @: line 3, byte offset 6 holds the byte \\x00, which a "
         "text file does not hold.\n"},
        {"AWordTooLong", true, false, nullptr, MatrixFileStatus::Invalid,
         "Can not read the matrix file @: the word at line 2, byte offset 4 (" +
             std::string(40, 'x') + "...) is longer than 4096 bytes.\n"},
        {"NonAsciiNamesAreShownEscaped", true, false, "1 1\nr\xC3\xA9 1,5", MatrixFileStatus::Invalid,
         e + "row 1 (r\\xC3\\xA9), column 1 holds \"1,5\", which is not a number (line 2).\n"},
        {"RowNamesMissing", true, false, "2 2\ng 1 2\n3 4\n", MatrixFileStatus::Invalid,
         e + "the file ends before row 2 (3), column 2; it should hold 2 rows and 2 columns.\n"},
        {"ACornerWordShiftsEveryToken", true, true, "1 2\ngene c1 c2\nr1 1 2\n", MatrixFileStatus::Invalid,
         e + "row 1 (c2), column 1 holds \"r1\", which is not a number (line 3).\n"},
        {"CountsWhoseProductOverflows", true, true, "2147483647 2147483647\n1 2 3\n", MatrixFileStatus::Invalid,
         e + "its counts promise 2147483647 rows and 2147483647 columns, which need at least "
             "9223372036854775809 bytes, but the file has only 28.\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string path = dir.file("m.txt").string();
        const std::string text = c.text ? std::string(c.text, c.text + std::char_traits<char>::length(c.text) +
                                                                      (std::string(c.name) == "NulAfterANumber"))
                                        : "1 1\n" + std::string(5'000'000, 'x') + " 1\n";
        if (text == "/") path = dir.path().string();
        else if (std::string(c.name) != "Missing") dir.write("m.txt", text);
        std::string message = c.message;
        if (const auto at = message.find('@'); at != std::string::npos) message.replace(at, 1, path);
        const auto read = readMatrixFile(path, c.rowNames, c.columnNames);
        EXPECT_EQ(read.status, c.status) << c.name;
        EXPECT_EQ(read.message, message) << c.name;
        EXPECT_LE(read.matrix.values.size(), 4u) << c.name;  // sized before the counts were checked?
    }
}

}  // namespace
