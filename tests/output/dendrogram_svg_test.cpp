#include "output/dendrogram_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "output/picture_test_trees.h"
#include "output/svg_text.h"

namespace {

std::string picture(const MergeTree& tree, const std::vector<double>& confidences,
                    const ConsensusTree& consensus, const NameTable& names = {},
                    bool hasRowNames = false, double highlight = DefaultHighlight) {
    std::string out;
    writeDendrogramSvg(out, {tree, confidences, consensus, names, hasRowNames, highlight});
    return out;
}

int boxCount(const std::string& svg) {  // less the background
    int count = -1;
    for (std::size_t at = svg.find("<rect"); at != std::string::npos; at = svg.find("<rect", at + 1)) ++count;
    return count;
}

// The value of an attribute of the element that starts at or before `at`.
double attributeBefore(const std::string& svg, std::size_t at, const std::string& name) {
    const std::size_t value = svg.find(" " + name + "=\"", svg.rfind('<', at));
    return std::strtod(svg.c_str() + value + name.size() + 3, nullptr);
}

// An attribute ("x" or "y") of every text element showing exactly `label`, in document order.
std::vector<double> textPlaces(const std::string& svg, const std::string& label, const char* attribute) {
    std::vector<double> places;
    const std::string piece = ">" + label + "</text>";
    for (std::size_t at = svg.find(piece); at != std::string::npos; at = svg.find(piece, at + 1))
        places.push_back(attributeBefore(svg, at, attribute));
    return places;
}

// A light check of the document: elements open and close in pairs, every
// '&' starts an entity, and no attribute value (every number of the
// document is one) reads nan or inf.
::testing::AssertionResult wellFormed(const std::string& svg) {
    const auto count = [&svg](const std::string& piece) {
        int n = 0;
        for (std::size_t at = svg.find(piece); at != std::string::npos; at = svg.find(piece, at + 1)) ++n;
        return n;
    };
    for (const char* element : {"svg", "g", "text"})
        if (count("<" + std::string(element) + ">") + count("<" + std::string(element) + " ") !=
            count("</" + std::string(element) + ">"))
            return ::testing::AssertionFailure() << "<" << element << "> not closed";
    if (count("&") != count("&amp;") + count("&lt;") + count("&gt;") + count("&quot;") + count("&apos;"))
        return ::testing::AssertionFailure() << "bare &";
    for (const char* bad : {"=\"nan", "=\"-nan", "=\"inf", "=\"-inf", "nan\"", "inf\""})
        if (count(bad) > 0) return ::testing::AssertionFailure() << "invalid number " << bad;
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(DendrogramSvg, LeavesFollowEachTreesOrderAndValuesStandAtTheirNodes) {
    const std::string svg = picture(fourObjectTree(), {0.948, 0.55, 1},
                                    consensusOf(4, {{1, 2}, {3, 4}, {1, 2, 3, 4}}, {0.91, 0.83, 1.0}),
                                    {"a", "b", "c", "d"}, true);
    ASSERT_TRUE(wellFormed(svg));
    std::vector<double> first(5), second(5);  // row of each name in the two trees
    for (int object = 1; object <= 4; ++object) {
        const std::vector<double> ys = textPlaces(svg, std::string(1, static_cast<char>('a' + object - 1)), "y");
        ASSERT_EQ(ys.size(), 2u) << object;
        first[index(object)] = ys[0];
        second[index(object)] = ys[1];
    }
    EXPECT_TRUE(first[1] < first[3] && first[3] < first[2] && first[2] < first[4]);  // leaf order 1 3 2 4
    EXPECT_TRUE(second[2] < second[1] && second[1] < second[4] && second[4] < second[3]);  // 2 1 4 3
    EXPECT_DOUBLE_EQ(first[4] - first[1], 3 * 14.0);  // one row per object
    // Heights grow to the left; the consensus root stands left of its two
    // children, which share a level, and right of the first tree.
    const std::vector<double> ones = textPlaces(svg, "1", "x");
    ASSERT_EQ(ones.size(), 2u);
    EXPECT_GT(textPlaces(svg, "0.948", "x")[0], textPlaces(svg, "0.55", "x")[0]);
    EXPECT_GT(textPlaces(svg, "0.55", "x")[0], ones[0]);
    EXPECT_LT(ones[1], textPlaces(svg, "0.91", "x")[0]);
    EXPECT_DOUBLE_EQ(textPlaces(svg, "0.91", "x")[0], textPlaces(svg, "0.83", "x")[0]);
    EXPECT_GT(ones[1], ones[0]);
}

TEST(DendrogramSvg, ClustersAtOrAboveTheHighlightAreBoxedOverTheirLeaves) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto [highlight, boxes] : {std::pair{0.95, 1}, {0.96, 1}, {0.97, 0}, {0.5, 2}, {0.0, 2}, {nan, 0}}) {
        // The cluster of all objects is never boxed.
        EXPECT_EQ(boxCount(picture(fourObjectTree(), {0.96, 0.5, 1}, fourObjectConsensus(), {}, false, highlight)),
                  boxes) << highlight;
    }
    const std::string svg = picture(fourObjectTree(), {0.5, 0.99, 1}, fourObjectConsensus(), {"a", "b", "c", "d"}, true);
    ASSERT_EQ(boxCount(svg), 1);
    const std::size_t box = svg.find("<rect", svg.find("<rect") + 1);
    const double top = attributeBefore(svg, box, "y");
    const double bottom = top + attributeBefore(svg, box, "height");
    // Step 2 holds objects 2 and 4, the last two rows.
    EXPECT_LT(top, textPlaces(svg, "b", "y")[0]);
    EXPECT_GT(bottom, textPlaces(svg, "d", "y")[0]);
    EXPECT_GT(top, textPlaces(svg, "c", "y")[0]);
}

