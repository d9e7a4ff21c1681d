#pragma once
// The options collected by the console dialogue (or the command line) and
// the keyword texts derived from them, which select the methods of the run.

#include <string>

#include "output/dendrogram_svg.h"

struct RunSettings {
    std::string expressionFileName;
    char errorSource = '0';        // '1' an error file is given, '0' a scale of error
    std::string errorFileName;     // kept after switching to a scale of error
    double scaleOfError = 0.0;
    std::string outputFileName;
    char inputFormat = '1';        // '1'..'4'
    int sampleSize = 500;
    char preprocess = '0';         // '1' yes, '0' no
    char preprocessDirection = 0;  // '1' row, '2' column; 0 until chosen
    char preprocessMethod = 0;     // '1'..'5'; 0 until chosen
    char distanceMethod = '2';     // '1'..'5'
    char clusteringMethod = '1';   // '1'..'3'
    char outputFormat = '2';       // '1' S_Plus, '2' New_Hampshire

    // Not asked by the dialogue; they change how the run works or what it
    // writes besides the report, never the report itself.
    int threadCount = 0;               // 0: NOISECLUST_THREADS, else the hardware's
    std::string svgFileName;           // picture of the trees, when not empty
    double highlight = DefaultHighlight;  // clusters at or above this confidence are boxed
    std::string clusterTableFileName;  // TSV of the first tree's clusters, when not empty

    bool operator==(const RunSettings&) const = default;
};

// The texts shown on the review screen and written into the report.
struct SettingsTexts {
    std::string inputFormatText;
    std::string preprocessText;
    std::string directionText;
    std::string preprocessMethodText;
    std::string distanceText;
    std::string clusteringText;
    std::string outputFormatText;
};

SettingsTexts describeSettings(const RunSettings& settings);
