#pragma once
// The files a run writes besides the report (picture, cluster table, ...),
// rendered from the run's results once the report is complete. Each has a
// role, named in messages and in the check that no two roles share a file.

#include <span>
#include <string>
#include <vector>

#include "run/pending_files.h"
#include "run/run_settings.h"
#include "run/stages.h"

struct SideOutputContext {
    const RunSettings& settings;
    const RunInputs& inputs;
    const RunResults& results;
};

struct SideOutput {
    std::string role;      // e.g. "picture"
    std::string option;    // the command-line option that names it, e.g. "--picture"
    std::string fileName;  // where it goes
    std::string (*render)(const SideOutputContext&);  // the whole file's bytes
};

// The side outputs the settings ask for, in the order they are written.
std::vector<SideOutput> sideOutputsOf(const RunSettings& settings);

// Renders every side output into its pending file (one per entry of
// sideOutputsOf, in order); false after a message naming the file that
// could not be written. The caller commits or discards the files.
bool writeSideOutputs(const SideOutputContext& context, std::span<PendingFile> files);

// The same, each file created beside its target and renamed into place.
bool writeSideOutputs(const SideOutputContext& context);

// The pending files of the side outputs, in order; created by the caller.
std::vector<PendingFile> pendingSideOutputs(const RunSettings& settings);
