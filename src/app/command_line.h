#pragma once
// Scripted runs: every option of the console dialogue as a command-line
// option, read through the same option tables into the same RunSettings, so
// that the run writes the same report as after the dialogue. The files are
// checked by the dialogue's rules, and the run then leaves its files complete
// or untouched (run/guarded_run.h).
//
//   noiseclust --expression FILE (--error FILE | --scale S) --output FILE
//              [--input-format 1..4] [--samples N]
//              [--preprocess row|column:log|normal|meancenter|mediancenter|max]
//              [--distance correlation|euclidean|maximum|manhattan|binary]
//              [--linkage average|compact|connected]
//              [--notation S_Plus|New_Hampshire] [--force]
//              [--svg FILE] [--highlight X] [--clusters FILE] [--threads N]
//              [--quiet]            (FILE "-": standard input or output)
//   noiseclust --help | --version

#include <string>

#include "run/run_settings.h"

// Exit status of a command line that was refused before the run started.
inline constexpr int CommandLineRefused = 2;

enum class CommandLineAction { Run, ShowHelp, ShowVersion, Refuse };

struct CommandLineRequest {
    CommandLineAction action = CommandLineAction::Refuse;
    RunSettings settings;  // complete when action is Run
    bool showTexts = true;  // the console texts; off with --quiet or --output -
    // ShowHelp: the usage text; ShowVersion: "noiseclust <version>\n";
    // Refuse: what was wrong, then a hint to --help.
    std::string message;
};

// Parses the arguments (argv[0] is the program's name) and checks every
// value and file: input files that exist, no two roles on one file (by
// canonical folder and name, or by device and inode), an existing output
// replaced only with --force. Opens no file.
CommandLineRequest parseCommandLine(int argc, const char* const argv[]);

// Parses and runs. Returns the exit status: 0 for a complete run, 1 for a
// failed run, CommandLineRefused for a refused command line, an input that
// cannot be opened or an output that cannot be created (message on standard
// error), 128 + the signal after SIGINT, SIGTERM or SIGHUP; --help and
// --version print to standard output and return 0.
int runCommandLine(int argc, const char* const argv[]);
