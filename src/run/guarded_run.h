#pragma once
// A scripted run that leaves its files complete or untouched: every input is
// read and checked and the memory plan is checked before any file is
// created; the report and every side output are then written to temporary
// files beside their targets (created up front, so an unwritable place is
// found before the run) and renamed into place only when the whole run has
// completed. On a failure, or on SIGINT, SIGTERM or SIGHUP, the temporaries
// are removed and existing files stay as they were.

#include "run/analysis_run.h"
#include "run/run_settings.h"

// Exit status of a run that met its files unwritable before it started.
inline constexpr int OutputRefusedStatus = 2;

// The report goes to standard output when the output file is "-".
inline bool reportToStandardOutput(const RunSettings& settings) {
    return settings.outputFileName == "-";
}

// Returns the exit status: 0 complete; 1 failed run; 2 an input that could
// not be opened or an output that could not be created; 128 + the signal
// after a stop request by signal (one line on standard error).
int runGuarded(const RunSettings& settings, const RunConsole& console,
               StagesFunction stages = runStages);
