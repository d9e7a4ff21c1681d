#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "app/dialogue.h"
#include "app/file_roles.h"
#include "app/own_data_options.h"
#include "data/matrix_file.h"
#include "app/picture_options.h"
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
        if (entry.alias) list += std::string(separator) + entry.alias;
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
std::string checkThreads(const std::string& word) {
    return threadCountValue(word) ? ""
                                  : "the number of threads must be a whole number from 0 to " +
                                        std::to_string(MaxThreads);
}
std::string checkPreprocess(const std::string& value) {
    if (preprocessingOfName(value)) return {};
    return std::string(UnknownPreprocessing) + ": '" + printable(value) +
           "' is not DIRECTION:METHOD with DIRECTION " + nameList(PreprocessDirections, " or ") +
           " and METHOD one of " + nameList(PreprocessMethods, ", ");
}

std::string checkInputFormat(const std::string& value) {
    if (value == TableInputFormat.commandLineName || valueOfName(InputFormats, value)) return {};
    return "'" + value + "' is not one of " + nameList(InputFormats, ", ") + ", " +
           TableInputFormat.commandLineName;
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
    std::string clusters, threads;
    OwnDataOptions ownData;
    PictureOptions picture;
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
                   "2 row names only, 3 column names only, 4 neither;\n"
                   "or table: tab- or comma-separated text with a\n"
                   "header line, row names in the first column")
        ->type_name("1..4|table")
        ->check(checkInputFormat);
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
    app.add_option("--clusters", typed.clusters,
                   "Also write the first tree's clusters as a\n"
                   "tab-separated table")
        ->type_name("FILE");
    definePictureOptions(app, typed.picture);
    app.add_option("--threads", typed.threads,
                   "Worker threads (default: NOISECLUST_THREADS,\n"
                   "else one per processor); the report is the same")
        ->type_name("N")
        ->check(checkThreads);
    app.add_flag("--quiet", typed.quiet,
                 "Leave out the console texts \"Now program is\n"
                 "running......\" and \"complete!\"");
    defineOwnDataOptions(app, typed.ownData);
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
    if (const auto format = valueOfName(InputFormats, typed.inputFormat))
        settings.inputFormat = *format;
    if (!typed.samples.empty()) settings.sampleSize = *sampleSizeValue(typed.samples);
    if (!typed.preprocess.empty()) {
        settings.preprocess = true;
        const PreprocessChoice choice = *preprocessingOfName(typed.preprocess);
        settings.preprocessDirection = choice.direction;
        settings.preprocessMethod = choice.method;
    }
    if (!typed.distance.empty()) settings.distance = *valueOfName(DistanceMetrics, typed.distance);
    if (!typed.linkage.empty()) settings.linkage = *valueOfName(Linkages, typed.linkage);
    if (!typed.notation.empty()) settings.notation = *valueOfName(TreeNotations, typed.notation);
    settings.clusterTableFileName = typed.clusters;
    applyPictureOptions(typed.picture, settings);
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
    if (const auto refusal = pictureOptionsRefusal(app, typed.picture)) return refuse(*refusal);
    if (app.count("--clusters") > 0 && typed.clusters.empty())
        return refuse("--clusters needs a file name");

    CommandLineRequest request;
    request.settings = settingsFrom(typed, withErrorFile);
    if (const auto refusal =
            applyOwnDataOptions(typed.ownData, typed.inputFormat, app, request.settings))
        return refuse(*refusal);
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
