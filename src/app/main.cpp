// noiseclust: clusters the data, resamples it under measurement noise and
// writes the report. Without arguments it asks for the files and options of
// the run on the console; with arguments they come from the command line.

#include <iostream>

#include "run/analysis_run.h"
#include "app/command_line.h"
#include "app/console_input.h"
#include "app/dialogue.h"
#include "run/report_file.h"
#include "run/run_settings.h"

int main(int argc, char** argv) {
    if (argc > 1) return runCommandLine(argc, argv);

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
