#include "cluster/clustering.h"

#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "cluster/average_cells.h"
#include "cluster/cluster_test_support.h"
#include "cluster/correlation_means.h"
#include "cluster/printed_heights.h"
#include "cluster/tree_writer.h"
#include "cluster/reducible_linkage.h"
#include "cluster/single_row_cells.h"
#include "reference/literal_clustering.h"

using cluster_testing::AllMetrics;
using cluster_testing::bitsOf;

namespace {

constexpr Linkage AllLinkages[] = {Linkage::Average, Linkage::Compact, Linkage::Connected};
const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

DistanceTriangle distancesOf(const DataMatrix& m, DistanceMetric metric) {
    DistanceTriangle d;
    computeDistances(d, m, metric);
    return d;
}

DistanceTriangle triangleOf(int n, std::vector<double> entries) {
    DistanceTriangle d(n);
    d.entries = std::move(entries);
    return d;
}

// Whether step s of two records joins the same pair at the same height, bit
// for bit (any two not-a-numbers alike).
bool sameStep(const MergeTree& x, const MergeTree& y, int s) {
    const bool sameHeight = bitsOf(x.height(s)) == bitsOf(y.height(s)) || (std::isnan(x.height(s)) && std::isnan(y.height(s)));
    return x.mergeMember(s, 0) == y.mergeMember(s, 0) && x.mergeMember(s, 1) == y.mergeMember(s, 1) && sameHeight;
}

// The product's tree (and the table's alone) against the literal
// transcription's, pairs and heights bit for bit (any two not-a-numbers
// alike), with the caller's workspace. Returns whether the table ran.
bool expectLiteralTree(const DistanceTriangle& d, Linkage linkage, ClusteringWorkspace& workspace,
                       const std::string& what) {
    MergeTree fast(d.objectCount), table(d.objectCount), slow(d.objectCount);
    clusterByTable(table, d, linkage, workspace);
    clusterObjects(fast, d, linkage, workspace);
    literal::clusterObjects(slow, d, linkage);
    EXPECT_EQ(mergeTreeProblem(fast), "") << what;
    EXPECT_TRUE(!workspace.distancesBelowSentinel() || rowsWithNonFiniteDistances(d).empty()) << what;
    for (const MergeTree* tree : {&fast, &table})
        for (int s = 0; s < slow.stepCount(); ++s) {
            EXPECT_TRUE(sameStep(*tree, slow, s))
                << what << (tree == &fast ? "" : " table") << " linkage " << static_cast<int>(linkage) << " step "
                << s + 1 << ": (" << tree->mergeMember(s, 0) << ", " << tree->mergeMember(s, 1) << ") at "
                << tree->height(s) << " against (" << slow.mergeMember(s, 0) << ", " << slow.mergeMember(s, 1)
                << ") at " << slow.height(s);
            if (::testing::Test::HasFailure()) return true;
        }
    return workspace.usedTable;
}

// A triangle of a few values whose sums round differently in different
// orders: exact and near ties that cached sums cannot decide.
DistanceTriangle nearTieTriangle(std::mt19937& random, int n, int trial) {
    static const double pool[] = {1.0, 1 + 0x1p-52, 1 - 0x1p-53, 1 + 0x1p-51, 0.1, 0.2, 0.3, 1.0 / 3.0,
                                  2.0 / 3.0, 0x1p-53, 3.0, 0.7, 0.1 + 0x1p-56};
    DistanceTriangle d(n);
    const std::size_t distinct = 2 + static_cast<std::size_t>(trial % 5);
    for (double& e : d.entries) e = pool[random() % distinct + static_cast<std::size_t>(trial % 3) * 2];
    return d;
}

// Rows drawn around a few centres (real values, one duplicate row), so that
// clusters grow large and joins of big clusters and rescans all occur.
DataMatrix clusteredMatrix(std::mt19937& random, int n, int q, int centres) {
    std::normal_distribution<double> normal;
    std::vector<double> centre(static_cast<std::size_t>(centres * q));
    for (double& v : centre) v = 4 * normal(random);
    DataMatrix m = allocateMatrix(n, q);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < q; ++c) m.at(r, c) = centre[static_cast<std::size_t>((r % centres) * q + c)] + normal(random);
    for (int c = 0; c < q; ++c) m.at(n - 1, c) = m.at(0, c);
    return m;
}

}  // namespace

