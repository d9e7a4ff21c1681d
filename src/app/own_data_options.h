#pragma once
// The command line's options for users' own data: the table delimiter,
// missing values, the objects clustered and the Newick files.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "run/run_settings.h"

// The values as typed; each has passed its check when parsing succeeds.
struct OwnDataOptions {
    std::string delimiter, missing, cluster, newick, consensusNewick;
};

void defineOwnDataOptions(CLI::App& app, OwnDataOptions& typed);

// Puts the values into the settings (inputFormat is the typed
// --input-format); a refusal when they do not fit together.
std::optional<std::string> applyOwnDataOptions(const OwnDataOptions& typed,
                                               const std::string& inputFormat,
                                               const CLI::App& app, RunSettings& settings);
