// Facts that hold in every correct report, checked for every input layout,
// notation, distance and linkage through the dialogue: the exact header, the
// captions and separators, every object once in every tree, the first tree
// written twice alike, confidence values as the fraction of sample trees that
// hold each cluster, and the consensus as exactly the clusters of more than
// half of the sample trees.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/report_reader.h"
#include "support/test_support.h"

using namespace report_reader;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;

namespace {

constexpr int SampleSize = 7;

// Six objects in three loose pairs whose distances are close enough for the
// noise to regroup them: the consensus then differs from the first tree, has
// clusters below 1 and nodes of more than two children. The integer parts
// differ enough for "binary".
const std::vector<std::vector<std::string>> Values = {
    {"1.2", "3.4", "2.2", "5.1"}, {"1.9", "2.6", "3.3", "4.2"}, {"2.7", "1.2", "4.4", "2.0"},
    {"3.1", "1.9", "3.1", "2.6"}, {"3.3", "3.3", "5.5", "1.1"}, {"2.2", "4.0", "4.8", "1.4"}};

const char* const InputFormatTexts[] = {
    "has row names, has column names", "has row names, no column names",
    "no row names, has column names", "no row names, no column names"};
const char* const DistanceTexts[] = {"correlation", "euclidean", "maximum", "manhattan", "binary"};
const char* const LinkageTexts[] = {"average", "compact", "connected"};

bool hasRowNames(int format) { return format <= 2; }
bool hasColumnNames(int format) { return format == 1 || format == 3; }

std::string matrixFile(int format) {
    std::string text = "6 4\n";
    if (hasColumnNames(format)) text += "c1 c2 c3 c4\n";
    for (std::size_t r = 0; r < Values.size(); ++r) {
        std::string line = hasRowNames(format) ? "gene" + std::to_string(r + 1) : "";
        for (const auto& v : Values[r]) line += (line.empty() ? "" : "\t") + v;
        text += line + "\n";
    }
    return text;
}

std::string expectedHeader(int format, Notation notation, int distance, int linkage) {
    std::string text = "Here are the settings:\n";
    auto item = [&](const std::string& label, const std::string& value) {
        text += label + value + "\n";
    };
    item("The name of expression file is : ", "expr.txt");
    item("The Scale of Error is          : ", "0.150000");
    item("The format of input file is    : ", InputFormatTexts[format - 1]);
    item("The sample size is             : ", std::to_string(SampleSize));
    item("Preprocess data                : ", "No");
    item("Preprocess data by             : ", "None, None");
    item("Distance method                : ", DistanceTexts[distance - 1]);
    item("Hierarchical Clustering Method : ", LinkageTexts[linkage - 1]);
    item("The name of output file is     : ", "out.txt");
    item("The format of output file is   : ",
         notation == Notation::SPlus ? "S_Plus\n" : "New_Hampshire\n");
    text += "\n";
    item("The number of rows of the data is : ", "6");
    item("The number of columns of the data is : ", "4\n\n");
    return text;
}

// Every object exactly once among the tree's leaves.
void expectEveryObjectOnce(const Tree& tree, const std::vector<std::string>& labels,
                           const std::string& what) {
    ASSERT_EQ(tree.problem, "") << what;
    std::vector<std::string> leaves = tree.leaves;
    std::sort(leaves.begin(), leaves.end());
    EXPECT_EQ(leaves, labels) << what;
}

using Combination = std::tuple<int, Notation, int, int>;  // format, notation, distance, linkage

class ReportStructure : public ::testing::TestWithParam<Combination> {};

TEST_P(ReportStructure, HoldsTheFactsOfEveryReport) {
    const auto [format, notation, distance, linkage] = GetParam();
    TempDir dir;
    dir.write("expr.txt", matrixFile(format));
    // Options 2 (layout), 3 (sample size), 6 (distance), 7 (linkage), 9 (notation).
    const std::string answers = "expr.txt\nn\n0.15\nout.txt\n" +
                                ("2\n" + std::to_string(format) + "\n") +
                                ("3\n" + std::to_string(SampleSize) + "\n") +
                                ("6\n" + std::to_string(distance) + "\n") +
                                ("7\n" + std::to_string(linkage) + "\n") +
                                ("9\n" + std::string(notation == Notation::SPlus ? "1" : "2")) +
                                "\nY\n";
    const auto result = runProgram({}, answers, dir.path());
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");  // finite data: no warning

    const std::string text = readFile(dir.file("out.txt"));
    const Report report = splitReport(text);
    ASSERT_EQ(report.problem, "");
    EXPECT_EQ(joinReport(report), text);
    EXPECT_EQ(report.header, expectedHeader(format, notation, distance, linkage));
    std::vector<int> numbers(SampleSize);
    for (int i = 0; i < SampleSize; ++i) numbers[i] = i + 1;
    EXPECT_EQ(report.sampleNumbers, numbers);

    std::vector<std::string> labels;
    for (int r = 1; r <= 6; ++r)
        labels.push_back((hasRowNames(format) && notation == Notation::NewHampshire ? "gene" : "") +
                         std::to_string(r));
    std::sort(labels.begin(), labels.end());

    const Tree first = readMergeTree(report.firstTree, notation);
    const Tree confidence = readMergeTree(report.confidenceTree, notation);
    const Tree consensus = readConsensus(report.consensus, notation);
    expectEveryObjectOnce(first, labels, "first tree");
    expectEveryObjectOnce(confidence, labels, "confidence tree");
    expectEveryObjectOnce(consensus, labels, "consensus tree");
    std::vector<Tree> samples;
    for (const std::string& block : report.samples) {
        samples.push_back(readMergeTree(block, notation));
        expectEveryObjectOnce(samples.back(), labels,
                              "sample tree " + std::to_string(samples.size()));
    }
    if (HasFatalFailure()) return;

    // The first tree again: same pairs and leaf order, only the values changed.
    EXPECT_EQ(confidence.shape, first.shape);
    EXPECT_EQ(confidence.leaves, first.leaves);

    const auto counts = clusterCounts(samples);
    auto countOf = [&](const Members& m) {
        const auto found = counts.find(m);
        return found == counts.end() ? 0 : found->second;
    };
    for (const Cluster& c : confidence.clusters)
        EXPECT_EQ(c.value, fractionText(countOf(c.members), SampleSize, notation));

    std::map<Members, std::string> majority, written;
    for (const auto& [members, count] : counts)
        if (count > SampleSize / 2) majority[members] = fractionText(count, SampleSize, notation);
    for (const Cluster& c : consensus.clusters) {
        EXPECT_TRUE(written.emplace(c.members, c.value).second) << "a cluster written twice";
        EXPECT_GT(std::stod(c.value), 0.5);
    }
    EXPECT_EQ(written, majority);
    ASSERT_FALSE(consensus.clusters.empty());
    EXPECT_EQ(consensus.clusters.back().members, Members(labels.begin(), labels.end()));
    EXPECT_EQ(consensus.clusters.back().value, fractionText(SampleSize, SampleSize, notation));
}

std::string combinationName(const ::testing::TestParamInfo<Combination>& info) {
    const auto [format, notation, distance, linkage] = info.param;
    return "Layout" + std::to_string(format) +
           (notation == Notation::SPlus ? "SPlus_" : "NewHampshire_") +
           DistanceTexts[distance - 1] + "_" + LinkageTexts[linkage - 1];
}

INSTANTIATE_TEST_SUITE_P(AllCombinations, ReportStructure,
                         ::testing::Combine(
                             ::testing::Values(1, 2, 3, 4),
                             ::testing::Values(Notation::SPlus, Notation::NewHampshire),
                             ::testing::Values(1, 2, 3, 4, 5), ::testing::Values(1, 2, 3)),
                         combinationName);

}  // namespace
