#include "app/cluster_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

// Four objects: (1,3) at 0.2, (2,4) at 0.5, both joined at 0.9; leaf order 1 3 2 4.
MergeTree fourObjectTree() {
    MergeTree tree(4);
    tree.mergePairs = {{-1, -3}, {-2, -4}, {1, 2}};
    tree.heights = {0.2, 0.5, 0.9};
    tree.leafOrder = {1, 3, 2, 4};
    return tree;
}

std::string table(const MergeTree& tree, const std::vector<double>& confidences,
                  const NameTable& names, bool hasRowNames) {
    std::string out;
    writeClusterTable(out, tree, confidences, names, hasRowNames);
    return out;
}

const char* const Header = "step\tsize\theight\tconfidence\tmembers\n";

}  // namespace

TEST(ClusterTable, OneRowPerMergeStepWithNumbersOrNames) {
    const MergeTree tree = fourObjectTree();
    const std::vector<double> confidences{0.75, 0.5, 1.0};
    EXPECT_EQ(table(tree, confidences, {"", "", "", ""}, false), std::string(Header) +
                                                                     "1\t2\t0.2\t0.75\t1,3\n"
                                                                     "2\t2\t0.5\t0.5\t2,4\n"
                                                                     "3\t4\t0.9\t1\t1,3,2,4\n");
    EXPECT_EQ(table(tree, confidences, {"a", "b", "c", "d"}, true), std::string(Header) +
                                                                        "1\t2\t0.2\t0.75\ta,c\n"
                                                                        "2\t2\t0.5\t0.5\tb,d\n"
                                                                        "3\t4\t0.9\t1\ta,c,b,d\n");
    // Names are ignored without row names, and an empty name falls back to the number.
    const std::string withEmptyName = table(tree, confidences, {"a", "", "c", "d"}, true);
    EXPECT_NE(withEmptyName.find("2\t2\t0.5\t0.5\t2,d\n"), std::string::npos) << withEmptyName;
}

TEST(ClusterTable, MembersFollowTheLeafOrder) {
    MergeTree tree = fourObjectTree();
    tree.leafOrder = {4, 2, 3, 1};  // also keeps every cluster together
    EXPECT_EQ(table(tree, {0.1, 0.2, 1.0}, {}, false), std::string(Header) +
                                                           "1\t2\t0.2\t0.1\t3,1\n"
                                                           "2\t2\t0.5\t0.2\t4,2\n"
                                                           "3\t4\t0.9\t1\t4,2,3,1\n");
}

TEST(ClusterTable, UnusableLeafOrderFallsBackToMergeOrder) {
    for (const std::vector<int>& leafOrder :
         {std::vector<int>{0, 0, 0, 0}, std::vector<int>{1, 2, 3, 4}, std::vector<int>{1, 1, 2, 4},
          std::vector<int>{1, 3, 2}}) {
        MergeTree tree = fourObjectTree();
        tree.leafOrder = leafOrder;
        EXPECT_EQ(table(tree, {0.1, 0.2, 1.0}, {}, false), std::string(Header) +
                                                               "1\t2\t0.2\t0.1\t1,3\n"
                                                               "2\t2\t0.5\t0.2\t2,4\n"
                                                               "3\t4\t0.9\t1\t1,3,2,4\n");
    }
}

TEST(ClusterTable, InvalidTreeOrTooFewObjectsGiveTheHeaderOnly) {
    std::vector<MergeTree> trees;
    trees.emplace_back(1);
    trees.emplace_back(0);
    MergeTree unfilled(4);  // all merge members 0
    trees.push_back(unfilled);
    MergeTree reused = fourObjectTree();
    reused.mergePairs[1] = {-1, -4};  // object 1 twice
    trees.push_back(reused);
    MergeTree forward = fourObjectTree();
    forward.mergePairs[0] = {2, -3};  // names a later step
    trees.push_back(forward);
    MergeTree outOfRange = fourObjectTree();
    outOfRange.mergePairs[1] = {-2, -5};
    trees.push_back(outOfRange);
    MergeTree shortHeights = fourObjectTree();
    shortHeights.heights.pop_back();
    trees.push_back(shortHeights);
    for (const MergeTree& tree : trees) EXPECT_EQ(table(tree, {}, {}, false), Header);
}

TEST(ClusterTable, MissingConfidenceIsNaN) {
    EXPECT_EQ(table(fourObjectTree(), {0.25}, {}, false), std::string(Header) +
                                                              "1\t2\t0.2\t0.25\t1,3\n"
                                                              "2\t2\t0.5\tNaN\t2,4\n"
                                                              "3\t4\t0.9\tNaN\t1,3,2,4\n");
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

TEST(ClusterTable, NonFiniteHeightsUseReaderFriendlySpellings) {
    MergeTree tree = fourObjectTree();
    tree.heights = {std::nan(""), std::numeric_limits<double>::infinity(), 0.9};
    const std::string out = table(tree, {1, 1, 1}, {}, false);
    EXPECT_NE(out.find("1\t2\tNaN\t1\t1,3\n"), std::string::npos) << out;
    EXPECT_NE(out.find("2\t2\tInf\t1\t2,4\n"), std::string::npos) << out;
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
