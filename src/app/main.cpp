// noiseclust: asks for the files and options of a run on the console, then
// clusters the data, resamples it under measurement noise and writes the
// report.

#include <iostream>

#include "app/analysis_run.h"
#include "app/console_input.h"
#include "app/dialogue.h"
#include "app/report_file.h"
#include "app/run_settings.h"

int main() {
    installTerminalRestore();
    Console console = standardConsole();
    RunSettings settings;
    ReportFile report;
    if (collectRunSettings(console, settings, report) != DialogueStatus::Completed ||
        reviewRunSettings(console, settings, report) != DialogueStatus::Completed) {
        std::cout << std::flush;
        std::cerr << InputEndedMessage;
        return 1;
    }
    return runAnalysis(settings, report);
}
