#include "app/dialogue.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <ostream>
#include <sstream>

#include "data/matrix_file.h"

namespace {

bool isYes(char key) { return key == 'Y' || key == 'y'; }
bool isDigit(char key) { return key >= '0' && key <= '9'; }

// A name cut short by a zero byte would name another file.
bool usableName(const std::string& name) { return name.find('\0') == std::string::npos; }

bool fileExists(const std::string& name) {
    std::error_code error;
    return usableName(name) && std::filesystem::exists(name, error);
}

// How an answer to a menu is read: most menus take a keystroke, the
// direction question of option 4 takes a character from the input stream.
enum class AnswerKind { Keystroke, Character };

// Writes the heading and one line per entry of the table, and reads answers
// until one is the code of an entry.
template <typename Value, std::size_t N>
bool askMenu(Console& console, const std::string& heading, const OptionTable<Value, N>& table,
             AnswerKind kind, Value& target) {
    std::string menu = heading;
    for (const auto& entry : table)
        menu += std::string("\t") + entry.code + ": " + entry.menuLabel + "\n";
    for (;;) {
        console.out << menu;
        const auto key = kind == AnswerKind::Keystroke ? readKeystroke(console) : readCharacter(console);
        if (!key) return false;
        if (const auto value = valueOfCode(table, *key)) {
            target = *value;
            return true;
        }
        console.out << "This input is illegal!\n";
    }
}

bool askExpressionFile(Console& console, RunSettings& settings) {
    for (;;) {
        console.out << "\nPlease input the name of expression file:\n";
        const auto name = readWord(console);
        if (!name) return false;
        if (const auto refusal = checkExpressionFile(settings, *name)) {
            console.out << *refusal;
            continue;
        }
        settings.expressionFileName = *name;
        return true;
    }
}

bool askErrorFile(Console& console, RunSettings& settings) {
    for (;;) {
        console.out << "\nPlease input the name of error file:\n";
        const auto name = readWord(console);
        if (!name) return false;
        if (const auto refusal = checkErrorFile(settings, *name)) {
            console.out << *refusal;
            continue;
        }
        settings.errorFileName = *name;
        return true;
    }
}

bool askScaleOfError(Console& console, RunSettings& settings) {
    for (;;) {
        console.out << "\nPlease input the scale of error:\n";
        const auto word = readWord(console);
        if (!word) return false;
        if (const auto scale = parseScaleOfError(*word)) {
            settings.scaleOfError = *scale;
            return true;
        }
        console.out << "The scale of error must be a positive number!\n";
    }
}

// Step 2 of the first pass and option 1: an error file or a scale of error.
bool askErrorSource(Console& console, RunSettings& settings) {
    console.out << "\nDo you have the error file?\n"
                << "Type Y if have, otherwise type N or other keys:\n";
    const auto key = readKeystroke(console);
    if (!key) return false;
    settings.withErrorFile = isYes(*key);
    if (settings.withErrorFile) return askErrorFile(console, settings);
    return askScaleOfError(console, settings);
}

// Step 5 of the first pass and option 8: the report held so far is closed
// first and stays as it was left; a new one is opened for the accepted name.
bool askOutputFile(Console& console, RunSettings& settings, ReportFile& report) {
    report.close();
    for (;;) {
        console.out << "\nPlease input the name of output file:\n";
        const auto name = readWord(console);
        if (!name) return false;
        if (const auto refusal = checkOutputFile(settings, *name)) {
            console.out << *refusal;
            continue;
        }
        if (fileExists(*name)) {
            console.out << "This file has been exits! "
                        << "Do you want to replace it? ( Y or N )\n";
            const auto key = readKeystroke(console);
            if (!key) return false;
            if (!isYes(*key)) continue;
        }
        if (!report.open(*name)) {
            console.out << "Can not open the output file!\n";
            continue;
        }
        settings.outputFileName = *name;
        return true;
    }
}

bool askSampleSize(Console& console, RunSettings& settings) {
    for (;;) {
        console.out << "\nPlease input the sample size:\n";
        const auto word = readWord(console);
        if (!word) return false;
        if (const auto size = parseSampleSize(*word)) {
            settings.sampleSize = *size;
            return true;
        }
        console.out << "The sample size must be a positive integer!\n";
    }
}

// The direction question and the method menu of options 4 and 5.
bool askPreprocessingWay(Console& console, RunSettings& settings, AnswerKind directionKind,
                         const char* methodHeading) {
    return askMenu(console, "\nDo you want to preprocess data by:\n", PreprocessDirections,
                   directionKind, settings.preprocessDirection) &&
           askMenu(console, methodHeading, PreprocessMethods, AnswerKind::Keystroke,
                   settings.preprocessMethod);
}

bool askPreprocessing(Console& console, RunSettings& settings) {
    console.out << "\nDo you want to preprocess the data (\"Y\" or \"N\") ?\n";
    const auto key = readKeystroke(console);
    if (!key) return false;
    settings.preprocess = isYes(*key);
    return !settings.preprocess ||
           askPreprocessingWay(
               console, settings, AnswerKind::Character,
               "\nPlease select one of the following methods to preprocess data:\n");
}

bool changeOption(Console& console, RunSettings& settings, ReportFile& report, char option) {
    switch (option) {
        case '0': return askExpressionFile(console, settings);
        case '1': return askErrorSource(console, settings);
        case '2':
            return askMenu(console,
                           "\nPlease select one of the following formats of the input file:\n",
                           InputFormats, AnswerKind::Keystroke, settings.inputFormat);
        case '3': return askSampleSize(console, settings);
        case '4': return askPreprocessing(console, settings);
        case '5':
            if (!settings.preprocess) {
                console.out << "You must change the option 4 first!\n";
                return true;
            }
            return askPreprocessingWay(
                console, settings, AnswerKind::Keystroke,
                "\nPlease select the following methods to preprocess data:\n");
        case '6':
            return askMenu(console,
                           "\nPlease select one of the following methods to compute"
                           " the pairwise distance: \n",
                           DistanceMetrics, AnswerKind::Keystroke, settings.distance);
        case '7':
            return askMenu(console,
                           "\nPlease select one of the following methods to clustering objects:\n",
                           Linkages, AnswerKind::Keystroke, settings.linkage);
        case '8': return askOutputFile(console, settings, report);
        case '9':
            return askMenu(console,
                           "\nPlease select one of the following formats of the output file:\n",
                           TreeNotations, AnswerKind::Keystroke, settings.notation);
        default: return true;
    }
}

// The stream's default floating-point form: six significant digits, general
// notation, trailing zeros dropped.
std::string defaultFloatText(double value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

}  // namespace

// std::filesystem::equivalent refuses to compare two devices, so the device
// and inode numbers are compared here.
bool sameFileOnDisk(const std::string& first, const std::string& second) {
    struct stat a {}, b {};
    return usableName(first) && usableName(second) && ::stat(first.c_str(), &a) == 0 &&
           ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool fileCanBeRead(const std::string& name) {
    std::error_code error;
    return usableName(name) && std::ifstream(name).is_open() &&
           !std::filesystem::is_directory(name, error);
}

std::optional<std::string> checkExpressionFile(const RunSettings& settings, const std::string& name) {
    if (!settings.errorFileName.empty() && name == settings.errorFileName)
        return "The expression file cannot be same as error file!\n";
    if (!settings.outputFileName.empty() &&
        (name == settings.outputFileName || sameFileOnDisk(name, settings.outputFileName)))
        return "The expression file cannot be same as output file!\n";
    if (!fileCanBeRead(name)) return "Can not open the expression file!\n";
    return std::nullopt;
}

std::optional<std::string> checkErrorFile(const RunSettings& settings, const std::string& name) {
    if (!settings.expressionFileName.empty() && name == settings.expressionFileName)
        return "The error file cannot be same as expression file!\n";
    if (!settings.outputFileName.empty() &&
        (name == settings.outputFileName || sameFileOnDisk(name, settings.outputFileName)))
        return "The error file cannot be same as output file!\n";
    if (!fileCanBeRead(name)) return "Can not open the error file!\n";
    return std::nullopt;
}

std::optional<std::string> checkOutputFile(const RunSettings& settings, const std::string& name) {
    if (!settings.expressionFileName.empty() &&
        (name == settings.expressionFileName || sameFileOnDisk(name, settings.expressionFileName)))
        return "The output file cannot be same as expression file!\n";
    if (!settings.errorFileName.empty() &&
        (name == settings.errorFileName || sameFileOnDisk(name, settings.errorFileName)))
        return "The output file cannot be same as error file!\n";
    return std::nullopt;
}

std::optional<double> parseScaleOfError(const std::string& word) {
    std::size_t consumed = 0;
    const double value = readLeadingNumber(word, consumed);
    if (!std::isfinite(value) || !(value > 0)) return std::nullopt;
    return value;
}

std::optional<int> parseSampleSize(const std::string& word) {
    std::size_t i = (!word.empty() && (word[0] == '+' || word[0] == '-')) ? 1 : 0;
    const std::size_t digitsStart = i;
    while (i < word.size() && word[i] >= '0' && word[i] <= '9') ++i;
    if (i == digitsStart) return std::nullopt;
    errno = 0;
    const long long value = std::strtoll(word.substr(0, i).c_str(), nullptr, 10);
    if (errno == ERANGE || value <= 0 || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

void applyDefaults(RunSettings& settings) {
    settings.inputFormat = InputFormat::RowAndColumnNames;
    settings.preprocess = false;
    settings.distance = DistanceMetric::Euclidean;
    settings.linkage = Linkage::Average;
    settings.notation = TreeNotation::NewHampshire;
    settings.sampleSize = 500;
}

std::string reviewScreenText(const RunSettings& settings) {
    const auto line = [](const char* label, const std::string& value) {
        return label + value + "\n";
    };
    const RunSettings& s = settings;
    std::string screen = "\n\nHere are the settings:\n";
    screen += line("(0) The name of expression file is : ", s.expressionFileName);
    if (s.withErrorFile)
        screen += line("(1) The name of error file is      : ", s.errorFileName);
    else
        screen += line("(1) The Scale of Error is          : ", defaultFloatText(s.scaleOfError));
    screen += line("(2) The format of input file is    : ", keywordOf(InputFormats, s.inputFormat));
    screen += line("(3) The sample size is             : ", std::to_string(s.sampleSize));
    screen += line("(4) Preprocess data                : ", preprocessText(s));
    screen += line("(5) Preprocess data by             : ", preprocessWayText(s));
    screen += line("(6) Distance method is             : ", keywordOf(DistanceMetrics, s.distance));
    screen += line("(7) Clustering Method is           : ", keywordOf(Linkages, s.linkage));
    screen += line("(8) The name of output file is     : ", s.outputFileName);
    screen += line("(9) The format of output file is   : ", keywordOf(TreeNotations, s.notation));
    screen += "\n";
    return screen;
}

DialogueStatus collectRunSettings(Console& console, RunSettings& settings, ReportFile& report) {
    const bool answered = askExpressionFile(console, settings) && askErrorSource(console, settings) &&
                          askOutputFile(console, settings, report);
    if (!answered) return DialogueStatus::InputEnded;
    applyDefaults(settings);
    return DialogueStatus::Completed;
}

DialogueStatus reviewRunSettings(Console& console, RunSettings& settings, ReportFile& report) {
    for (;;) {
        console.out << reviewScreenText(settings);
        console.out << "Do you want to accept these options? (Yes or No)\n"
                    << "Type Y or N or the number (0-9) to change the option:\n\n";
        auto key = readKeystroke(console);
        if (!key) return DialogueStatus::InputEnded;
        if (isYes(*key)) return DialogueStatus::Completed;
        while (!isDigit(*key)) {
            console.out << "\nPlease select the option you want to change(0-9)!\n";
            key = readKeystroke(console);
            if (!key) return DialogueStatus::InputEnded;
            if (!isDigit(*key)) console.out << "The input is illegal!\n";
        }
        if (!changeOption(console, settings, report, *key)) return DialogueStatus::InputEnded;
    }
}
