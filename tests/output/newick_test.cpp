// Standard Newick: branch lengths, node labels, plain decimals and quoting.
// That ape and Bio.Phylo read the files back is checked by the script checks.

#include "output/newick.h"

#include <gtest/gtest.h>

namespace {

MergeTree treeOf(std::vector<MergePair> pairs, std::vector<double> heights) {
    MergeTree tree(static_cast<int>(pairs.size()) + 1);
    tree.mergePairs = std::move(pairs);
    tree.heights = std::move(heights);
    return tree;
}

TEST(Newick, FirstTreeHasHalfHeightDifferencesAndConfidenceLabels) {
    const MergeTree five = treeOf({{-1, -2}, {-4, -5}, {1, -3}, {3, 2}}, {1, 1, 3, 7});
    const MergeTree two = treeOf({{-2, -1}}, {2e-7});
    const NameTable names{"a b", "x:y", "p(q", "it's", "plain_[1]"};
    const struct {
        const MergeTree* tree;
        std::vector<double> support;
        bool withNames;
        std::string text;
    } cases[] = {
        {&five, {0.5, 1, 0.25, 1}, false, "(((1:0.5,2:0.5)0.5:1,3:1.5)0.25:2,(4:0.5,5:0.5)1:3)1;"},
        {&five, {0.5, 1, 0.25, 1}, true,
         "((('a b':0.5,'x:y':0.5)0.5:1,'p(q':1.5)0.25:2,('it''s':0.5,'plain_[1]':0.5)1:3)1;"},
        {&two, {0.9}, false, "(2:0.0000001,1:0.0000001)0.9;"},
        {&two, {}, false, "(2:0.0000001,1:0.0000001);"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(newickOfFirstTree(*c.tree, c.support, names, c.withNames), c.text);
    EXPECT_EQ(newickOfFirstTree(MergeTree(1), {}, {"only one"}, true), "'only one';");
}

TEST(Newick, ConsensusTreeKeepsTheDisplayOrder) {
    ConsensusTree tree;
    tree.objectCount = 3;
    tree.children = {{-1, -2}, {-3, 1}};
    tree.values = {2.0 / 3, 1};
    EXPECT_EQ(newickOfConsensusTree(tree, {}, false), "(3,(1,2)0.6666666666666666)1;");
    EXPECT_EQ(newickOfConsensusTree(tree, {"a", "b", "c,d"}, true), "('c,d',(a,b)0.6666666666666666)1;");
    ConsensusTree single;
    single.objectCount = 1;
    EXPECT_EQ(newickOfConsensusTree(single, {"x"}, true), "x;");
}

}  // namespace
