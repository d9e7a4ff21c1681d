// The cluster table and pick list of the four-object tree: what the side-file
// check cannot reach with real runs (missing confidences, non-finite heights,
// fields that need quoting, invalid records, the selection rule).

#include "output/cluster_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "output/picture_test_trees.h"

namespace {

// The rows after the comment and header lines, split at tabs.
std::vector<std::vector<std::string>> rowsOf(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    std::string line, field;
    for (int skipped = 0; skipped < 2; ++skipped) std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        rows.emplace_back();
        while (std::getline(fields, field, '\t')) rows.back().push_back(field);
    }
    return rows;
}

TEST(ClusterTable, RowsSelectionAndPickList) {
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::vector<double> heights;  // empty: 0.2 0.5 0.9
        std::vector<MergePair> pairs;  // empty: the tree's own
        std::vector<double> confidences;
        NameTable names;
        std::string rows;  // the first five columns
        const char* selected;  // per step
        const char* picked;    // the pick list's steps
    } cases[] = {
        {"plain", {}, {}, {0.96, 0.5, 1}, {}, "1 2 0.2 0.96 1,3|2 2 0.5 0.5 2,4|3 4 0.9 1 1,3,2,4|", "T F F", "1"},
        {"missing confidences", {}, {}, {0.25}, {}, "1 2 0.2 0.25 1,3|2 2 0.5 NaN 2,4|3 4 0.9 NaN 1,3,2,4|",
         "F F F", ""},
        {"non-finite heights", {nan, inf, 0.9}, {}, {0.95, 1, 1}, {}, "1 2 NaN 0.95 1,3|2 2 Inf 1 2,4|3 4 0.9 1 1,3,2,4|",
         "T T F", "1 2"},
        {"quoting", {}, {}, {nan, 0.99, 1}, {"a,b", "x\"y", "#c", "d"},
         "1 2 0.2 NaN \"\"\"a,b\"\",#c\"|2 2 0.5 0.99 \"\"\"x\"\"\"\"y\"\",d\"|3 4 0.9 1 \"\"\"a,b\"\",#c,\"\"x\"\"\"\"y\"\",d\"|",
         "F T F", "2"},
        {"object twice", {}, {{-1, -3}, {-1, -4}, {1, 2}}, {0.1, 0.2, 1}, {}, "", "", ""},
        {"later step named", {}, {{2, -3}, {-2, -4}, {1, 2}}, {0.1, 0.2, 1}, {}, "", "", ""},
    };
    for (const auto& c : cases) {
        MergeTree tree = fourObjectTree();
        if (!c.heights.empty()) tree.heights = c.heights;
        if (!c.pairs.empty()) tree.mergePairs = c.pairs;
        const ClusterTableInput input{tree, c.confidences, c.names, !c.names.empty(), 100, 0.95, "run\nof a test"};
        std::string table, pick, rows, selected, picked;
        writeClusterTable(table, input);
        writePickList(pick, input);
        EXPECT_TRUE(table.starts_with("# run of a test\n")) << c.what;
        for (const auto& row : rowsOf(table)) {
            for (std::size_t f = 0; f < 5; ++f) rows += row[f] + (f < 4 ? " " : "|");
            selected.append(selected.empty() ? "" : " ").push_back(row[6][0]);
            if (row[3] == "NaN") {
                EXPECT_EQ(row[5], "NaN") << c.what;  // no standard error
            }
        }
        for (const auto& row : rowsOf(pick)) picked.append(picked.empty() ? "" : " ").append(row[0]);
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(selected, c.selected) << c.what;
        EXPECT_EQ(picked, c.picked) << c.what;
    }
    for (const auto& [p, h] : {std::pair{1.5, 10}, {-0.1, 10}, {0.5, 0}}) EXPECT_TRUE(std::isnan(standardError(p, h)));
}

}  // namespace
