#pragma once
// The command-line options of the picture, the selection of well-supported
// clusters, the pick list and the seed: none of them changes the report.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "run/run_settings.h"

struct PictureOptions {
    std::string picture, svg, width, fontSize, highlight, pick, seed;
    bool nested = false;
};

void definePictureOptions(CLI::App& app, PictureOptions& typed);

// A refusal of the values that each option's own check cannot see.
std::optional<std::string> pictureOptionsRefusal(const CLI::App& app, const PictureOptions& typed);

// Into the settings; every value has passed its check.
void applyPictureOptions(const PictureOptions& typed, RunSettings& settings);
