#pragma once
// The options collected by the console dialogue (or the command line). The
// choices are the values of the tables in run/options.h.

#include <cstdint>
#include <optional>
#include <string>

#include "output/picture_layout.h"
#include "run/options.h"

struct RunSettings {
    std::string expressionFileName;
    bool withErrorFile = false;    // an error file, else a scale of error
    std::string errorFileName;     // kept after switching to a scale of error
    double scaleOfError = 0.0;
    std::string outputFileName;
    InputFormat inputFormat = InputFormat::RowAndColumnNames;
    int sampleSize = 500;
    bool preprocess = false;
    // Asked whenever preprocessing is switched on; kept, unused, when it is off.
    PreprocessDirection preprocessDirection = PreprocessDirection::Row;
    PreprocessMethod preprocessMethod = PreprocessMethod::Log;
    DistanceMetric distance = DistanceMetric::Euclidean;
    Linkage linkage = Linkage::Average;
    TreeNotation notation = TreeNotation::NewHampshire;

    // Not asked by the dialogue; they change how the run works or what it
    // writes besides the report, never the report itself.
    int threadCount = 0;               // 0: NOISECLUST_THREADS, else the hardware's
    std::string clusterTableFileName;  // TSV of the first tree's clusters, when not empty
    // Users' own data: delimited tables (shown in the report as the layout
    // they have, inputFormat RowAndColumnNames), their missing values, the
    // objects clustered, and the trees in standard Newick.
    bool tableInput = false;
    char tableDelimiter = 0;           // '\t', ',' or 0: found from the header line
    MissingValues missingValues = MissingValues::Refuse;
    ClusteredObjects clusteredObjects = ClusteredObjects::Rows;
    std::string newickFileName;           // the first tree, when not empty
    std::string consensusNewickFileName;  // the consensus tree, when not empty
    // Picture, table and pick list of the well-supported clusters; the seed
    // of the random stream (none: the fixed start 24, 67, 276).
    std::string pictureFileName;  // SVG, PDF or PNG by its extension, when not empty
    double highlight = DefaultHighlight;  // clusters at or above this confidence are boxed
    bool highlightNested = false;         // box every such cluster, not only the outermost
    double pictureWidth = DefaultPictureWidth;  // points
    double fontSize = DefaultFontSize;          // points
    std::string pickFileName;  // the outermost clusters at or above the highlight, when not empty
    std::optional<std::uint64_t> seed;

    bool operator==(const RunSettings&) const = default;
};

// The values of the preprocessing lines of the review screen and the report:
// "Yes" or "No", and "row, log" or "None, None".
std::string preprocessText(const RunSettings& settings);
std::string preprocessWayText(const RunSettings& settings);
