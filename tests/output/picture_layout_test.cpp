// The computed picture: no label overlaps another or crosses a line, for small,
// real, large, long-named and chain-shaped trees; what is boxed; the notes.
#include "output/picture_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "cluster/clustering.h"
#include "cluster/distance_triangle.h"
#include "consensus/consensus_stage.h"
#include "data/matrix_file.h"
#include "output/picture_draw.h"
#include "output/picture_test_trees.h"

using picture::Layout;

namespace {

// The first description of a collision, or empty.
std::string firstCollision(const Layout& layout) {
    for (std::size_t a = 0; a < layout.labels.size(); ++a) {
        const auto& label = layout.labels[a];
        if (label.box.left < 0 || label.box.right > layout.width || label.box.bottom > layout.height)
            return "'" + label.text + "' leaves the page";
        for (std::size_t b = a + 1; b < layout.labels.size(); ++b)
            if (picture::overlaps(label.box, layout.labels[b].box))
                return "'" + label.text + "' overlaps '" + layout.labels[b].text + "'";
        for (const auto& line : layout.lines)
            if (picture::crosses(label.box, line)) return "'" + label.text + "' crosses a line";
    }
    return "";
}

struct Clustered {
    MergeTree tree;
    ConsensusResults consensus;
    NameTable names;
};

// Clusters a matrix; the confidences and consensus come from three
// "resampled" trees: the tree itself twice and its complete-linkage twin.
Clustered runOn(const DataMatrix& matrix, NameTable names) {
    const int n = matrix.rowCount;
    DistanceTriangle distances(n);
    computeDistances(distances, matrix, DistanceMetric::Euclidean);
    Clustered run{MergeTree(n), {}, std::move(names)};
    clusterObjects(run.tree, distances, Linkage::Average);
    computeLeafOrder(run.tree);
    MergeTree twin(n);
    clusterObjects(twin, distances, Linkage::Compact);
    const SampleClusters first = summarizeTree(run.tree);
    run.consensus = computeConsensus(first, {first, first, summarizeTree(twin)}, n);
    return run;
}

// Rows around a few dozen centres, like expression profiles with groups of
// co-regulated genes, named as probes are.
Clustered profiles(int rows) {
    std::mt19937 random(static_cast<unsigned>(rows));
    std::normal_distribution<double> normal(0.0, 1.0);
    DataMatrix matrix = allocateMatrix(rows, 38);
    std::vector<double> centres(40 * 38);
    for (double& v : centres) v = 3 * normal(random);
    NameTable names;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 38; ++c) matrix.at(r, c) = centres[index(r % 40 * 38 + c)] + normal(random);
        names.push_back("AFFX-" + std::to_string(100000 + r) + "_at");
    }
    return runOn(matrix, names);
}

Layout layoutOf(const Clustered& run, bool nested = false, double width = DefaultPictureWidth) {
    return layoutPicture({run.tree, run.consensus.support, run.consensus.consensusTree, run.names, true,
                          DefaultHighlight, nested, {"example.txt (n rows)", "distance euclidean"}, width,
                          DefaultFontSize},
                         cairoTextMeasure());
}

// n objects joined one by one (a chain), names of the given length.
Clustered chain(int n, std::size_t nameLength) {
    MergeTree tree(n);
    tree.mergePairs[0] = {-1, -2};
    for (int s = 1; s < n - 1; ++s) tree.mergePairs[index(s)] = {s, -(s + 2)};
    for (int s = 0; s < n - 1; ++s) tree.heights[index(s)] = s + 1.0;
    computeLeafOrder(tree);
    const SampleClusters first = summarizeTree(tree);
    NameTable names;
    for (int o = 1; o <= n; ++o) names.push_back(std::string(nameLength, 'W').append(std::to_string(o)));
    return {tree, computeConsensus(first, {first}, n), names};
}

}  // namespace

TEST(PictureLayout, NoLabelOverlapsAnotherOrCrossesALine) {
    const MatrixFileResult example =
        readMatrixFile(std::string(NOISECLUST_SOURCE_DIR) + "/examples/golub-top40.txt", true, true);
    struct Case {
        const char* what;
        Clustered run;
        bool allLeavesLabelled;
    };
    Case cases[] = {
        {"bundled example", runOn(example.matrix, example.rowNames), true},
        {"3,000 profiles", profiles(3000), false},
        {"long names", chain(12, 59), true},
        {"chain of 500", chain(500, 4), false},
        {"four objects", Clustered{fourObjectTree(), {{0.96, 0.5, 1}, fourObjectConsensus()}, {"a", "b", "c", "d"}}, true},
    };
    for (Case& c : cases) {
        for (const bool nested : {false, true}) {
            const Layout layout = layoutOf(c.run, nested);
            EXPECT_EQ(firstCollision(layout), "") << c.what << (nested ? ", nested" : "");
            EXPECT_LE(layout.height, 1.5 * layout.width) << c.what;  // fits a page
            EXPECT_EQ(layout.shownLeafLabels == c.run.tree.objectCount, c.allLeavesLabelled) << c.what;
        }
    }
}

TEST(PictureLayout, OutermostClustersAreBoxedUnlessNestedAreAsked) {
    // (1,3) and the root are at 1, (2,4) at 0.97: two outermost boxes either way;
    // a chain at 0.99 everywhere: one outermost box, or one per nested step.
    const Clustered four{fourObjectTree(), {{1, 0.97, 1}, fourObjectConsensus()}, {"a", "b", "c", "d"}};
    EXPECT_EQ(layoutOf(four).highlights.size(), 2u);
    Clustered line = chain(8, 1);
    line.consensus.support.assign(7, 0.99);
    EXPECT_EQ(layoutOf(line).highlights.size(), 1u);
    EXPECT_EQ(layoutOf(line, true).highlights.size(), 6u);  // the root is never boxed
}

TEST(PictureLayout, TextsAreSafeAndNotesSayWhatIsMissing) {
    Clustered odd{fourObjectTree(), {{0.96, 0.5, 1}, fourObjectConsensus()}, {"a\xff", "b\x01", "c", "d"}};
    odd.tree.heights[1] = std::nan("");
    const Layout layout = layoutOf(odd);
    std::string texts;
    for (const auto& label : layout.labels) texts += label.text + "\n";
    for (const char* expected : {"a\xef\xbf\xbd\n", "b\xef\xbf\xbd\n", "0.5*", "not finite", "example.txt"})
        EXPECT_NE(texts.find(expected), std::string::npos) << expected;
    const Layout many = layoutOf(chain(500, 4));
    std::string notes;
    for (const auto& label : many.labels) notes += label.text + " ";
    EXPECT_NE(notes.find("leaf labels shown"), std::string::npos);
}

// That each format renders and decodes is checked with PIL, pdftoppm and
// Chromium by the side-file check; here the format each name asks for.
TEST(PictureDrawing, FormatOfAFileName) {
    for (const auto& [name, format] : {std::pair{"a.SVG", PictureFormat::Svg}, {"b.pdf", PictureFormat::Pdf},
                                       {"dir.png/c.Png", PictureFormat::Png}})
        EXPECT_EQ(pictureFormatOf(name), format) << name;
    for (const char* name : {"a.gif", "png", "dir.png/c", ""}) EXPECT_FALSE(pictureFormatOf(name)) << name;
}
