#pragma once
// The files of a command line and their roles (expression file, error file,
// report and every side output): inputs that exist and are not folders,
// outputs in folders that exist and replaced only when asked for, and no two
// roles on one file, whatever the names: their canonical folders and file
// names are compared, and the device and inode of files that exist. Opens no
// file, so a FIFO or a pipe is left for the run to read once.

#include <optional>
#include <string>

#include "run/run_settings.h"

// The refusal message (the option and file first), or nothing.
std::optional<std::string> checkFiles(const RunSettings& settings, bool replaceExisting);