// The product against the literal transcription, every linkage, one
// workspace per family reused across sizes as a worker thread does. Each
// family targets a way a faster engine can go wrong: ties and their
// orientation (small integers, repeated and constant rows, grids of values),
// summation order under near ties, degenerate distances, and large clusters
// with many rescans (real values, a few hundred rows around few centres).
// Families also say which routes each linkage must take: the faster routes
// (reducible_linkage.h) must take distinct values, fall back on ties that
// matter and on any degenerate or negative-zero distance.
enum class Routes { TableOnly, FastOnly, Both, Any };

struct DifferentialFamily {
    const char* name;
    int trials;
    Routes routes;
    std::function<std::vector<DistanceTriangle>(std::mt19937&, int)> triangles;
};

void PrintTo(const DifferentialFamily& family, std::ostream* out) { *out << family.name; }

class MatchesTheLiteralAlgorithm : public ::testing::TestWithParam<DifferentialFamily> {};

TEST_P(MatchesTheLiteralAlgorithm, PairsAndHeightsBitForBit) {
    std::mt19937 random(2024);
    ClusteringWorkspace workspace;
    int byTable[3] = {}, calls = 0;
    for (int trial = 0; trial < GetParam().trials; ++trial)
        for (const DistanceTriangle& d : GetParam().triangles(random, trial)) {
            ++calls;
            for (Linkage linkage : AllLinkages)
                byTable[static_cast<int>(linkage)] +=
                    expectLiteralTree(d, linkage, workspace, std::string(GetParam().name) + " trial " + std::to_string(trial));
        }
    for (Linkage linkage : AllLinkages) {
        const int table = byTable[static_cast<int>(linkage)], fast = calls - table;
        const Routes routes = GetParam().routes;
        EXPECT_TRUE(routes == Routes::Any || (routes == Routes::TableOnly && fast == 0) ||
                    (routes == Routes::FastOnly && table == 0) || (routes == Routes::Both && table > 0 && fast > 0))
            << "linkage " << static_cast<int>(linkage) << ": " << fast << " of " << calls << " without the table";
    }
}

std::vector<DistanceTriangle> everyMetric(const DataMatrix& m) {
    std::vector<DistanceTriangle> all;
    for (DistanceMetric metric : AllMetrics) all.push_back(distancesOf(m, metric));
    return all;
}

// Distinct random values at sizes 2 to 600, optionally with one entry
// replaced.
DistanceTriangle distinctTriangle(std::mt19937& random, int n, std::optional<double> replacement = {}) {
    DistanceTriangle d(n);
    std::uniform_real_distribution<double> uniform(0.0, 2.0);
    for (double& e : d.entries) e = uniform(random);
    if (replacement) d.entries[random() % d.entries.size()] = *replacement;
    return d;
}

using Triangles = std::vector<DistanceTriangle>;

