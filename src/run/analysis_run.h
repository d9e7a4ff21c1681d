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

// How a run meets the console: the dialogue's run shows both console texts
// and writes "Can not open the input data file!" to standard output; a
// command line may drop the texts, takes "-" as standard input and writes
// every message to standard error (standard output may carry the report).
struct RunConsole {
    bool showTexts = true;
    bool commandLine = false;
};

// Exit status of a command-line run whose input could not be opened.
inline constexpr int InputRefusedStatus = 2;

// Runs the accepted settings into the open report; returns the exit status
// (0 for a complete report, 1 after a failure whose message was written).
int runAnalysis(const RunSettings& settings, ReportFile& report, StagesFunction stages = runStages);

// The steps of a run, for a front end that orders them itself.
void announceRunStart(const RunConsole& console);
void announceRunEnd(const RunConsole& console);
// Reads and checks both matrices; 0, or the exit status after the message.
// Writes no file.
int readRunInputs(const RunSettings& settings, RunInputs& inputs, const RunConsole& console);
// The report header and the stages, then closes the report; 0 when the
// report is complete, else the exit status after the message.
int runFromInputs(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
                  StagesFunction stages, RunResults& results);

// Report items 1 to 14: the settings block and the two dimension lines.
std::string reportHeaderText(const RunSettings& settings, int rowCount, int columnCount);
