// Whole runs whose values or distances are not finite: a complete report,
// and one warning of each kind on standard error.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

TEST(EndToEnd, NonFiniteDataGiveACompleteReportAndOneWarningOfEachKind) {
    const struct {
        const char* what;
        std::string expression, answers;
        std::vector<std::string> warnings;  // each line of standard error starts with one, in order
    } cases[] = {
        // Row 2 stays all zeros under a scale of error: its correlation with
        // every other row is not a number, and only row 2 is named.
        {"constant row under correlation", "4 3\n1 2 3\n0 0 0\n3 1 2\n2 2 5\n",
         "expr.txt\nn\n0.1\nout.txt\n2\n4\n3\n5\n6\n1\nY\n",
         {"noiseclust: warning: infinite or undefined distances involve row(s) 2; "}},
        // A scale of error of 1.5 pushes 18 of the 60 values of five samples to
        // zero or below (counted with an independent transcription of the
        // random stream and the normal deviates); their logarithms are not finite.
        {"logarithms of values below zero", "4 3\n0.05 2 3\n0.2 0.1 0.3\n3 1 2\n2 2 5\n",
         "expr.txt\nn\n1.5\nout.txt\n2\n4\n3\n5\n4\ny\n1\n1\nY\n",
         {"noiseclust: warning: 18 value(s) became infinite or not a number after "
          "preprocessing or resampling, first in resampled data set 1, row 1\n",
          "noiseclust: warning: infinite or undefined distances"}},
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        dir.write("expr.txt", c.expression);
        const auto result = testing_support::runProgram({}, c.answers, dir.path());
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        EXPECT_NE(testing_support::readFile(dir.file("out.txt")).find("The consensus tree is:\n("), std::string::npos)
            << c.what;
        const std::string& err = result.standardError;
        std::size_t at = 0;
        for (const std::string& warning : c.warnings) {
            EXPECT_EQ(err.compare(at, warning.size(), warning), 0) << err;
            at = err.find('\n', at) + 1;
        }
        EXPECT_EQ(at, err.size()) << err;
    }
}

}  // namespace
