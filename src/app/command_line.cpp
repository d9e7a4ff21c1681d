#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "app/dialogue.h"
#include "data/matrix_file.h"
#include "data/safe_text.h"
#include "run/guarded_run.h"
#include "run/side_outputs.h"

namespace {

// The most worker threads the run uses; more are not refused by the run, but
// a larger number on a command line is a mistake.
constexpr int MaxThreads = 256;

template <typename Value, std::size_t N>
std::string nameList(const OptionTable<Value, N>& table, const char* separator) {
    std::string list;
    for (const auto& entry : table) {
        if (!list.empty()) list += separator;
        list += entry.commandLineName;
    }
    return list;
}

// A CLI11 check that accepts exactly the names of one table; an unknown name
// is refused with the run's fixed text for it, when it has one.
template <typename Value, std::size_t N>
std::function<std::string(const std::string&)> oneOf(const OptionTable<Value, N>& table,
                                                     std::string unknownText = "") {
    if (!unknownText.empty()) unknownText += " ";
    return [&table, unknownText](const std::string& value) -> std::string {
        if (valueOfName(table, value)) return {};
        return unknownText + "'" + printable(value) + "' is not one of " + nameList(table, ", ");
    };
}

// DIRECTION:METHOD, for example row:log.
std::optional<std::pair<PreprocessDirection, PreprocessMethod>> preprocessWay(
    const std::string& value) {
    const auto colon = value.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto direction = valueOfName(PreprocessDirections, value.substr(0, colon));
    const auto method = valueOfName(PreprocessMethods, value.substr(colon + 1));
    if (!direction || !method) return std::nullopt;
    return std::pair{*direction, *method};
}

// A whole word read as a decimal number the way the dialogue reads one;
// nothing when anything follows the number.
std::optional<double> wholeNumber(const std::string& word) {
    std::size_t consumed = 0;
    const double value = readLeadingNumber(word, consumed);
    if (consumed == 0 || consumed != word.size()) return std::nullopt;
    return value;
}

std::optional<double> scaleOfErrorValue(const std::string& word) {
    if (!wholeNumber(word)) return std::nullopt;
    return parseScaleOfError(word);
}

bool onlySignAndDigits(const std::string& word) {
    const std::size_t start = (!word.empty() && (word[0] == '+' || word[0] == '-')) ? 1 : 0;
    if (word.size() == start) return false;
    for (std::size_t i = start; i < word.size(); ++i)
        if (word[i] < '0' || word[i] > '9') return false;
    return true;
}

std::optional<int> sampleSizeValue(const std::string& word) {
    if (!onlySignAndDigits(word)) return std::nullopt;
    return parseSampleSize(word);
}

std::optional<double> highlightValue(const std::string& word) {
    const auto value = wholeNumber(word);
    if (!value || !(*value >= 0.0 && *value <= 1.0)) return std::nullopt;
    return value;
}

std::optional<int> threadCountValue(const std::string& word) {
    if (word == "0") return 0;  // parseSampleSize refuses 0
    if (!onlySignAndDigits(word)) return std::nullopt;
    const auto count = parseSampleSize(word);
    if (!count || *count > MaxThreads) return std::nullopt;
    return count;
}

// The checks of the numeric options, with the dialogue's messages where the
// dialogue asks the same question.
std::string checkScale(const std::string& word) {
    return scaleOfErrorValue(word) ? "" : "The scale of error must be a positive number!";
}
std::string checkSamples(const std::string& word) {
    if (sampleSizeValue(word)) return "";
    const bool digits = onlySignAndDigits(word) && word[0] != '-' &&
                        word.find_first_not_of("+0") != std::string::npos;
    if (digits) return "the sample size " + printable(word) + " is too large (at most 2147483647)";
    return "The sample size must be a positive integer!";
}
std::string checkHighlight(const std::string& word) {
    return highlightValue(word) ? "" : "the highlight must be a number from 0 to 1";
}
std::string checkThreads(const std::string& word) {
    return threadCountValue(word) ? ""
                                  : "the number of threads must be a whole number from 0 to " +
                                        std::to_string(MaxThreads);
}
std::string checkPreprocess(const std::string& value) {
    if (preprocessWay(value)) return {};
    return std::string(UnknownPreprocessing) + ": '" + printable(value) +
           "' is not DIRECTION:METHOD with DIRECTION " + nameList(PreprocessDirections, " or ") +
           " and METHOD one of " + nameList(PreprocessMethods, ", ");
}

// A name cut short by a zero byte would name another file: it names nothing.
bool usable(const std::string& name) { return name.find('\0') == std::string::npos; }

bool isFolder(const std::string& name) {
    std::error_code error;
    return usable(name) && std::filesystem::is_directory(name, error);
}

// One file the command line names, with the option that names it and its role.
struct NamedFile {
    std::string option;
    std::string role;
    std::string name;
    bool written = false;
    std::string text() const { return option + " " + printable(name); }
};

// The option that names a side output, for messages.
std::string optionOfRole(const std::string& role) {
    if (role == "picture") return "--svg";
    if (role == "cluster table") return "--clusters";
    return "the " + role;
}

// Where a name leads: its folder made canonical plus its own name, and the
// device and inode when the file exists, so that two names of one file are
// found whether or not it exists yet.
struct FileIdentity {
    std::string place;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileIdentity identityOf(const std::string& name) {
    namespace fs = std::filesystem;
    FileIdentity identity;
    const fs::path path(name);
    std::error_code error;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    fs::path canonical = fs::canonical(folder, error);
    if (error) canonical = fs::absolute(folder, error).lexically_normal();
    identity.place = (canonical / path.filename()).string();
    struct stat status {};
    if (usable(name) && ::stat(name.c_str(), &status) == 0)
        identity = {identity.place, true, status.st_dev, status.st_ino};
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.place == b.place || (a.exists && b.exists && a.device == b.device && a.inode == b.inode);
}

// The dialogue's texts for two of its own files named for one; the roles
// otherwise.
std::string sameFileText(const NamedFile& earlier, const NamedFile& later) {
    const std::string roles = earlier.option + later.option;
    if (roles == "--expression--error") return "The error file cannot be same as expression file!";
    if (roles == "--expression--output") return "The expression file cannot be same as output file!";
    if (roles == "--error--output") return "The error file cannot be same as output file!";
    return "the " + later.role + " is the same file as the " + earlier.role + " (" +
           earlier.text() + ")";
}

// A file that the run reads: it exists and is not a folder. It is not opened
// here: a FIFO or a pipe can be read only once, by the run.
std::optional<std::string> checkReadFile(const NamedFile& file, const char* cannotOpen) {
    if (file.name == "-") return std::nullopt;
    struct stat status {};
    if (!usable(file.name) || ::stat(file.name.c_str(), &status) != 0)
        return file.text() + ": " + cannotOpen + " (" + std::strerror(errno) + ")";
    if (S_ISDIR(status.st_mode)) return file.text() + ": " + cannotOpen + " (it is a folder)";
    return std::nullopt;
}

// A file that the run writes: not a folder, in a folder that exists, and
// replaced only when that was asked for.
std::optional<std::string> checkWrittenFile(const NamedFile& file, bool replaceExisting) {
    const std::string& name = file.name;
    const std::filesystem::path path(name);
    const auto own = path.filename().string();
    if (isFolder(name) || own.empty() || own == "." || own == "..")
        return file.text() + ": this is a folder, not a file";
    const auto folder = path.parent_path();
    if (!folder.empty() && !isFolder(folder.string()))
        return file.text() + ": the folder " + printable(folder.string()) + " does not exist";
    std::error_code error;
    if (!replaceExisting && usable(name) &&
        std::filesystem::exists(std::filesystem::symlink_status(name, error)))
        return file.text() + ": the file exists already; add --force to replace it";
    return std::nullopt;
}

// Everything about the files, in the dialogue's order: the expression file,
// the error file, the report, then the side outputs. Reads no file.
std::optional<std::string> checkFiles(const RunSettings& settings, bool replaceExisting) {
    std::vector<NamedFile> files{{"--expression", "expression file", settings.expressionFileName}};
    if (settings.withErrorFile) files.push_back({"--error", "error file", settings.errorFileName});
    if (settings.expressionFileName == "-" && settings.withErrorFile && settings.errorFileName == "-")
        return std::string("--error -: standard input can feed only one of the input files");
    if (!reportToStandardOutput(settings))
        files.push_back({"--output", "report", settings.outputFileName, true});
    for (const SideOutput& side : sideOutputsOf(settings)) {
        if (side.fileName == "-")
            return "the " + side.role + " cannot go to standard output; only the report can (--output -)";
        files.push_back({optionOfRole(side.role), side.role, side.fileName, true});
    }
    std::vector<FileIdentity> identities;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const NamedFile& file = files[i];
        if (file.name == "-") {
            identities.push_back({"-", false, 0, 0});
            continue;
        }
        identities.push_back(identityOf(file.name));
        for (std::size_t k = 0; k < i; ++k)
            if (files[k].name != "-" && sameFile(identities[k], identities[i]))
                return file.text() + ": " + sameFileText(files[k], file);
        const auto refusal =
            !file.written ? checkReadFile(file, i == 0 ? "Can not open the expression file!"
                                                       : "Can not open the error file!")
                          : checkWrittenFile(file, replaceExisting);
        if (refusal) return refusal;
    }
    return std::nullopt;
}

std::string helpHint() {
    return "Run 'noiseclust --help' to see the options.\n";
}

CommandLineRequest refuse(const std::string& what) {
    CommandLineRequest request;
    request.action = CommandLineAction::Refuse;
    request.message = "noiseclust: " + what + "\n" + helpHint();
    return request;
}

// The values as typed; each has passed its check when parsing succeeds.
struct TypedOptions {
    std::string expression, error, scale, output;
    std::string inputFormat, samples, preprocess, distance, linkage, notation;
    std::string svg, highlight, clusters, threads;
    bool force = false, quiet = false;
};

constexpr const char* Description =
    "Clusters the rows of a matrix file into a hierarchical tree, resamples the\n"
    "data under measurement noise, gives every cluster of the first tree a\n"
    "confidence value and builds a majority-rule consensus tree, all written into\n"
    "the report. Without arguments it asks for its files and options on the console.\n";

constexpr const char* Footer =
    "Exactly one of --error and --scale is required.\n"
    "Exit status: 0 complete run, 1 failed run, 2 refused command line.";

void defineOptions(CLI::App& app, TypedOptions& typed) {
    app.description(Description);
    app.footer(Footer);
    app.get_formatter()->column_width(30);
    app.set_help_flag("-h,--help", "Show this summary of the options and exit");
    app.set_version_flag("--version", std::string("noiseclust ") + NOISECLUST_VERSION,
                         "Show the program's version and exit");

    app.add_option("--expression", typed.expression,
                   "The expression matrix file; - for standard input")
        ->type_name("FILE")
        ->required();
    app.add_option("--error", typed.error, "Error file: one standard deviation per value")
        ->type_name("FILE");
    app.add_option("--scale", typed.scale, "Relative scale of error (> 0), instead of --error")
        ->type_name("S")
        ->check(checkScale);
    app.add_option("--output", typed.output, "The report file; - for standard output")
        ->type_name("FILE")
        ->required();
    app.add_flag("--force", typed.force, "Replace existing report, picture and table files");
    app.add_option("--input-format", typed.inputFormat,
                   "Matrix layout: 1 row and column names (default),\n"
                   "2 row names only, 3 column names only, 4 neither")
        ->type_name("1..4")
        ->check(oneOf(InputFormats));
    app.add_option("--samples", typed.samples, "Number of resampled data sets (default 500)")
        ->type_name("N")
        ->check(checkSamples);
    app.add_option("--preprocess", typed.preprocess,
                   "Preprocess by row or column with log, normal,\n"
                   "meancenter, mediancenter or max, e.g. row:log")
        ->type_name("DIRECTION:METHOD")
        ->check(checkPreprocess);
    app.add_option("--distance", typed.distance,
                   "correlation, euclidean (default), maximum,\n"
                   "manhattan or binary")
        ->type_name("METHOD")
        ->check(oneOf(DistanceMetrics, UnknownDistance));
    app.add_option("--linkage", typed.linkage,
                   "average (default), compact (complete linkage)\n"
                   "or connected (single linkage)")
        ->type_name("METHOD")
        ->check(oneOf(Linkages, UnknownLinkage));
    app.add_option("--notation", typed.notation, "Tree notation: New_Hampshire (default) or S_Plus")
        ->type_name("NAME")
        ->check(oneOf(TreeNotations));
    app.add_option("--svg", typed.svg, "Also write a picture of the trees (SVG)")
        ->type_name("FILE");
    app.add_option("--highlight", typed.highlight,
                   "Box clusters with a confidence of at least X\n"
                   "in the picture (default 0.95)")
        ->type_name("X")
        ->check(checkHighlight);
    app.add_option("--clusters", typed.clusters,
                   "Also write the first tree's clusters as a\n"
                   "tab-separated table")
        ->type_name("FILE");
    app.add_option("--threads", typed.threads,
                   "Worker threads (default: NOISECLUST_THREADS,\n"
                   "else one per processor); the report is the same")
        ->type_name("N")
        ->check(checkThreads);
    app.add_flag("--quiet", typed.quiet,
                 "Leave out the console texts \"Now program is\n"
                 "running......\" and \"complete!\"");
}

// Turns the checked values into the settings the dialogue would have given.
RunSettings settingsFrom(const TypedOptions& typed, bool withErrorFile) {
    RunSettings settings;
    applyDefaults(settings);
    settings.expressionFileName = typed.expression;
    settings.outputFileName = typed.output;
    settings.withErrorFile = withErrorFile;
    if (withErrorFile) settings.errorFileName = typed.error;
    else settings.scaleOfError = *scaleOfErrorValue(typed.scale);
    if (!typed.inputFormat.empty())
        settings.inputFormat = *valueOfName(InputFormats, typed.inputFormat);
    if (!typed.samples.empty()) settings.sampleSize = *sampleSizeValue(typed.samples);
    if (!typed.preprocess.empty()) {
        settings.preprocess = true;
        std::tie(settings.preprocessDirection, settings.preprocessMethod) =
            *preprocessWay(typed.preprocess);
    }
    if (!typed.distance.empty()) settings.distance = *valueOfName(DistanceMetrics, typed.distance);
    if (!typed.linkage.empty()) settings.linkage = *valueOfName(Linkages, typed.linkage);
    if (!typed.notation.empty()) settings.notation = *valueOfName(TreeNotations, typed.notation);
    settings.svgFileName = typed.svg;
    settings.clusterTableFileName = typed.clusters;
    if (!typed.highlight.empty()) settings.highlight = *highlightValue(typed.highlight);
    if (!typed.threads.empty()) settings.threadCount = *threadCountValue(typed.threads);
    return settings;
}

}  // namespace