INSTANTIATE_TEST_SUITE_P(
    Families, MatchesTheLiteralAlgorithm,
    ::testing::Values(
        DifferentialFamily{"tied", 120, Routes::Both,
                           [](std::mt19937& random, int trial) {
                               const int n = 2 + static_cast<int>(random() % 29);
                               const int q = 1 + static_cast<int>(random() % 4);
                               return everyMetric(cluster_testing::tiedMatrix(random, n, q, trial % 3 != 0));
                           }},
        DifferentialFamily{"tied large", 2, Routes::TableOnly,
                           [](std::mt19937& random, int trial) {
                               return everyMetric(cluster_testing::tiedMatrix(random, 200 + 150 * trial, 3, trial == 0));
                           }},
        DifferentialFamily{"near ties", 150, Routes::Any,
                           [](std::mt19937& random, int trial) { return Triangles{nearTieTriangle(random, 3 + trial % 58, trial)}; }},
        DifferentialFamily{"near ties large", 2, Routes::TableOnly,
                           [](std::mt19937& random, int trial) { return Triangles{nearTieTriangle(random, 300 + 100 * trial, trial)}; }},
        // Values closer than single precision resolves: 7 values on equal or
        // adjacent cells, at sizes where clusters grow deep; and distinct
        // values, some sharing a cell (2^9 cells, 2^14 values in each).
        DifferentialFamily{"single precision near ties", 24, Routes::Both,
                           [](std::mt19937& random, int trial) {
                               DistanceTriangle d(trial < 3 ? 150 + 100 * trial : 4 + trial * 5);
                               for (double& e : d.entries)
                                   e = trial < 3 ? 1 + static_cast<double>(random() % 7) * 0x1p-27
                                                 : 1 + static_cast<double>(random() % (1 << 9)) * 0x1p-9 +
                                                       static_cast<double>(random() % (1 << 14)) * 0x1p-40;
                               return Triangles{d};
                           }},
        // Hand-made: not-a-number, infinities and values at the sentinels;
        // signed zeros (the first of equal values is kept); and "average"
        // in the documented summation order: object 1's distances to 2, 3,
        // 4 are 1, x, x, and (1 + x) + x = 3 while 1 + (x + x) = 3 + 2^-51.
        DifferentialFamily{"by hand", 1, Routes::TableOnly,
                           [](std::mt19937&, int) {
                               const double x = 1 + 0x1p-52;
                               return Triangles{
                                   triangleOf(4, std::vector<double>(6, notANumber)),
                                   triangleOf(5, {inf, 1, 2e100, 3, -inf, 1e100, 2, inf, 5, 1e300}),
                                   triangleOf(5, {notANumber, 1, 2, notANumber, 0.5, notANumber, 3, 1, notANumber, 1e100}),
                                   triangleOf(5, {0.0, -0.0, 1, -0.0, 0.0, 2, 1, -0.0, 0.0, 3}),
                                   triangleOf(5, {1, x, x, 2, 0.2, 0.3, 1, 0.1, 1, 1})};
                           }},
        DifferentialFamily{"distinct", 14, Routes::FastOnly,
                           [](std::mt19937& random, int trial) {
                               return Triangles{distinctTriangle(random, trial == 13 ? 600 : 2 + trial * trial)};
                           }},
        // One entry (the only one) not-a-number, infinite, at or beyond a
        // sentinel, or a negative zero: always the table.
        DifferentialFamily{"one degenerate entry", 8, Routes::TableOnly,
                           [](std::mt19937& random, int trial) {
                               const double odd[] = {-notANumber, inf, -inf, 1e100, -1e100, -0.0, 1e300, -1e300};
                               return Triangles{distinctTriangle(random, 2 + 17 * trial, odd[trial])};
                           }},
        DifferentialFamily{"real valued", 12, Routes::Both,
                           [](std::mt19937& random, int trial) {
                               return everyMetric(clusteredMatrix(random, 20 + 4 * trial, 2 + trial % 6, 20 + 4 * trial));
                           }},
        // Normal values in 1,000 columns: the distances concentrate, so the
        // means of large clusters lie closer together than the cells
        // resolve, and which value a cluster's entry holds is summed.
        DifferentialFamily{"concentrated", 1, Routes::FastOnly,
                           [](std::mt19937& random, int) {
                               std::normal_distribution<double> normal;
                               DataMatrix m = allocateMatrix(600, 1000);
                               for (double& v : m.values) v = normal(random);
                               return Triangles{distancesOf(m, DistanceMetric::Euclidean)};
                           }},
        DifferentialFamily{"clustered", 1, Routes::Both,
                           [](std::mt19937& random, int) { return everyMetric(clusteredMatrix(random, 260, 8, 6)); }}),
    [](const ::testing::TestParamInfo<DifferentialFamily>& info) {
        std::string name = info.param.name;
        for (char& c : name) c = c == ' ' ? '_' : c;
        return name;
    });

