// Regression pins: whole reports of a few realistic runs, compared byte for
// byte with the files in tests/app/expected/.
//
// A change that alters a pinned report on purpose is re-pinned with
//   NOISECLUST_UPDATE_PINS=1 build/tests/app_tests --gtest_filter='Pinned*'
// and the new files are reviewed like code.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

using testing_support::readFile;
using testing_support::sourceDir;

namespace {

const std::filesystem::path ExpectedDir = sourceDir() / "tests" / "app" / "expected";
const std::string Golub = readFile(sourceDir() / "examples" / "golub-top40.txt");

// The first 15 rows of the bundled Golub matrix in one of the four layouts:
// 1 names of rows and columns, 2 of rows only, 3 of columns only, 4 none.
std::string golub15(int layout = 1) {
    std::istringstream lines(Golub);
    std::string line, text;
    for (int k = 0; k < 17 && std::getline(lines, line); ++k) {
        if (k == 0) line = "15" + line.substr(line.find(' '));
        else if (k == 1 && layout % 2 == 0) continue;
        else if (k > 1 && layout >= 3) line.erase(0, line.find('\t') + 1);
        text += line + "\n";
    }
    return text;
}

struct PinCase {
    std::string name;  // the pinned report is expected/<name>.txt
    std::vector<std::pair<std::string, std::string>> files;  // name, text
    std::string answers;
    std::string warnings = "";  // standard error, exactly
    std::string report = "out.txt";
    bool keepsTenSamples = false;  // the pin keeps the first 10 samples only
};

void PrintTo(const PinCase& c, std::ostream* out) { *out << c.name; }

// The bundled example as run-example.sh runs it: 40 genes, 500 samples. Its
// pin keeps the first 10 samples; the whole report is pinned by its FNV-1a
// fingerprint in expected/<name>.fnv1a64.
const PinCase Example{"golub-top40-example", {{"examples/golub-top40.txt", Golub}},
                      readFile(sourceDir() / "examples" / "answers.txt"), "", "out/golub-top40-report.txt", true};

const std::string NonFinite = "noiseclust: warning: infinite or undefined distances involve ",
                  StillBuilt = "; the trees were still built, with those distances as heights\n";

std::vector<PinCase> pinCases() {
    const std::pair<std::string, std::string> golub{"golub15.txt", golub15()},
        expr{"expr.txt", readFile(ExpectedDir / "biobase-expr-12.txt")},
        se{"se.txt", readFile(ExpectedDir / "biobase-se-12.txt")};
    return {
        Example,
        {"golub15-splus", {golub}, "golub15.txt\nn\n0.1\nout.txt\n3\n25\n9\n1\nY\n"},
        {"biobase12-error-file", {expr, se}, "expr.txt\ny\nse.txt\nout.txt\n3\n30\nY\n"},
        {"golub15-mediancenter-by-column", {golub}, "golub15.txt\nn\n0.2\nout.txt\n3\n25\n4\ny\n2\n4\nY\n"},
        {"biobase12-correlation-compact", {expr, se}, "expr.txt\ny\nse.txt\nout.txt\n3\n25\n6\n1\n7\n2\n9\n1\nY\n"},
        {"biobase12-binary-connected", {expr}, "expr.txt\nn\n0.05\nout.txt\n3\n25\n6\n5\n7\n3\nY\n"},
        // Every other layout, preprocessing method and distance once, in the header too.
        {"golub15-rownames-normal-maximum", {{"g.txt", golub15(2)}}, "g.txt\nn\n0.1\nout.txt\n2\n2\n3\n25\n4\ny\n1\n2\n6\n3\nY\n"},
        {"golub15-columnnames-meancenter-manhattan", {{"g.txt", golub15(3)}},
         "g.txt\nn\n0.1\nout.txt\n2\n3\n3\n25\n4\ny\n2\n3\n6\n4\nY\n"},
        {"golub15-nonames-max", {{"g.txt", golub15(4)}}, "g.txt\nn\n0.1\nout.txt\n2\n4\n3\n25\n4\ny\n1\n5\nY\n"},
        {"golub15-mediancenter-by-row", {golub}, "golub15.txt\nn\n0.1\nout.txt\n3\n25\n4\ny\n1\n4\nY\n"},
        // Values and distances that are not finite: a complete report and one
        // warning of each kind. Row 2 stays all zeros under a scale, so its
        // correlations are not numbers; a scale of 1.5 pushes 18 of the 60
        // values of five samples to zero or below (counted with an independent
        // transcription of the random stream), whose logarithms are not finite.
        {"constant-row-correlation", {{"expr.txt", "4 3\n1 2 3\n0 0 0\n3 1 2\n2 2 5\n"}},
         "expr.txt\nn\n0.1\nout.txt\n2\n4\n3\n5\n6\n1\nY\n", NonFinite + "row(s) 2" + StillBuilt},
        {"logarithms-below-zero", {{"expr.txt", "4 3\n0.05 2 3\n0.2 0.1 0.3\n3 1 2\n2 2 5\n"}},
         "expr.txt\nn\n1.5\nout.txt\n2\n4\n3\n5\n4\ny\n1\n1\nY\n",
         "noiseclust: warning: 18 value(s) became infinite or not a number after preprocessing or resampling, "
         "first in resampled data set 1, row 1\n" + NonFinite + "row(s) 1, 2, 3, 4" + StillBuilt},
        // Tokens after the last row are ignored, with a warning.
        {"trailing-tokens", {{"expr.txt", "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\nr4 7 8\n"}},
         "expr.txt\nn\n0.1\nout.txt\n3\n5\nY\n",
         "Warning: the matrix file expr.txt holds more tokens after its last row, from \"r4\" (line 6) on; they "
         "are ignored.\n"},
    };
}

std::string runCase(const PinCase& c) {
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.file("examples"));
    std::filesystem::create_directories(dir.file("out"));
    for (const auto& [name, text] : c.files) dir.write(name, text);
    const auto result = testing_support::runProgram({}, c.answers, dir.path());
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, c.warnings);
    return readFile(dir.file(c.report));
}

std::string fingerprint(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    char hex[18];
    std::snprintf(hex, sizeof hex, "%016llx\n", static_cast<unsigned long long>(hash));
    return hex;
}

class PinnedReport : public ::testing::TestWithParam<PinCase> {};

TEST_P(PinnedReport, MatchesItsPinnedFile) {
    const PinCase& c = GetParam();
    const std::string text = runCase(c);
    std::string pinned = text;
    const auto eleventh = text.find("The 11 sample tree with distance is:\n");
    if (c.keepsTenSamples && eleventh != std::string::npos)
        pinned = text.substr(0, eleventh) + text.substr(text.find("\n\nThe original tree with confidence values is:\n"));
    const auto pinFile = ExpectedDir / (c.name + ".txt"), fingerprintFile = ExpectedDir / (c.name + ".fnv1a64");
    if (std::getenv("NOISECLUST_UPDATE_PINS")) {
        std::ofstream(pinFile, std::ios::binary) << pinned;
        if (pinned != text) std::ofstream(fingerprintFile) << fingerprint(text);
        GTEST_SKIP() << "pinned " << pinFile;
    }
    EXPECT_EQ(pinned, readFile(pinFile));
    if (pinned != text) {
        EXPECT_EQ(fingerprint(text), readFile(fingerprintFile));
    }
}

INSTANTIATE_TEST_SUITE_P(Pinned, PinnedReport, ::testing::ValuesIn(pinCases()), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name) ch = ch == '-' ? '_' : ch;
    return name;
});

}  // namespace
