#include "output/dendrogram_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "output/picture_test_trees.h"

namespace {


// A consensus list as the consensus writer leaves it: clusters ascending by
// size, members in display order, scratch the root's members read backwards.
ClusterList consensusList(int n, const std::vector<std::vector<int>>& members,
                          const std::vector<double>& values) {
    ClusterList list(n);
    list.members.assign(static_cast<std::size_t>(n), {});
    for (std::size_t i = 0; i < members.size(); ++i) {
        list.members[i] = members[i];
        list.memberCounts[i] = static_cast<int>(members[i].size());
        list.values[i] = values[i];
    }
    list.clusterCount = static_cast<int>(members.size());
    if (!members.empty())
        std::reverse_copy(members.back().begin(), members.back().end(), list.scratch.begin());
    return list;
}

// {1,2} 0.9, {3,4} 0.8 and the root: the root's members are 3 4 1 2, the object order 2 1 4 3.
ClusterList fourObjectConsensus() {
    return consensusList(4, {{1, 2}, {3, 4}, {3, 4, 1, 2}}, {0.9, 0.8, 1.0});
}

std::string picture(const MergeTree& tree, const std::vector<double>& confidences,
                    const ClusterList& consensus, const NameTable& names, bool hasRowNames,
                    double highlight = DefaultHighlight) {
    std::string out;
    writeDendrogramSvg(out, {tree, confidences, consensus, names, hasRowNames, highlight});
    return out;
}

int countOf(const std::string& text, const std::string& piece) {
    int count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

// The value of an attribute of the element that starts at or before `at`.
double attributeBefore(const std::string& svg, std::size_t at, const std::string& name) {
    const std::size_t element = svg.rfind('<', at);
    const std::size_t value = svg.find(" " + name + "=\"", element);
    return std::strtod(svg.c_str() + value + name.size() + 3, nullptr);
}

// An attribute ("x" or "y") of every text element that shows exactly `label`, in document order.
std::vector<double> textPlaces(const std::string& svg, const std::string& escapedLabel,
                               const char* attribute) {
    std::vector<double> places;
    const std::string piece = ">" + escapedLabel + "</text>";
    for (std::size_t at = svg.find(piece); at != std::string::npos; at = svg.find(piece, at + 1))
        places.push_back(attributeBefore(svg, at, attribute));
    return places;
}
std::vector<double> textYs(const std::string& svg, const std::string& label) {
    return textPlaces(svg, label, "y");
}
std::vector<double> textXs(const std::string& svg, const std::string& label) {
    return textPlaces(svg, label, "x");
}

int boxCount(const std::string& svg) {
    return countOf(svg, "<rect") - 1;
}  // less the background

// A light check of XML structure: tags nest and close, attribute values and
// character data hold no raw '<', and every '&' starts one of the five entities.
::testing::AssertionResult wellFormedOutline(const std::string& svg) {
    std::vector<std::string> open;
    std::size_t i = 0;
    if (svg.rfind("<?xml", 0) == 0) i = svg.find("?>") + 2;
    while (i < svg.size()) {
        if (svg[i] == '&') {
            bool known = false;
            for (const char* entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
                known = known || svg.compare(i, std::string(entity).size(), entity) == 0;
            if (!known) return ::testing::AssertionFailure() << "bare & at " << i;
            ++i;
            continue;
        }
        if (svg[i] != '<') {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        bool inValue = false;
        while (end < svg.size() && (inValue || svg[end] != '>')) {
            if (svg[end] == '"') inValue = !inValue;
            if (svg[end] == '<')
                return ::testing::AssertionFailure() << "'<' inside a tag at " << end;
            ++end;
        }
        if (end == svg.size()) return ::testing::AssertionFailure() << "unterminated tag at " << i;
        const std::string tag = svg.substr(i + 1, end - i - 1);
        const std::string name = tag.substr(0, tag.find_first_of(" /"));
        if (tag[0] == '/') {
            if (open.empty() || open.back() != tag.substr(1))
                return ::testing::AssertionFailure() << "unbalanced </" << tag.substr(1) << ">";
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(name);
        }
        i = end + 1;
    }
    if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> not closed";
    return ::testing::AssertionSuccess();
}

// Whether every attribute value is free of "nan" and "inf" (in any case):
// the numbers of the document are all attribute values.
bool holdsNoInvalidNumber(const std::string& svg) {
    for (std::size_t at = svg.find("=\""); at != std::string::npos; at = svg.find("=\"", at + 2)) {
        std::string value = svg.substr(at + 2, svg.find('"', at + 2) - at - 2);
        std::transform(value.begin(), value.end(), value.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (value.find("nan") != std::string::npos || value.find("inf") != std::string::npos)
            return false;
    }
    return true;
}

}  // namespace

TEST(DendrogramSvg, DocumentHasSizeAndMatchingViewBox) {
    const std::string svg =
        picture(fourObjectTree(), {0.96, 0.5, 1}, fourObjectConsensus(), {}, false);
    EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u);
    const std::size_t root = svg.find("<svg ");
    ASSERT_NE(root, std::string::npos);
    const int width = static_cast<int>(attributeBefore(svg, root, "width"));
    const int height = static_cast<int>(attributeBefore(svg, root, "height"));
    EXPECT_GT(height, 4 * 14);
    EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) + "\""),
              std::string::npos);
    EXPECT_NE(svg.find("xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_TRUE(wellFormedOutline(svg));
}

TEST(DendrogramSvg, LeavesFollowEachTreesObjectOrder) {
    const std::string svg = picture(fourObjectTree(), {0.96, 0.5, 1}, fourObjectConsensus(),
                                    {"a", "b", "c", "d"}, true);
    // Every name shows once per tree: first in the dendrogram, then in the consensus tree.
    double first[5];
    double consensus[5];
    for (int object = 1; object <= 4; ++object) {
        const std::vector<double> ys =
            textYs(svg, std::string(1, static_cast<char>('a' + object - 1)));
        ASSERT_EQ(ys.size(), 2u) << object;
        first[object] = ys[0];
        consensus[object] = ys[1];
    }
    EXPECT_LT(first[1], first[3]);  // leaf order 1 3 2 4
    EXPECT_LT(first[3], first[2]);
    EXPECT_LT(first[2], first[4]);
    EXPECT_LT(consensus[2], consensus[1]);  // object order 2 1 4 3
    EXPECT_LT(consensus[1], consensus[4]);
    EXPECT_LT(consensus[4], consensus[3]);
    EXPECT_DOUBLE_EQ(first[4] - first[1], 3 * 14.0);  // one row per object
}

TEST(DendrogramSvg, NodesShowConfidencesAndTheConsensusNests) {
    const ClusterList consensus =
        consensusList(4, {{1, 2}, {3, 4}, {3, 4, 1, 2}}, {0.91, 0.83, 1.0});
    const std::string svg =
        picture(fourObjectTree(), {0.948, 0.55, 1}, consensus, {"a", "b", "c", "d"}, true);
    ASSERT_EQ(textXs(svg, "0.948").size(), 1u);
    ASSERT_EQ(textXs(svg, "0.55").size(), 1u);
    // 1 for the first tree's root and for the consensus root.
    const std::vector<double> ones = textXs(svg, "1");
    ASSERT_EQ(ones.size(), 2u);
    const std::vector<double> first = textXs(svg, "0.91");
    const std::vector<double> second = textXs(svg, "0.83");
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_LT(ones[1], first[0]);           // the consensus root stands left of its children
    EXPECT_DOUBLE_EQ(first[0], second[0]);  // both children on one nesting level
    EXPECT_GT(first[0], ones[0]);           // the consensus tree stands right of the first tree
    // In the dendrogram heights grow to the left: the node at 0.2 stands right of the one at 0.5.
    EXPECT_GT(textXs(svg, "0.948")[0], textXs(svg, "0.55")[0]);
    EXPECT_GT(textXs(svg, "0.55")[0], ones[0]);
}

TEST(DendrogramSvg, ClustersAtOrAboveTheHighlightAreBoxed) {
    struct Case {
        double highlight;
        int boxes;
    };
    const Case cases[] = {{0.95, 1}, {0.96, 1}, {0.97, 0},
                          {0.5, 2},  {0.0, 2},  {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const Case& c : cases) {
        const std::string svg = picture(fourObjectTree(), {0.96, 0.5, 1}, fourObjectConsensus(), {},
                                        false, c.highlight);
        // The cluster of all objects is never boxed.
        EXPECT_EQ(boxCount(svg), c.boxes) << c.highlight;
        EXPECT_TRUE(wellFormedOutline(svg));
    }
}

TEST(DendrogramSvg, BoxSpansTheClustersLeaves) {
    const std::string svg = picture(fourObjectTree(), {0.5, 0.99, 1}, fourObjectConsensus(),
                                    {"a", "b", "c", "d"}, true);
    ASSERT_EQ(boxCount(svg), 1);
    const std::size_t box = svg.find("<rect", svg.find("<rect") + 1);
    const double top = attributeBefore(svg, box, "y");
    const double bottom = top + attributeBefore(svg, box, "height");
    const double yB = textYs(svg, "b")[0];
    const double yD = textYs(svg, "d")[0];
    const double yC = textYs(svg, "c")[0];
    EXPECT_LT(top, yB);  // step 2 holds objects 2 and 4, the last two rows
    EXPECT_GT(bottom, yD);
    EXPECT_GT(top, yC);
}

TEST(DendrogramSvg, NamesAreEscapedInBothTrees) {
    const std::string svg = picture(fourObjectTree(), {0.96, 0.5, 1}, fourObjectConsensus(),
                                    {"a&b", "<script>", "q\"uote", "it's"}, true);
    EXPECT_TRUE(wellFormedOutline(svg));
    EXPECT_EQ(textYs(svg, "a&amp;b").size(), 2u);
    EXPECT_EQ(textYs(svg, "&lt;script&gt;").size(), 2u);
}

TEST(DendrogramSvg, XmlTextEscaping) {
    struct Case {
        std::string raw;
        std::string escaped;
    };
    const std::string replacement = "\xef\xbf\xbd";
    const Case cases[] = {
        {"plain_name-1.2", "plain_name-1.2"},
        {"&<>\"'", "&amp;&lt;&gt;&quot;&apos;"},
        {"g\xc3\xa9ne\xe2\x82\xac\xf0\x9f\xa7\xac",
         "g\xc3\xa9ne\xe2\x82\xac\xf0\x9f\xa7\xac"},  // valid UTF-8 kept
        {"a\xff"
         "b",
         "a" + replacement + "b"},                                  // invalid byte
        {"a\xc3", "a" + replacement},                               // cut sequence
        {"\xc0\xaf", replacement + replacement},                    // overlong form
        {"\xed\xa0\x80", replacement + replacement + replacement},  // surrogate
        {"\xef\xbf\xbe", replacement + replacement + replacement},  // U+FFFE
        {std::string("a\x01\x1f\x7f", 4), "a" + replacement + replacement + replacement},
        {std::string("\0", 1), replacement},
    };
    for (const Case& c : cases) {
        std::string out;
        appendXmlText(out, c.raw);
        EXPECT_EQ(out, c.escaped) << c.raw;
    }
}

TEST(DendrogramSvg, OddHeightsStayFiniteAndNonFiniteOnesAreNoted) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const std::vector<double>& heights :
         {std::vector<double>{0.2, nan, 0.9}, {0.2, inf, 0.9}, {0.2, -inf, 0.9}, {0, 0, 0},
          {-1e308, 1e308, 1.7e308}, {1e-310, 2e-310, 3e-310}, {-3, -2, -1}}) {
        MergeTree tree = fourObjectTree();
        tree.heights = heights;
        const std::string svg = picture(tree, {0.96, 0.5, 1}, fourObjectConsensus(), {}, false);
        EXPECT_TRUE(holdsNoInvalidNumber(svg)) << heights[1];
        EXPECT_TRUE(wellFormedOutline(svg));
        const bool finite = std::isfinite(heights[1]);
        EXPECT_EQ(svg.find("not finite") == std::string::npos, finite) << heights[1];
        EXPECT_EQ(textXs(svg, "0.5*").size(), finite ? 0u : 1u);  // the node is marked
    }
}

TEST(DendrogramSvg, ThousandObjectsInADeepChainGrowThePicture) {
    // Step s joins the cluster of step s-1 with object s+1; the consensus holds the same chain.
    const int n = 1000;
    MergeTree tree(n);
    tree.mergePairs[0] = {-1, -2};
    for (int s = 1; s < n - 1; ++s) tree.mergePairs[static_cast<std::size_t>(s)] = {s, -(s + 2)};
    for (int s = 0; s < n - 1; ++s) tree.heights[static_cast<std::size_t>(s)] = s + 1.0;
    for (int o = 0; o < n; ++o) tree.leafOrder[static_cast<std::size_t>(o)] = o + 1;
    std::vector<std::vector<int>> clusters{{1, 2}};
    for (int size = 3; size <= n; ++size) {
        std::vector<int> members{size};
        members.insert(members.end(), clusters.back().begin(), clusters.back().end());
        clusters.push_back(members);
    }
    const ClusterList consensus = consensusList(n, clusters, std::vector<double>(n - 1, 0.75));
    NameTable names;
    for (int o = 1; o <= n; ++o) names.push_back(std::to_string(10000 + o).insert(0, 1, 'G'));
    const std::vector<double> confidences(n - 1, 0.97);

    const std::string svg = picture(tree, confidences, consensus, names, true);
    EXPECT_TRUE(wellFormedOutline(svg));
    EXPECT_TRUE(holdsNoInvalidNumber(svg));
    EXPECT_GE(attributeBefore(svg, svg.find("<svg "), "height"), n * 14.0);
    for (int o = 1; o <= n; ++o)
        ASSERT_EQ(textYs(svg, names[static_cast<std::size_t>(o - 1)]).size(), 2u) << o;
    EXPECT_EQ(boxCount(svg), n - 2);
    EXPECT_NE(svg.find("Consensus tree"), std::string::npos);
}

TEST(DendrogramSvg, DegenerateInputsGiveAValidPictureWithANote) {
    struct Case {
        const char* what;
        MergeTree tree;
        ClusterList consensus;
        const char* note;  // nullptr: no note expected
        bool consensusDrawn;
    };
    MergeTree single(1);
    MergeTree broken = fourObjectTree();
    broken.mergePairs[2] = {1, 1};
    MergeTree unorderedLeaves = fourObjectTree();
    unorderedLeaves.leafOrder = {0, 0, 0, 0};
    const ClusterList scattered =
        consensusList(4, {{1, 3}, {3, 4, 1, 2}}, {0.9, 1.0});  // 1,3 not adjacent
    ClusterList unordered = fourObjectConsensus();
    unordered.scratch.assign(4, 0);  // no object order yet: the root's members are used
    ClusterList noRoot = consensusList(4, {{1, 2}, {3, 4}}, {0.9, 0.8});
    std::vector<Case> cases;
    cases.push_back({"one object", single, ClusterList(1), nullptr, false});
    cases.push_back({"no objects", MergeTree(0), ClusterList(0), nullptr, false});
    cases.push_back({"invalid tree", broken, fourObjectConsensus(), "cannot be drawn", false});
    cases.push_back(
        {"unusable leaf order", unorderedLeaves, fourObjectConsensus(), "merge order", true});
    cases.push_back({"empty consensus", fourObjectTree(), ClusterList(4), "no clusters", false});
    cases.push_back({"scattered cluster", fourObjectTree(), scattered, "does not fit", false});
    cases.push_back({"consensus without order", fourObjectTree(), unordered, nullptr, true});
    cases.push_back({"consensus without root", fourObjectTree(), noRoot, "every object", false});
    for (const Case& c : cases) {
        const std::string svg = picture(c.tree, {0.96, 0.5, 1}, c.consensus, {}, false);
        EXPECT_TRUE(wellFormedOutline(svg)) << c.what;
        EXPECT_TRUE(holdsNoInvalidNumber(svg)) << c.what;
        if (c.note) {
            EXPECT_NE(svg.find(c.note), std::string::npos) << c.what;
        }
        EXPECT_EQ(svg.find("Consensus tree") != std::string::npos, c.consensusDrawn) << c.what;
    }
}