TEST(DendrogramSvg, TextIsEscapedAndInvalidBytesReplaced) {
    const std::string bad = "\xef\xbf\xbd";
    const std::pair<std::string, std::string> cases[] = {
        {"&<>\"'", "&amp;&lt;&gt;&quot;&apos;"},
        {"g\xc3\xa9ne\xe2\x82\xac\xf0\x9f\xa7\xac", "g\xc3\xa9ne\xe2\x82\xac\xf0\x9f\xa7\xac"},
        {"a\xff" "b", "a" + bad + "b"},            // invalid byte
        {"a\xc3", "a" + bad},                      // cut sequence
        {"\xc0\xaf", bad + bad},                   // overlong form
        {"\xed\xa0\x80", bad + bad + bad},         // surrogate
        {"\xef\xbf\xbe", bad + bad + bad},         // U+FFFE
        {std::string("a\x01\x7f\0", 4), "a" + bad + bad + bad},
    };
    for (const auto& [raw, escaped] : cases) {
        std::string out;
        appendXmlText(out, raw);
        EXPECT_EQ(out, escaped) << raw;
    }
    const std::string svg = picture(fourObjectTree(), {0.96, 0.5, 1}, fourObjectConsensus(),
                                    {"a&b", "<script>", "q\"uote", ""}, true);
    EXPECT_TRUE(wellFormed(svg));
    EXPECT_EQ(textPlaces(svg, "a&amp;b", "y").size(), 2u);
    EXPECT_EQ(textPlaces(svg, "&lt;script&gt;", "y").size(), 2u);
}

TEST(DendrogramSvg, OddInputsGiveAValidPictureWithANote) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        std::vector<double> heights;  // empty: the tree's own
        std::vector<MergePair> pairs;
        std::vector<int> leafOrder;
        int n;
        const char* note;  // nullptr: no note
        bool consensusDrawn;
    };
    const Case cases[] = {
        {"nan height", {0.2, nan, 0.9}, {}, {}, 4, "not finite", true},
        {"infinite height", {0.2, inf, 0.9}, {}, {}, 4, "not finite", true},
        {"minus infinite height", {0.2, -inf, 0.9}, {}, {}, 4, "not finite", true},
        {"equal heights", {0, 0, 0}, {}, {}, 4, nullptr, true},
        {"huge heights", {-1e308, 1e308, 1.7e308}, {}, {}, 4, nullptr, true},
        {"tiny heights", {1e-310, 2e-310, 3e-310}, {}, {}, 4, nullptr, true},
        {"invalid tree", {}, {{-1, -3}, {-2, -4}, {1, 1}}, {}, 4, "cannot be drawn", false},
        {"unusable leaf order", {}, {}, {0, 0, 0, 0}, 4, "merge order", true},
        {"one object", {}, {}, {}, 1, nullptr, false},
        {"no objects", {}, {}, {}, 0, nullptr, false},
    };
    for (const Case& c : cases) {
        MergeTree tree = c.n == 4 ? fourObjectTree() : MergeTree(c.n);
        if (!c.heights.empty()) tree.heights = c.heights;
        if (!c.pairs.empty()) tree.mergePairs = c.pairs;
        if (!c.leafOrder.empty()) tree.leafOrder = c.leafOrder;
        const std::string svg = picture(tree, {0.96, 0.5, 1}, c.n == 4 ? fourObjectConsensus() : consensusOf(c.n, {}, {}));
        EXPECT_TRUE(wellFormed(svg)) << c.what;
        if (c.note) EXPECT_NE(svg.find(c.note), std::string::npos) << c.what;
        EXPECT_EQ(svg.find("Consensus tree") != std::string::npos, c.consensusDrawn) << c.what;
    }
    MergeTree tree = fourObjectTree();
    tree.heights[1] = nan;  // marks its node
    EXPECT_EQ(textPlaces(picture(tree, {0.96, 0.5, 1}, fourObjectConsensus()), "0.5*", "x").size(), 1u);
}

TEST(DendrogramSvg, ThousandObjectsInADeepChainGrowThePicture) {
    // Step s joins the cluster of step s-1 with object s+1; the consensus holds the same chain.
    const int n = 1000;
    MergeTree tree(n);
    tree.mergePairs[0] = {-1, -2};
    for (int s = 1; s < n - 1; ++s) tree.mergePairs[index(s)] = {s, -(s + 2)};
    for (int s = 0; s < n - 1; ++s) tree.heights[index(s)] = s + 1.0;
    computeLeafOrder(tree);
    std::vector<std::vector<int>> clusters{{1, 2}};
    for (int size = 3; size <= n; ++size) {
        clusters.push_back(clusters.back());
        clusters.back().push_back(size);
    }
    NameTable names;
    for (int o = 1; o <= n; ++o) names.push_back("G" + std::to_string(10000 + o));
    const std::string svg = picture(tree, std::vector<double>(n - 1, 0.97),
                                    consensusOf(n, clusters, std::vector<double>(n - 1, 0.75)), names, true);
    EXPECT_TRUE(wellFormed(svg));
    EXPECT_GE(attributeBefore(svg, svg.find("<svg "), "height"), n * 14.0);
    for (const std::string& name : names) ASSERT_EQ(textPlaces(svg, name, "y").size(), 2u) << name;
    EXPECT_EQ(boxCount(svg), n - 2);
    EXPECT_NE(svg.find("Consensus tree"), std::string::npos);
}