// A join the proposal makes after another although its value is smaller
// (the two lie on one single-precision cell) goes ahead of it in the
// record, and the clusters around the swap keep their own values: rows 0
// and 1 (1 + 2^-30 apart) are proposed before the pairs {2, 3} and {4, 5}
// (1 apart), whose distances to rows 0 and 1 differ below single precision.
TEST(AverageRoute, JoinAheadOfAnEarlierOne) {
    const double near = 1 + 0x1p-30, far = 2 + 0x1p-30;
    // Rows 0..5: pairs (0,1) (0,2) .. (4,5).
    const DistanceTriangle d = triangleOf(6, {near, 2, 2, far, far, 2, 2, far, far, 0.1, 1, 1, 1, 1, 0.2});
    ClusteringWorkspace workspace;
    EXPECT_FALSE(expectLiteralTree(d, Linkage::Average, workspace, "join ahead"));
}

// The cells of a join that another went ahead of saw that one's two parts
// apart: rows 0 and 1 (J) lie nearest to the part {2, 3}, 1.5 away, but at
// J's step that part is joined to {4, 5}, 3.25 away. So J's entry then
// names {6, 7} (X), about 3 away, and the record takes v(X, J) = 3, not
// v(J, X) = 3 - 2^-51, the smaller sum in the other order.
TEST(AverageRoute, CellsOfAPartAheadStandForNoCluster) {
    const double near = 1 + 0x1p-30, u = 0x1p-51;
    const DistanceTriangle d = triangleOf(8, {near, 1.5, 1.5, 5,   5,   3,  3 - 2 * u, 1.5, 1.5, 5,  5,  3 - u, 3,  0.1,
                                              1,    1,   10,  10,  1,   1,  10,        10,  0.2, 10, 10, 10,    10, 0.3});
    ClusteringWorkspace workspace;
    expectLiteralTree(d, Linkage::Average, workspace, "part ahead");
}

// Compacting the tiles in place keeps every pair of the kept clusters,
// also in tiles already compacted once.
TEST(TiledCells, CompactingKeepsTheKeptPairs) {
    std::mt19937 random(11);
    for (const int n : {5, 9, 64, 131}) {
        std::vector<float> cells(pair_cells::tiledCellCount(n));
        std::vector<std::size_t> rows;
        std::vector<std::uint32_t> columns;
        pair_cells::placeInTiles(n, rows, columns);
        const pair_cells::TiledPlaces places{rows.data(), columns.data()};
        auto pairValue = [n](int i, int j) { return static_cast<float>(i * n + j); };
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) cells[places.of(i, j)] = pairValue(i, j);
        std::vector<int> kept(static_cast<std::size_t>(n));
        std::iota(kept.begin(), kept.end(), 0);
        while (kept.size() > 2) {
            std::vector<int> fewer;
            for (const int k : kept)
                if (random() % 3 != 0 || k == kept.back()) fewer.push_back(k);
            kept = fewer;
            places.compact(cells.data(), kept);
            for (std::size_t p = 0; p < kept.size(); ++p)
                for (std::size_t q = p + 1; q < kept.size(); ++q)
                    ASSERT_EQ(cells[places.of(kept[p], kept[q])], pairValue(kept[p], kept[q])) << n << " clusters, " << kept.size() << " kept";
        }
    }
}

