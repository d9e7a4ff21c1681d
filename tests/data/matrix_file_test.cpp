// The matrix file reader: layouts, names kept whole, number tokens, refused
// files and the size check before allocation.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/matrix_file.h"
#include "support/test_support.h"

using testing_support::TempDir;

namespace {

struct LayoutCase {
    const char* name;
    bool hasRowNames;
    bool hasColumnNames;
    std::string text;
    NameTable rowNames;
    NameTable columnNames;
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, ReadsValuesAndNames) {
    const LayoutCase& c = GetParam();
    TempDir dir;
    const auto path = dir.write("m.txt", c.text);
    const auto read = readMatrixFile(path.string(), c.hasRowNames, c.hasColumnNames);
    ASSERT_EQ(read.status, MatrixFileStatus::Read) << read.message;
    EXPECT_EQ(read.matrix.rowCount, 2);
    EXPECT_EQ(read.matrix.columnCount, 3);
    EXPECT_EQ(read.matrix.values, (std::vector<double>{1, -2.5, 3e-3, 40, 0.5, -6}));
    EXPECT_EQ(read.rowNames, c.rowNames);
    EXPECT_EQ(read.columnNames, c.columnNames);
    EXPECT_EQ(read.warning, "");
    const auto dims = readMatrixDimensions(path.string());
    ASSERT_EQ(dims.status, MatrixFileStatus::Read);
    EXPECT_EQ(dims.dimensions, (MatrixDimensions{2, 3}));
}

const NameTable NoNames2{"", ""};
const NameTable NoNames3{"", "", ""};

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, LayoutTest,
    ::testing::Values(
        LayoutCase{"BothNamesInLines", true, true, "2 3\na b c\nx 1 -2.5 3e-3\ny 40 .5 -6\n",
                   {"x", "y"}, {"a", "b", "c"}},
        LayoutCase{"BothNamesOnOneLine", true, true, "2 3 a b c x 1 -2.5 3e-3 y 40 .5 -6",
                   {"x", "y"}, {"a", "b", "c"}},
        LayoutCase{"RowNamesWithCarriageReturns", true, false,
                   "2\t3\r\nx\t1\t-2.5\t3e-3\r\ny\t40\t0.5\t-6\r\n", {"x", "y"}, NoNames3},
        LayoutCase{"ColumnNamesOnly", false, true, "2 3\na b c\n1 -2.5 0.003\n+40 5e-1 -6.0\n",
                   NoNames2, {"a", "b", "c"}},
        LayoutCase{"NoNames", false, false, "\n\n  2 3 1\n-2.5 3e-3 40\f0.5\v-6", NoNames2, NoNames3},
        LayoutCase{"NamesThatLookLikeNumbers", true, true, "2 3\n1 2 3\n4 1 -2.5 3e-3\n5 40 .5 -6\n",
                   {"4", "5"}, {"1", "2", "3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MatrixFile, LongNamesAreKeptWhole) {
    TempDir dir;
    const std::string rowName(59, 'r');
    const std::string longRowName(300, 'R');
    const std::string columnName = "AFFX-HUMRGE/M10098_5_at_" + std::string(80, 'c');
    const auto path = dir.write("m.txt", "2 1\n" + columnName + "\n" + rowName + " 1\n" +
                                             longRowName + " 2\n");
    const auto read = readMatrixFile(path.string(), true, true);
    ASSERT_EQ(read.status, MatrixFileStatus::Read) << read.message;
    EXPECT_EQ(read.rowNames, (NameTable{rowName, longRowName}));
    EXPECT_EQ(read.columnNames, (NameTable{columnName}));
}

TEST(MatrixFile, ACornerWordShiftsEveryLaterToken) {
    TempDir dir;
    const auto path = dir.write("m.txt", "1 2\ngene c1 c2\nr1 1 2\n");
    const auto read = readMatrixFile(path.string(), true, true);
    EXPECT_EQ(read.status, MatrixFileStatus::Invalid);
    EXPECT_EQ(read.message, "Error in the matrix file " + path.string() +
                                ": row 1 (c2), column 1 holds \"r1\", which is not a number (line 3).\n");
}

TEST(MatrixFile, MissingFileCannotBeOpened) {
    TempDir dir;
    const auto read = readMatrixFile(dir.file("none.txt").string(), true, true);
    EXPECT_EQ(read.status, MatrixFileStatus::CannotOpen);
    EXPECT_EQ(read.message, "Can not open the input data file!\n");
    const auto dims = readMatrixDimensions(dir.file("none.txt").string());
    EXPECT_EQ(dims.status, MatrixFileStatus::CannotOpen);
    EXPECT_EQ(dims.message, "Can not open the input data file!\n");
}

TEST(MatrixFile, AFolderCannotBeRead) {
    TempDir dir;
    const auto read = readMatrixFile(dir.path().string(), false, false);
    EXPECT_EQ(read.status, MatrixFileStatus::Invalid);
    EXPECT_EQ(read.message, "Can not read the matrix file " + dir.path().string() + ": Is a directory.\n");
}

TEST(MatrixFile, TrailingTokensAreAWarningOnly) {
    TempDir dir;
    const auto path = dir.write("m.txt", "1 1\n5\n\n6 7\n");
    const auto read = readMatrixFile(path.string(), false, false);
    ASSERT_EQ(read.status, MatrixFileStatus::Read);
    EXPECT_EQ(read.matrix.values, (std::vector<double>{5}));
    EXPECT_EQ(read.warning, "Warning: the matrix file " + path.string() +
                                " holds more tokens after its last row, from \"6\" (line 4) on; "
                                "they are ignored.\n");
}

// Malformed files give a message and no matrix; the message names the row
// and column counted from 1.
struct BadCase {
    const char* name;
    bool hasRowNames;
    std::string text;
    std::string problem;  // the message after "Error in the matrix file <name>: "
};

class BadFileTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadFileTest, IsRefusedWithItsPlace) {
    const BadCase& c = GetParam();
    TempDir dir;
    const auto path = dir.write("m.txt", c.text);
    const auto read = readMatrixFile(path.string(), c.hasRowNames, false);
    EXPECT_EQ(read.status, MatrixFileStatus::Invalid);
    EXPECT_EQ(read.message, "Error in the matrix file " + path.string() + ": " + c.problem + ".\n");
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, BadFileTest,
    ::testing::Values(
        BadCase{"RowCountWord", false, "rows 2\n", "the row count \"rows\" is not a positive integer (line 1)"},
        BadCase{"RowCountWithSuffix", false, "2x 2\n", "the row count \"2x\" is not a positive integer (line 1)"},
        BadCase{"ColumnCountSignOnly", false, "\n2 -\n", "the column count \"-\" is not a positive integer (line 2)"},
        BadCase{"ColumnCountBeyondInt", false, "1 2147483648\n",
                "the column count \"2147483648\" is not a positive integer (line 1)"},
        BadCase{"ValueWithSuffix", false, "1 2\n1 1.5abc\n",
                "row 1, column 2 holds \"1.5abc\", which is not a number (line 2)"},
        BadCase{"ValueWithComma", true, "1 2\ng 1 2,5\n",
                "row 1 (g), column 2 holds \"2,5\", which is not a number (line 2)"},
        BadCase{"Infinity", false, "1 2\n1 -inf\n",
                "row 1, column 2 holds \"-inf\", which is not a finite number (line 2)"},
        BadCase{"RowNamesMissing", true, "2 2\ng 1 2\n3 4\n",
                "the file ends before row 2 (3), column 2; it should hold 2 rows and 2 columns"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MatrixFile, HugeCountsAreRefusedBeforeAllocating) {
    TempDir dir;
    const auto path = dir.write("m.txt", "2147483647 2147483647\n1 2 3\n");
    const auto read = readMatrixFile(path.string(), true, true);
    EXPECT_EQ(read.status, MatrixFileStatus::Invalid);
    EXPECT_EQ(read.message, "Error in the matrix file " + path.string() +
                                ": its counts promise 2147483647 rows and 2147483647 columns, which "
                                "need at least 9223372036854775809 bytes, but the file has only 28.\n");
    EXPECT_TRUE(read.matrix.values.empty());
}

}  // namespace
