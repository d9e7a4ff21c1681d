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
                  const NameTable& names, bool hasRowNames, bool pick = false) {
    std::string out;
    const ClusterTableInput input{tree, confidences, names, hasRowNames, 100, 0.95, "run\nof a test"};
    pick ? writePickList(out, input) : writeClusterTable(out, input);
    return out;
}

// The table without its comment line and without the last two columns.
std::string firstFiveColumns(const std::string& out) {
    std::string kept;
    std::size_t at = out.find('\n') + 1;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        kept += line.substr(0, line.rfind('\t', line.rfind('\t') - 1)) + "\n";
        at = end + 1;
    }
    return kept;
}

const std::string Header = "step\tsize\theight\tconfidence\tmembers\n";

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
        {"leaf order splits a cluster", {1, 2, 3, 4}, {}, {}, {0.1, 0.2, 1}, {}, plain},
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
        EXPECT_EQ(firstFiveColumns(out), Header + c.rows) << c.what;
    }
}

// Standard errors over h = 100 trees and the outermost clusters at or above 0.95.
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
        std::string out = table(fourObjectTree(), c.confidences, {}, false);
        std::string selected, picked;
        for (std::size_t at = out.find("\n1\t"); at != std::string::npos; at = out.find('\n', at + 1)) {
            const std::string line = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
            if (line.empty()) break;
            const double p = std::strtod(line.c_str() + line.find('\t', line.find('\t', 2) + 1) + 1, nullptr);
            const std::string se = line.substr(line.rfind('\t', line.rfind('\t') - 1) + 1);
            if (std::isnan(p)) EXPECT_EQ(se.substr(0, 3), "NaN");
            else EXPECT_NEAR(std::strtod(se.c_str(), nullptr), std::sqrt(p * (1 - p) / 100), 1e-16) << line;
            selected += (selected.empty() ? "" : " ") + line.substr(line.rfind('\t') + 1);
        }
        EXPECT_EQ(selected, c.selected);
        const std::string list = table(fourObjectTree(), c.confidences, {}, false, true);
        for (std::size_t at = list.find("members\n") + 8; at < list.size(); at = list.find('\n', at) + 1)
            picked += (picked.empty() ? "" : " ") + list.substr(at, list.find('\t', at) - at);
        EXPECT_EQ(picked, c.picked);
    }
    for (const auto& [p, h] : {std::pair{1.5, 10}, {-0.1, 10}, {0.5, 0}}) EXPECT_TRUE(std::isnan(standardError(p, h)));
}

TEST(ClusterTable, NumbersReadBackExactly) {
    const double values[] = {0.1, 1.0 / 3, 6.166666666666667, 1e-300, 4.9e-324, 1.7e308, -0.0, 123456789.125, 1e21};
    for (double value : values) {
        const std::string text = roundTripNumber(value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_EQ(std::signbit(std::strtod(text.c_str(), nullptr)), std::signbit(value)) << text;
    }
    EXPECT_EQ(roundTripNumber(1.0), "1");
    EXPECT_EQ(roundTripNumber(-std::numeric_limits<double>::infinity()), "-Inf");
}
