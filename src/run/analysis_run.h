#pragma once
// The frame of a run: reads the expression matrix (and the error matrix),
// writes the settings block and the dimensions into the report, runs the
// stages and closes the report. Console texts: "\n\nNow program is
// running......" at the start and "complete!\n" after a complete report.

#include <string>

#include "run/report_file.h"
#include "run/run_settings.h"
#include "run/stages.h"

// The stages that follow the report header (the product's, or another
// implementation of the same algorithms for comparison).
using StagesFunction = int (*)(const RunSettings&, RunInputs&, ReportFile&, RunResults&);

// Runs the accepted settings into the open report; returns the exit status
// (0 for a complete report, 1 after a failure whose message was written).
int runAnalysis(const RunSettings& settings, ReportFile& report, StagesFunction stages = runStages);

// Report items 1 to 14: the settings block and the two dimension lines.
std::string reportHeaderText(const RunSettings& settings, int rowCount, int columnCount);