CommandLineRequest parseCommandLine(int argc, const char* const argv[]) {
    CLI::App app{"", "noiseclust"};
    TypedOptions typed;
    defineOptions(app, typed);
    // CLI11 reports what it refuses by exceptions; they end here.
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        CommandLineRequest request;
        request.action = CommandLineAction::ShowHelp;
        request.message = app.help();
        return request;
    } catch (const CLI::CallForVersion& version) {
        CommandLineRequest request;
        request.action = CommandLineAction::ShowVersion;
        request.message = std::string(version.what()) + "\n";
        return request;
    } catch (const CLI::ParseError& error) {
        return refuse(printable(error.what(), 300));  // it may quote any argument
    }

    const bool withErrorFile = app.count("--error") > 0;
    const bool withScale = app.count("--scale") > 0;
    if (withErrorFile == withScale)
        return refuse(withErrorFile ? "give either --error FILE or --scale S, not both"
                                    : "one of --error FILE and --scale S is required");
    if (typed.expression.empty()) return refuse("--expression needs a file name");
    if (withErrorFile && typed.error.empty()) return refuse("--error needs a file name");
    if (app.count("--svg") > 0 && typed.svg.empty()) return refuse("--svg needs a file name");
    if (app.count("--clusters") > 0 && typed.clusters.empty())
        return refuse("--clusters needs a file name");

    CommandLineRequest request;
    request.settings = settingsFrom(typed, withErrorFile);
    if (const auto refusal = checkFiles(request.settings, typed.force)) return refuse(*refusal);
    request.action = CommandLineAction::Run;
    request.showTexts = !typed.quiet && !reportToStandardOutput(request.settings);
    return request;
}

int runCommandLine(int argc, const char* const argv[]) {
    CommandLineRequest request = parseCommandLine(argc, argv);
    switch (request.action) {
        case CommandLineAction::ShowHelp:
        case CommandLineAction::ShowVersion: std::cout << request.message << std::flush; return 0;
        case CommandLineAction::Refuse: std::cerr << request.message; return CommandLineRefused;
        case CommandLineAction::Run: break;
    }
    return runGuarded(request.settings, RunConsole{request.showTexts, true});
}
