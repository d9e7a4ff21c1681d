#include "run/guarded_run.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>
#include <new>
#include <span>

#include "run/pending_files.h"
#include "run/run_stop.h"
#include "run/side_outputs.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int signalNumber) {
    if (stopSignal == 0) stopSignal = signalNumber;
    requestRunStop();
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signalNumber, &action, nullptr);
}

// The report first (unless it goes to standard output), then the side outputs.
std::vector<PendingFile> pendingFilesOf(const RunSettings& settings) {
    std::vector<PendingFile> files;
    if (!reportToStandardOutput(settings))
        files.push_back(PendingFile{"report", settings.outputFileName, "", -1});
    for (PendingFile& side : pendingSideOutputs(settings)) files.push_back(std::move(side));
    return files;
}

// Ends a run that was stopped by a signal, its files removed.
int stopped(std::vector<PendingFile>& files) {
    discardPendingFiles(files);
    const int signalNumber = stopSignal != 0 ? static_cast<int>(stopSignal) : SIGINT;
    const char* name = signalNumber == SIGTERM ? "SIGTERM" : signalNumber == SIGHUP ? "SIGHUP" : "SIGINT";
    std::cerr << "noiseclust: stopped by " << name
              << "; no output file was written or changed.\n";
    return 128 + signalNumber;
}

int runWithFiles(const RunSettings& settings, RunInputs& inputs, std::vector<PendingFile>& files,
                 StagesFunction stages) {
    for (PendingFile& file : files) {
        if (const auto problem = createPendingFile(file)) {
            std::cerr << "noiseclust: " << *problem << "\n";
            return OutputRefusedStatus;
        }
    }
    ReportFile report;
    std::span<PendingFile> sideFiles(files);
    if (reportToStandardOutput(settings)) {
        report.attach(STDOUT_FILENO, "standard output", false);
    } else {
        report.attach(files[0].fd, settings.outputFileName, true);
        files[0].fd = -1;  // the report closes it
        sideFiles = sideFiles.subspan(1);
    }
    RunResults results;
    const int status = runFromInputs(settings, inputs, report, stages, results);
    if (runStopRequested()) return RunStoppedStatus;
    if (status != 0) return status;
    if (!writeSideOutputs({settings, inputs, results}, sideFiles)) return 1;
    if (runStopRequested()) return RunStoppedStatus;
    if (const auto problem = commitPendingFiles(files)) {
        std::cerr << "noiseclust: " << *problem << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int runGuarded(const RunSettings& settings, const RunConsole& console, StagesFunction stages) {
    announceRunStart(console);
    RunInputs inputs;
    if (const int status = readRunInputs(settings, inputs, console)) return status;
    if (plannedThreads(settings, inputs) == 0) {
        std::cerr << "noiseclust: clustering " << inputs.rawMatrix.rowCount << " rows "
                  << settings.sampleSize << " times needs more memory than this machine has!\n";
        return 1;
    }
    clearRunStop();
    stopSignal = 0;
    catchStopSignals();
    std::vector<PendingFile> files = pendingFilesOf(settings);
    int status = 1;
    try {
        status = runWithFiles(settings, inputs, files, stages);
    } catch (...) {
        discardPendingFiles(files);
        throw;
    }
    if (status == RunStoppedStatus && runStopRequested()) return stopped(files);
    discardPendingFiles(files);
    if (status == 0) announceRunEnd(console);
    return status;
}
