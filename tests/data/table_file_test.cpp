// Tables as R, pandas, spreadsheets and GCT write them, and the faults each
// refusal must name; files that R, pandas and GEO write are read end to end
// by the own-data check. Transposing and dropping rows are tested
// through the in-memory run, which uses the same helpers.

#include "data/table_file.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Accepted {
    const char* what;
    const char* bytes;
    std::vector<std::string> rows, columns;
    std::vector<double> values;  // NaN for a missing value
    std::vector<int> lines;
};

const double NA = std::nan("");

TEST(TableFile, ReadsTheLayoutsOfCommonWriters) {
    const std::vector<Accepted> cases{
        {"write.csv: corner, CRLF, BOM", "\xEF\xBB\xBF\"\",\"a\"\r\n\"x,\"\"y\"\"\",4\r\n",
         {"x,\"y\""}, {"a"}, {4}, {2}},
        {"pandas: empty field and spaces", "id,a,b\nr1, 1 ,\nr2,nan,NULL\n", {"r1", "r2"}, {"a", "b"},
         {1, NA, NA, NA}, {2, 3}},
        {"tab wins over commas in names", "n\ta,b\nr\t1\n", {"r"}, {"a,b"}, {1}, {2}},
        {"quoted line break", "c\tv\n\"a\nb\"\t1\nz\t2\n", {"a\nb", "z"}, {"v"}, {1, 2}, {2, 4}},
        {"GCT", "#1.2\n2\t1\nName\tDescription\tS1\nA\tna\t1\nB\t\t2\n", {"A", "B"}, {"S1"}, {1, 2},
         {4, 5}},
    };
    for (const auto& c : cases) {
        const auto read = parseTableFile(c.bytes, "t");
        ASSERT_TRUE(read.ok) << c.what << ": " << read.message;
        const LabelledMatrix& t = read.table;
        EXPECT_EQ(t.rowNames, c.rows) << c.what;
        EXPECT_EQ(t.columnNames, c.columns) << c.what;
        EXPECT_EQ(t.rowLines, c.lines) << c.what;
        ASSERT_EQ(t.matrix.values.size(), c.values.size()) << c.what;
        EXPECT_EQ(t.matrix.rowCount * t.matrix.columnCount, int(c.values.size())) << c.what;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            EXPECT_TRUE(std::isnan(c.values[i]) ? std::isnan(t.matrix.values[i])
                                                : t.matrix.values[i] == c.values[i])
                << c.what << " value " << i;
    }
}

TEST(TableFile, RefusalsNameTheFileLineAndField) {
    const std::vector<std::pair<const char*, std::string>> cases{
        {"", "t: the file holds no header line"},
        {"a\tb\n", "the header line (line 1) is followed by no row"},
        {"a\tb\nr\t1\t2\ns\t3\n", "line 3 has 2 fields, but line 2 has 3"},
        {"a\tb\tc\td\nr\t1\t2\n", "the header line (line 1) has 4 fields, but line 2 has 3"},
        {"a\nr\t1\nr\t2\n", "line 3, field 1: the row name \"r\" is also the name on line 2"},
        {"a\tb\nr\t1\t1,5\n", "line 2, field 3 (column \"b\", row \"r\"): \"1,5\" is neither"},
        {"a\nr\tInf\n", "line 2, field 2"},
        {"a\nr\t\"1\n", "line 2, field 2: the quote is never closed"},
        {"a\n\"r\"x\t1\n", "line 2, field 1: text follows the closing quote"},
        {"a\nr\n", "line 2 holds no values after the row name"},
        {"#1.2\n3\t1\nName\tDescription\tS\nA\td\t1\n", "promises 3 rows and 1 samples, but it holds 1"},
    };
    for (const auto& [bytes, message] : cases) {
        const auto read = parseTableFile(bytes, "t");
        EXPECT_FALSE(read.ok) << bytes;
        EXPECT_NE(read.message.find("table file t"), std::string::npos) << read.message;
        EXPECT_NE(read.message.find(message), std::string::npos) << read.message;
    }
}

}  // namespace