// Many objects put the faster routes' cells in tiles of 4 x 4; on tiles the
// routes must write the table's record too, at sizes with partial tiles.
// "average" also on a triangle without entries, its distances computed
// from the rows band by band and one by one.
TEST(TiledCells, FasterRoutesWriteTheTablesRecord) {
    std::mt19937 random(7);
    ClusteringWorkspace workspace;
    int rowsOnlyJoined = 0;
    for (const int n : {2, 3, 4, 5, 9, 61, 302}) {
        const DataMatrix m = clusteredMatrix(random, n, 8, 6);
        DistanceTriangle rowsOnly;
        keepDistanceRows(rowsOnly, m, DistanceMetric::Correlation);
        const Triangles triangles{distinctTriangle(random, n), distancesOf(m, DistanceMetric::Euclidean),
                                  distancesOf(m, DistanceMetric::Correlation), rowsOnly};
        {  // the first cells band by band are those from the entries
            std::vector<float> cells[2];
            std::vector<std::size_t> rows;
            std::vector<std::uint32_t> columns;
            pair_cells::placeInTiles(n, rows, columns);
            pair_cells::SmallestFirst pairs[2];
            double largest[2];
            bool usable[2];
            for (int k = 0; k < 2; ++k) {
                cells[k].assign(pair_cells::tiledCellCount(n), 0.0f);
                usable[k] = fillSingleRowCells(cells[k].data(), {rows.data(), columns.data()}, triangles[2 + k],
                                               largest[k], pairs[k]);
            }
            EXPECT_EQ(usable[0], usable[1]) << n << " objects";
            if (usable[0]) {
                EXPECT_EQ(cells[0], cells[1]) << n << " objects";
                EXPECT_EQ(pairs[0].bound, pairs[1].bound) << n << " objects";
                EXPECT_EQ(pairs[0].nearest, pairs[1].nearest) << n << " objects";
                EXPECT_EQ(largest[0], largest[1]) << n << " objects";
            }
        }
        for (const DistanceTriangle& d : triangles)
            for (const Linkage linkage : {Linkage::Average, Linkage::Compact}) {
                if (d.entries.empty() && (linkage == Linkage::Compact || n < 2)) continue;
                std::vector<float> cells(pair_cells::tiledCellCount(n));
                std::vector<std::size_t> rows;
                std::vector<std::uint32_t> columns;
                pair_cells::placeInTiles(n, rows, columns);
                linkage_cells::ClusterRecords records;
                ReducibleBuffers buffers;
                std::size_t exactCount = 0;
                MergeTree tiled(n), table(n);
                const pair_cells::PairCells places{cells.data(), rows.data(), columns.data()};
                const bool joined = linkage == Linkage::Compact
                                        ? joinBySmallestPairs(tiled, d, places, records, buffers, exactCount)
                                        : joinAverageBySmallestPairs(tiled, d, places, records, buffers, exactCount);
                clusterByTable(table, d.entries.empty() ? triangles[2] : d, linkage, workspace);
                EXPECT_TRUE(joined || &d != &triangles[0]) << n << " objects, distinct distances";
                rowsOnlyJoined += joined && d.entries.empty();
                for (int s = 0; joined && s < n - 1; ++s)
                    ASSERT_TRUE(sameStep(tiled, table, s))
                        << n << " objects, linkage " << static_cast<int>(linkage) << ", step " << s + 1;
            }
    }
    EXPECT_GE(rowsOnlyJoined, 4);
}

