#include "output/cluster_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "output/picture_test_trees.h"

namespace {

std::string table(const MergeTree& tree, const std::vector<double>& confidences,
                  const NameTable& names, bool hasRowNames, bool pick = false) {
    std::string out;
    const ClusterTableInput input{tree, confidences, names, hasRowNames, 100, 0.95, "run\nof a test"};
    pick ? writePickList(out, input) : writeClusterTable(out, input);
    return out;
}

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

// The first five columns, as the table held them before se and selected.
std::string firstFiveColumns(const std::string& out) {
    std::string kept;
    for (const auto& row : rowsOf(out))
        for (std::size_t f = 0; f < 5; ++f) kept += row[f] + (f < 4 ? '\t' : '\n');
    return kept;
}


}  // namespace

// Whole tables of the four-object tree under changed leaf orders, heights,
// confidences, names and invalid records.
TEST(ClusterTable, OneRowPerMergeStep) {
    const std::string plain = "1\t2\t0.2\t0.1\t1,3\n2\t2\t0.5\t0.2\t2,4\n3\t4\t0.9\t1\t1,3,2,4\n";
    struct Case {
        const char* what;
        std::vector<int> leafOrder;  // empty: 1 3 2 4
        std::vector<double> heights;  // empty: 0.2 0.5 0.9
        std::vector<MergePair> pairs;  // empty: the tree's own
        std::vector<double> confidences;
        NameTable names;
        std::string rows;
    };
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"numbers", {}, {}, {}, {0.1, 0.2, 1}, {}, plain},
        {"names", {}, {}, {}, {0.1, 0.2, 1}, {"a", "b", "c", "d"},
         "1\t2\t0.2\t0.1\ta,c\n2\t2\t0.5\t0.2\tb,d\n3\t4\t0.9\t1\ta,c,b,d\n"},
        {"leaf order", {4, 2, 3, 1}, {}, {}, {0.1, 0.2, 1}, {},
         "1\t2\t0.2\t0.1\t3,1\n2\t2\t0.5\t0.2\t4,2\n3\t4\t0.9\t1\t4,2,3,1\n"},
        {"missing confidences", {}, {}, {}, {0.25}, {},
         "1\t2\t0.2\t0.25\t1,3\n2\t2\t0.5\tNaN\t2,4\n3\t4\t0.9\tNaN\t1,3,2,4\n"},
        {"non-finite heights", {}, {nan, inf, 0.9}, {}, {0.1, 0.2, 1}, {},
         "1\t2\tNaN\t0.1\t1,3\n2\t2\tInf\t0.2\t2,4\n3\t4\t0.9\t1\t1,3,2,4\n"},
        {"quoting", {}, {}, {}, {0.1, 0.2, 1}, {"a,b", "x\"y", "#c", "d"},
         "1\t2\t0.2\t0.1\t\"\"\"a,b\"\",#c\"\n2\t2\t0.5\t0.2\t\"\"\"x\"\"\"\"y\"\",d\"\n"
         "3\t4\t0.9\t1\t\"\"\"a,b\"\",#c,\"\"x\"\"\"\"y\"\",d\"\n"},
        {"object twice", {}, {}, {{-1, -3}, {-1, -4}, {1, 2}}, {0.1, 0.2, 1}, {}, ""},
        {"later step named", {}, {}, {{2, -3}, {-2, -4}, {1, 2}}, {0.1, 0.2, 1}, {}, ""},
    };
    for (const Case& c : cases) {
        MergeTree tree = fourObjectTree();
        if (!c.leafOrder.empty()) tree.leafOrder = c.leafOrder;
        if (!c.heights.empty()) tree.heights = c.heights;
        if (!c.pairs.empty()) tree.mergePairs = c.pairs;
        const std::string out = table(tree, c.confidences, c.names, !c.names.empty());
        EXPECT_EQ(out.substr(0, out.find('\n') + 1), "# run of a test\n") << c.what;
        EXPECT_EQ(firstFiveColumns(out), c.rows) << c.what;
    }
}

// The outermost clusters at or above 0.95, and the standard errors that have
// no value (the side-file check compares the others with real runs).
TEST(ClusterTable, StandardErrorsAndSelectedClusters) {
    struct Case {
        std::vector<double> confidences;
        const char* selected;  // per step
        const char* picked;    // the pick list's steps
    };
    const Case cases[] = {
        {{0.96, 0.5, 1}, "TRUE FALSE FALSE", "1"},
        {{0.95, 1, 1}, "TRUE TRUE FALSE", "1 2"},
        {{0.2, 0.94, 1}, "FALSE FALSE FALSE", ""},
        {{std::nan(""), 0.99, 1}, "FALSE TRUE FALSE", "2"},
    };
    for (const Case& c : cases) {
        std::string selected, picked;
        for (const auto& row : rowsOf(table(fourObjectTree(), c.confidences, {}, false))) {
            if (row[3] == "NaN") {
                EXPECT_EQ(row[5], "NaN");
            }
            selected += (selected.empty() ? "" : " ") + row[6];
        }
        EXPECT_EQ(selected, c.selected);
        for (const auto& row : rowsOf(table(fourObjectTree(), c.confidences, {}, false, true)))
            picked += (picked.empty() ? "" : " ") + row[0];
        EXPECT_EQ(picked, c.picked);
    }
    for (const auto& [p, h] : {std::pair{1.5, 10}, {-0.1, 10}, {0.5, 0}}) EXPECT_TRUE(std::isnan(standardError(p, h)));
}
