#pragma once
// The console dialogue: the first pass asks for the files (and opens the
// report), then the review loop shows every option and runs one change
// dialogue at a time until the user accepts. Refused answers repeat their
// question; only the end of the console input ends the dialogue early.
//
// The checks are separate functions returning the exact refusal message, so
// that another front end can apply the same rules.

#include <optional>
#include <string>

#include "app/console_input.h"
#include "run/report_file.h"
#include "run/run_settings.h"

enum class DialogueStatus { Completed, InputEnded };

// Written to standard error when the input ends before the settings are accepted.
inline constexpr const char* InputEndedMessage =
    "The input has ended before the options were accepted!\n";

// Asks for the expression file, the error file or scale of error and the
// output file (which it opens as the report), then sets the defaults.
DialogueStatus collectRunSettings(Console& console, RunSettings& settings, ReportFile& report);

// Shows the review screen and runs change dialogues until the user accepts.
DialogueStatus reviewRunSettings(Console& console, RunSettings& settings, ReportFile& report);

// The review screen for the settings, heading to last option line.
std::string reviewScreenText(const RunSettings& settings);

// Refusal message for a new expression file name, or nothing when it passes
// (including that the file can be opened for reading).
std::optional<std::string> checkExpressionFile(const RunSettings& settings, const std::string& name);
// Same for a new error file name.
std::optional<std::string> checkErrorFile(const RunSettings& settings, const std::string& name);
// Refusal message for an output name that is one of the input files, by name
// or by being the same file on disk.
std::optional<std::string> checkOutputFile(const RunSettings& settings, const std::string& name);

// True when the two names lead to one existing file (same device and inode).
bool sameFileOnDisk(const std::string& first, const std::string& second);
// True when the file can be opened for reading and is not a folder.
bool fileCanBeRead(const std::string& name);

// The scale of error of a typed word: its longest leading number, accepted
// only when finite and greater than 0.
std::optional<double> parseScaleOfError(const std::string& word);
// The sample size of a typed word: its leading sign and digits, accepted
// only when greater than 0 and within int.
std::optional<int> parseSampleSize(const std::string& word);

// The options before the first review: input format 1, no preprocessing,
// euclidean, average, New_Hampshire, 500 samples.
void applyDefaults(RunSettings& settings);