// From many rows "average" goes without the triangle (below 4,000 rows too,
// where only that puts the cells in tiles), and falls back on it
// where its route cannot show the record (a constant row: undefined
// correlations), with the same buffers from one call to the next.
TEST(ClusterMatrix, WritesTheTrianglesRecordWithOrWithoutIt) {
    std::mt19937 random(3);
    ClusteringWorkspace workspace;
    DistanceTriangle reused;
    DataMatrix constantRow = clusteredMatrix(random, 4001, 5, 40);
    for (double& v : constantRow.row(7)) v = 2.5;
    for (const DataMatrix& m : {clusteredMatrix(random, 2600, 5, 40), constantRow}) {
        MergeTree fromMatrix(m.rowCount), fromTriangle(m.rowCount);
        clusterMatrix(fromMatrix, reused, m, DistanceMetric::Correlation, Linkage::Average, workspace);
        const bool fellBack = workspace.usedTable;
        EXPECT_EQ(fellBack, m.rowCount == constantRow.rowCount);
        EXPECT_EQ(reused.entries.empty(), !fellBack);
        clusterObjects(fromTriangle, distancesOf(m, DistanceMetric::Correlation), Linkage::Average, workspace);
        for (int s = 0; s < m.rowCount - 1; ++s) ASSERT_TRUE(sameStep(fromMatrix, fromTriangle, s)) << "step " << s + 1;
    }
}

// Resampled trees need their heights only as exact as the report prints
// them: "correlation" "average" bounds most of them without summing, and
// the trees must still be written alike in both notations, leaf order
// included, through the triangle and from the rows alone.
TEST(ClusterMatrix, HeightsAsPrintedWriteTheSameTrees) {
    std::mt19937 random(13);
    ClusteringWorkspace workspace;
    DistanceTriangle reused;
    const NameTable names;
    for (const DataMatrix& m : {clusteredMatrix(random, 300, 6, 12), clusteredMatrix(random, 2600, 5, 40)}) {
        MergeTree documented(m.rowCount), printed(m.rowCount);
        clusterMatrix(documented, reused, m, DistanceMetric::Correlation, Linkage::Average, workspace);
        const std::size_t documentedSums = workspace.exactLinkages;
        clusterMatrix(printed, reused, m, DistanceMetric::Correlation, Linkage::Average, workspace, Heights::AsPrinted);
        EXPECT_LT(workspace.exactLinkages, documentedSums / 2) << m.rowCount << " rows";
        computeLeafOrder(documented);
        computeLeafOrder(printed);
        EXPECT_EQ(documented.leafOrder, printed.leafOrder) << m.rowCount << " rows";
        for (const TreeNotation notation : {TreeNotation::SPlus, TreeNotation::NewHampshire}) {
            std::string expected, actual;
            writeMergeTree(expected, documented, notation, names, false);
            writeMergeTree(actual, printed, notation, names, false);
            EXPECT_EQ(actual, expected) << m.rowCount << " rows";
        }
    }
}

// The bounds from the clusters' unit row sums hold both documented
// orientations of a "correlation" average, for clusters formed in a chain
// and in a balanced tree, and are narrow enough to settle printed digits.
TEST(CorrelationMeans, BoundBothDocumentedOrientations) {
    std::mt19937 random(17);
    const DistanceTriangle d = distancesOf(clusteredMatrix(random, 400, 7, 3), DistanceMetric::Correlation);
    const int q = d.rows.columnCount;
    std::vector<double> sums, scratch;
    correlation_means::startSums(d.rows, sums);
    const double slack = correlation_means::distanceSlack(d.rows);
    const auto single = correlation_means::meanBounds(sums, q, slack, 1, 2, 1, 1, 0, 0);
    EXPECT_TRUE(single.low <= d.between(1, 2) && d.between(1, 2) <= single.high);
    // Summed in either order, 40,000 terms stray from the estimate by more
    // than the last bits.
    std::vector<int> chain(200), balanced(200);
    std::iota(chain.begin(), chain.end(), 0);
    std::iota(balanced.begin(), balanced.end(), 200);
    for (int r = 1; r < 200; ++r) correlation_means::joinSums(sums, q, 0, r);  // depth 199
    for (int step = 1; step < 200; step *= 2)                                  // depth 8
        for (int i = 200; i + step < 400; i += 2 * step) correlation_means::joinSums(sums, q, i, i + step);
    const auto bounds = correlation_means::meanBounds(sums, q, slack, 0, 200, 200, 200, 199, 8);
    for (const double v : {linkage_cells::documentedAverage(d, chain, balanced, scratch),
                           linkage_cells::documentedAverage(d, balanced, chain, scratch)}) {
        EXPECT_TRUE(bounds.low <= v && v <= bounds.high) << v << " not in " << bounds.low << " .. " << bounds.high;
        EXPECT_LT(bounds.high - bounds.low, 1e-10 * v);
    }
}

