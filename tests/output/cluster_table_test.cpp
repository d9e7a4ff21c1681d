#include "output/cluster_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "output/picture_test_trees.h"

namespace {

std::string table(const MergeTree& tree, const std::vector<double>& confidences,
                  const NameTable& names, bool hasRowNames) {
    std::string out;
    writeClusterTable(out, tree, confidences, names, hasRowNames);
    return out;
}

const std::string Header = "step\tsize\theight\tconfidence\tmembers\n";

}  // namespace

// Whole tables of the four-object tree under changed leaf orders, heights,
// confidences and names.
TEST(ClusterTable, OneRowPerMergeStep) {
    const std::string plain = "1\t2\t0.2\t0.1\t1,3\n2\t2\t0.5\t0.2\t2,4\n3\t4\t0.9\t1\t1,3,2,4\n";
    struct Case {
        const char* what;
        std::vector<int> leafOrder;  // empty: 1 3 2 4
        std::vector<double> heights;  // empty: 0.2 0.5 0.9
        std::vector<double> confidences;
        NameTable names;
        bool hasRowNames;
        std::string rows;
    };
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"numbers", {}, {}, {0.1, 0.2, 1}, {"", "", "", ""}, false, plain},
        {"names", {}, {}, {0.1, 0.2, 1}, {"a", "b", "c", "d"}, true,
         "1\t2\t0.2\t0.1\ta,c\n2\t2\t0.5\t0.2\tb,d\n3\t4\t0.9\t1\ta,c,b,d\n"},
        {"names ignored without row names", {}, {}, {0.1, 0.2, 1}, {"a", "b", "c", "d"}, false, plain},
        {"empty name as in the report", {}, {}, {0.1, 0.2, 1}, {"a", "", "c", "d"}, true,
         "1\t2\t0.2\t0.1\ta,c\n2\t2\t0.5\t0.2\t,d\n3\t4\t0.9\t1\ta,c,,d\n"},
        {"leaf order", {4, 2, 3, 1}, {}, {0.1, 0.2, 1}, {}, false,
         "1\t2\t0.2\t0.1\t3,1\n2\t2\t0.5\t0.2\t4,2\n3\t4\t0.9\t1\t4,2,3,1\n"},
        // Unusable leaf orders fall back to the merge order.
        {"zero leaf order", {0, 0, 0, 0}, {}, {0.1, 0.2, 1}, {}, false, plain},
        {"leaf order splits a cluster", {1, 2, 3, 4}, {}, {0.1, 0.2, 1}, {}, false, plain},
        {"object twice in leaf order", {1, 1, 2, 4}, {}, {0.1, 0.2, 1}, {}, false, plain},
        {"short leaf order", {1, 3, 2}, {}, {0.1, 0.2, 1}, {}, false, plain},
        {"missing confidences", {}, {}, {0.25}, {}, false,
         "1\t2\t0.2\t0.25\t1,3\n2\t2\t0.5\tNaN\t2,4\n3\t4\t0.9\tNaN\t1,3,2,4\n"},
        {"non-finite heights", {}, {nan, inf, 0.9}, {0.1, 0.2, 1}, {}, false,
         "1\t2\tNaN\t0.1\t1,3\n2\t2\tInf\t0.2\t2,4\n3\t4\t0.9\t1\t1,3,2,4\n"},
    };
    for (const Case& c : cases) {
        MergeTree tree = fourObjectTree();
        if (!c.leafOrder.empty()) tree.leafOrder = c.leafOrder;
        if (!c.heights.empty()) tree.heights = c.heights;
        EXPECT_EQ(table(tree, c.confidences, c.names, c.hasRowNames), Header + c.rows) << c.what;
    }
}

// Every fault the merge-tree check knows gives the header only.
TEST(ClusterTable, InvalidTreeOrTooFewObjectsGiveTheHeaderOnly) {
    std::vector<MergeTree> trees{MergeTree(1), MergeTree(0), MergeTree(4)};  // the last unfilled
    for (int fault = 0; fault < 4; ++fault) {
        MergeTree tree = fourObjectTree();
        if (fault == 0) tree.mergePairs[1] = {-1, -4};  // object 1 twice
        if (fault == 1) tree.mergePairs[0] = {2, -3};   // names a later step
        if (fault == 2) tree.mergePairs[1] = {-2, -5};  // no such object
        if (fault == 3) tree.heights.pop_back();
        trees.push_back(tree);
    }
    for (const MergeTree& tree : trees) EXPECT_EQ(table(tree, {}, {}, false), Header);
}

TEST(ClusterTable, NumbersReadBackExactly) {
    const double values[] = {0.1,     1.0 / 3, 2.0 / 3, 6.166666666666667, 1e-300, 4.9e-324,
                             1.7e308, -0.0,    0,       123456789.125,     0.948,  37.0 / 6,
                             1e21,    2.5e-7};
    for (double value : values) {
        const std::string text = roundTripNumber(value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_EQ(std::signbit(std::strtod(text.c_str(), nullptr)), std::signbit(value)) << text;
    }
    EXPECT_EQ(roundTripNumber(0.1), "0.1");
    EXPECT_EQ(roundTripNumber(1.0), "1");
    EXPECT_EQ(roundTripNumber(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(roundTripNumber(std::numeric_limits<double>::infinity()), "Inf");
    EXPECT_EQ(roundTripNumber(-std::numeric_limits<double>::infinity()), "-Inf");
}

TEST(ClusterTable, NamesWithCommasAndQuotesAreQuoted) {
    struct Case {
        NameTable names;
        const char* lastRowMembers;  // members field of step 3 as written
    };
    const Case cases[] = {
        // A comma in a name: the name is quoted inside the list, so the field
        // holds quotes and is quoted as a whole.
        {{"a,b", "c", "d", "e"}, "\"\"\"a,b\"\",d,c,e\""},
        // A quote in a name: quoted and doubled in the list, then again in the field.
        {{"x\"y", "c", "d", "e"}, "\"\"\"x\"\"\"\"y\"\",d,c,e\""},
        // Other special characters need no quoting.
        {{"<a>", "b&c", "it's", "d;e"}, "<a>,it's,b&c,d;e"},
    };
    for (const Case& c : cases) {
        const std::string out = table(fourObjectTree(), {0.5, 0.5, 1}, c.names, true);
        const std::string lastRow = std::string("3\t4\t0.9\t1\t") + c.lastRowMembers + "\n";
        EXPECT_EQ(out.substr(out.size() - lastRow.size()), lastRow) << out;
    }
}
