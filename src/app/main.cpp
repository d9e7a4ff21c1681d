// noiseclust: clusters the data, resamples it under measurement noise and
// writes the report. Without arguments it asks for the files and options of
// the run on the console; with arguments they come from the command line.

#include <iostream>
#include <new>
#include <stdexcept>

#include "run/analysis_run.h"
#include "app/command_line.h"
#include "app/console_input.h"
#include "app/dialogue.h"
#include "run/report_file.h"
#include "run/run_settings.h"

namespace {

int runProgram(int argc, char** argv) {
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

}  // namespace

// Memory that runs out anywhere, worker threads included (their failures
// come back to this thread), ends the program with one message.
int main(int argc, char** argv) {
    try {
        return runProgram(argc, argv);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::cout << std::flush;
    std::cerr << "noiseclust: there is not enough memory for this run!\n";
    return 1;
}