// The pass that makes bounded heights report-exact sums a step whose bounds
// cross a printed digit, and both sides of a step whose bounds overlap (their
// order is open); bounds that settle both leave the estimates.
TEST(PrintedHeights, SumsWhereTheTextOrTheOrderOfTheSidesIsOpen) {
    const double close = 0.3 + 0x1p-50;  // rows 3 and 4, just above rows 1 and 2
    const DistanceTriangle d = triangleOf(4, {0.3, 0.9, 0.9, 0.9, 0.9, close});
    MergeTree documented(4);
    clusterObjects(documented, d, Linkage::Average);
    ASSERT_EQ(documented.height(1), close);
    const struct { double spread, top; std::size_t sums; } cases[] = {
        {1e-16, 1e-12, 0},  // every text and order settled
        {1e-12, 1e-12, 2},  // the bounds of the two pairs overlap
        {1e-16, 6e-7, 1},   // the top's bounds cross 0.8999995 and 0.9000005
    };
    for (const auto& c : cases) {
        MergeTree tree = documented;
        std::vector<HeightBounds> bounds;
        std::vector<double> estimates;
        for (int s = 0; s < 3; ++s) {
            const double h = documented.height(s), spread = s == 2 ? c.top : c.spread;
            bounds.push_back({false, h - spread, h + spread, s == 2});
            estimates.push_back(h - spread / 2);
            tree.setHeight(estimates.back(), s);
        }
        std::vector<double> scratch;
        std::size_t sums = 0;
        settlePrintedHeights(tree, bounds, d, scratch, sums);
        EXPECT_EQ(sums, c.sums);
        for (int s = 0; s < 3; ++s) {
            const bool summed = (c.sums == 2 && s < 2) || (c.sums == 1 && s == 2);
            EXPECT_EQ(tree.height(s), summed ? documented.height(s) : estimates[index(s)]) << s;
        }
    }
}

// A packed row's smallest live cell, sixteen at a time, is the one-by-one
// scan's: the first of equal values, across lanes, words of the live bits
// and the tail, with rows of few values (many ties), infinities and rows
// with no live cell.
TEST(PackedCells, WideRowScanFindsTheFirstSmallestLiveCell) {
    std::mt19937 random(5);
    const float inf32 = std::numeric_limits<float>::infinity();
    for (int trial = 0; trial < 400; ++trial) {
        const int end = 1 + static_cast<int>(random() % 300), from = static_cast<int>(random() % end);
        std::vector<float> row(static_cast<std::size_t>(end));
        std::vector<std::uint64_t> live(static_cast<std::size_t>(end / 64 + 2));
        const unsigned values = 1 + random() % 6, liveOneIn = 1 + random() % 8;
        for (int j = 0; j < end; ++j) {
            const unsigned v = random() % values;
            row[static_cast<std::size_t>(j)] = v == 0 ? inf32 : static_cast<float>(v);
            if (random() % liveOneIn == 0) live[static_cast<std::size_t>(j / 64)] |= std::uint64_t{1} << (j % 64);
        }
        int wideAt = -2, oneAt = -2;
        const float wide = pair_cells::smallestLiveInRow(row.data(), live.data(), from, end, wideAt);
        const float one = pair_cells::smallestLiveInRow(row.data(), live.data(), from, end, oneAt, false);
        ASSERT_EQ(wide, one) << "trial " << trial;
        ASSERT_EQ(wideAt, oneAt) << "trial " << trial;
    }
}
