// Regression pins: whole reports of a few realistic runs, compared byte for
// byte with the files in tests/app/expected/, and the same bytes whatever the
// number of worker threads.
//
// A change that alters a pinned report on purpose is re-pinned with
//   NOISECLUST_UPDATE_PINS=1 build/tests/app_tests --gtest_filter='Pinned*'
// and the new files are reviewed like code.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/report_reader.h"
#include "support/test_support.h"

using namespace report_reader;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::sourceDir;
using testing_support::TempDir;

namespace {

const std::filesystem::path ExpectedDir = sourceDir() / "tests" / "app" / "expected";

// The first rows of a matrix file of layout 1 (its counts line adjusted).
std::string firstRows(const std::string& matrix, int rows) {
    const std::size_t countsEnd = matrix.find('\n');
    std::size_t at = countsEnd + 1;
    for (int line = 0; line <= rows; ++line) at = matrix.find('\n', at) + 1;  // names, rows
    const std::string counts = matrix.substr(0, countsEnd);
    return std::to_string(rows) + counts.substr(counts.find(' ')) + "\n" +
           matrix.substr(countsEnd + 1, at - countsEnd - 1);
}

std::string golubRows(int rows) {
    return firstRows(readFile(sourceDir() / "examples" / "golub-top40.txt"), rows);
}

using Files = std::vector<std::pair<std::string, std::string>>;  // name, text

struct PinCase {
    std::string name;  // the pinned report is expected/<name>.txt
    Files files;
    std::string answers;
    std::string report = "out.txt";
    // Reports too large to keep whole keep only their first samples; the
    // whole report is pinned by its fingerprint in expected/<name>.fnv1a64.
    std::optional<std::size_t> keptSamples;
};

void PrintTo(const PinCase& c, std::ostream* out) { *out << c.name; }

PinCase pin(std::string name, Files files, std::string answers) {
    PinCase c;
    c.name = std::move(name);
    c.files = std::move(files);
    c.answers = std::move(answers);
    return c;
}

// The bundled example as run-example.sh runs it: 40 genes, 500 samples.
PinCase bundledExample() {
    PinCase c = pin("golub-top40-example",
                    {{"examples/golub-top40.txt",
                      readFile(sourceDir() / "examples" / "golub-top40.txt")}},
                    readFile(sourceDir() / "examples" / "answers.txt"));
    c.report = "out/golub-top40-report.txt";
    c.keptSamples = 10;
    return c;
}

std::vector<PinCase> pinCases() {
    const std::string biobase = readFile(ExpectedDir / "biobase-expr-12.txt");
    const std::string biobaseErrors = readFile(ExpectedDir / "biobase-se-12.txt");
    const Files golub15 = {{"golub15.txt", golubRows(15)}};
    const Files withErrors = {{"expr.txt", biobase}, {"se.txt", biobaseErrors}};
    return {
        bundledExample(),
        pin("golub15-splus", golub15, "golub15.txt\nn\n0.1\nout.txt\n3\n25\n9\n1\nY\n"),
        pin("biobase12-error-file", withErrors, "expr.txt\ny\nse.txt\nout.txt\n3\n30\nY\n"),
        pin("golub15-mediancenter-by-column", golub15,
            "golub15.txt\nn\n0.2\nout.txt\n3\n25\n4\ny\n2\n4\nY\n"),
        pin("biobase12-correlation-compact", withErrors,
            "expr.txt\ny\nse.txt\nout.txt\n3\n25\n6\n1\n7\n2\n9\n1\nY\n"),
        pin("biobase12-binary-connected", {{"expr.txt", biobase}},
            "expr.txt\nn\n0.05\nout.txt\n3\n25\n6\n5\n7\n3\nY\n"),
    };
}

std::string runCase(const PinCase& c) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("examples"));
    std::filesystem::create_directories(dir.file("out"));
    for (const auto& [name, text] : c.files) dir.write(name, text);
    const auto result = runProgram({}, c.answers, dir.path());
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    return readFile(dir.file(c.report));
}

std::string hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

class PinnedReport : public ::testing::TestWithParam<PinCase> {};

TEST_P(PinnedReport, MatchesItsPinnedFile) {
    const PinCase& c = GetParam();
    const std::string text = runCase(c);
    Report report = splitReport(text);
    ASSERT_EQ(report.problem, "");
    std::string pinned = text;
    if (c.keptSamples && report.samples.size() > *c.keptSamples) {
        report.samples.resize(*c.keptSamples);
        report.sampleNumbers.resize(*c.keptSamples);
        pinned = joinReport(report);
    }
    const auto pinFile = ExpectedDir / (c.name + ".txt");
    const auto fingerprintFile = ExpectedDir / (c.name + ".fnv1a64");
    if (std::getenv("NOISECLUST_UPDATE_PINS")) {
        std::ofstream(pinFile, std::ios::binary) << pinned;
        if (c.keptSamples) std::ofstream(fingerprintFile) << hex(fingerprint(text)) << "\n";
        GTEST_SKIP() << "pinned " << pinFile;
    }
    EXPECT_EQ(pinned, readFile(pinFile));
    if (c.keptSamples) {
        EXPECT_EQ(hex(fingerprint(text)) + "\n", readFile(fingerprintFile));
    }
}

INSTANTIATE_TEST_SUITE_P(Pinned, PinnedReport, ::testing::ValuesIn(pinCases()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });

// The workers cluster the samples side by side in batches whose size follows
// the thread count; the report must not depend on it.
TEST(PinnedReport, IsTheSameForAnyNumberOfThreads) {
    const PinCase example = bundledExample();
    const char* previous = std::getenv("NOISECLUST_THREADS");
    const std::string saved = previous ? previous : "";
    std::vector<std::string> reports;
    for (const char* threads : {"1", "2", "3"}) {
        ::setenv("NOISECLUST_THREADS", threads, 1);
        reports.push_back(runCase(example));
    }
    if (previous) ::setenv("NOISECLUST_THREADS", saved.c_str(), 1);
    else ::unsetenv("NOISECLUST_THREADS");
    ASSERT_FALSE(reports[0].empty());
    EXPECT_EQ(reports[1], reports[0]);
    EXPECT_EQ(reports[2], reports[0]);
}

}  // namespace
