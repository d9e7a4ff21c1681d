// The console dialogue: exact transcripts of the first pass, every change
// dialogue and every refusal, and the end of the input.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

using testing_support::readFile;

namespace {

// A small matrix with row and column names, and an error file for it.
const std::string NamedMatrix = "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n";
const std::string NamedErrors = "3 2\nc1 c2\nr1 0.1 0.2\nr2 0.3 0.4\nr3 0.5 0.6\n";
const std::string ExpressionPrompt = "\nPlease input the name of expression file:\n";
const std::string ErrorQuestion = "\nDo you have the error file?\nType Y if have, otherwise type N or other keys:\n";
const std::string ErrorFilePrompt = "\nPlease input the name of error file:\n";
const std::string ScalePrompt = "\nPlease input the scale of error:\n";
const std::string OutputPrompt = "\nPlease input the name of output file:\n";
const std::string SelectOption = "\nPlease select the option you want to change(0-9)!\n";
const std::string Illegal = "This input is illegal!\n";
const std::string RunStarted = "\n\nNow program is running......";
const std::string RunCompleted = RunStarted + "complete!\n";
// The usual first pass: expr.txt, no error file, scale 0.1, out.txt (new).
const std::string FirstPassInput = "expr.txt\nn\n0.1\nout.txt\n";
const std::string FirstPassTranscript = ExpressionPrompt + ErrorQuestion + "n\n" + ScalePrompt + OutputPrompt;

// The values of one review screen; the defaults are those of the usual first pass.
struct Screen {
    std::string expression = "expr.txt";
    std::string errorLine = "(1) The Scale of Error is          : 0.1";
    std::string inputFormat = "has row names, has column names";
    std::string sampleSize = "500";
    std::string preprocess = "No";
    std::string preprocessBy = "None, None";
    std::string distance = "euclidean";
    std::string clustering = "average";
    std::string outputFormat = "New_Hampshire";
};

std::string reviewScreen(const Screen& s) {
    return "\n\nHere are the settings:\n(0) The name of expression file is : " + s.expression + "\n" + s.errorLine +
           "\n(2) The format of input file is    : " + s.inputFormat +
           "\n(3) The sample size is             : " + s.sampleSize +
           "\n(4) Preprocess data                : " + s.preprocess +
           "\n(5) Preprocess data by             : " + s.preprocessBy +
           "\n(6) Distance method is             : " + s.distance +
           "\n(7) Clustering Method is           : " + s.clustering +
           "\n(8) The name of output file is     : out.txt\n(9) The format of output file is   : " +
           s.outputFormat +
           "\n\nDo you want to accept these options? (Yes or No)\n"
           "Type Y or N or the number (0-9) to change the option:\n\n";
}

const std::string FormatMenu =
    "\nPlease select one of the following formats of the input file:\n"
    "\t1: has row names, has column names\n\t2: has row names, no column names\n"
    "\t3: no row names, has column names\n\t4: no row names, no column names\n";
const std::string SamplePrompt = "\nPlease input the sample size:\n";
const std::string SampleRefused = "The sample size must be a positive integer!\n";
const std::string ScaleRefused = "The scale of error must be a positive number!\n";
const std::string PreprocessQuestion = "\nDo you want to preprocess the data (\"Y\" or \"N\") ?\n";
const std::string DirectionMenu = "\nDo you want to preprocess data by:\n\t1: by row\n\t2: by column\n";
const std::string MethodItems =
    "\t1: logarithmic transformation\n\t2: normalization\n\t3: mean center\n"
    "\t4: median center\n\t5: maximum normalization\n";
const std::string MethodMenuOption4 =
    "\nPlease select one of the following methods to preprocess data:\n" + MethodItems;
const std::string MethodMenuOption5 = "\nPlease select the following methods to preprocess data:\n" + MethodItems;
const std::string DistanceMenu =
    "\nPlease select one of the following methods to compute the pairwise distance: \n"
    "\t1: correlation coefficient\n\t2: euclidean\n\t3: maximum\n\t4: manhattan\n\t5: binary\n";
const std::string ClusteringMenu =
    "\nPlease select one of the following methods to clustering objects:\n"
    "\t1: average\n\t2: compact(complete linkage)\n\t3: connected(single linkage)\n";
const std::string OutputFormatMenu =
    "\nPlease select one of the following formats of the output file:\n"
    "\t1: S-plus format\n\t2: New Hampshire format\n";

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

Screen with(std::string Screen::*field, const std::string& value, std::string Screen::*other = nullptr,
            const std::string& otherValue = "") {
    Screen s;
    s.*field = value;
    if (other) s.*other = otherValue;
    return s;
}

const std::string ErrorFileLine = "(1) The name of error file is      : err.txt";
const Screen Preprocessed = with(&Screen::preprocess, "Yes", &Screen::preprocessBy, "column, mediancenter");

class DialogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("expr.txt", NamedMatrix);
        dir.write("expr2.txt", NamedMatrix);
        dir.write("err.txt", NamedErrors);
    }
    testing_support::ProcessResult run(const std::string& input) {
        return testing_support::runProgram({}, input, dir.path());
    }
    testing_support::TempDir dir;
};

// One change dialogue after the usual first pass, then acceptance.
struct ChangeCase {
    const char* name;
    std::string answers;     // after the first review screen, before the final 'Y'
    std::string transcript;  // what the dialogue writes for these answers
    Screen finalScreen;
    std::string afterAccept = RunCompleted;
    int exitStatus = 0;
};

void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }

const std::vector<ChangeCase> ChangeCases{
    {"ExpressionFileRefusals", "0\nmissing.txt\nout.txt\n./out.txt\nexpr2.txt\n",
     "0\n" + ExpressionPrompt + "Can not open the expression file!\n" + ExpressionPrompt +
         repeated("The expression file cannot be same as output file!\n" + ExpressionPrompt, 2),
     with(&Screen::expression, "expr2.txt")},
    {"ErrorFileRefusals", "1\ny\nexpr.txt\nout.txt\nnothere.txt\nerr.txt\n",
     "1\n" + ErrorQuestion + "y\n" + ErrorFilePrompt + "The error file cannot be same as expression file!\n" +
         ErrorFilePrompt + "The error file cannot be same as output file!\n" + ErrorFilePrompt +
         "Can not open the error file!\n" + ErrorFilePrompt,
     with(&Screen::errorLine, ErrorFileLine)},
    {"ScaleRefusalsAndPrefix", "1\nn\n0\n-1\nabc\ninf\nnan\n1e999\n0.5abc\n",
     "1\n" + ErrorQuestion + "n\n" + repeated(ScalePrompt + ScaleRefused, 6) + ScalePrompt,
     with(&Screen::errorLine, "(1) The Scale of Error is          : 0.5")},
    {"ScaleInDefaultFloatForm", "1\nN\n0.000012345678\n", "1\n" + ErrorQuestion + "N\n" + ScalePrompt,
     with(&Screen::errorLine, "(1) The Scale of Error is          : 1.23457e-05")},
    // The named test file does not fit this layout: the run refuses it.
    {"InputFormatMenu", "2\n7\n3\n", "2\n" + FormatMenu + "7\n" + Illegal + FormatMenu + "3\n",
     with(&Screen::inputFormat, "no row names, has column names"), RunStarted, 1},
    {"SampleSizeRefusalsAndPrefix", "3\n0\n-3\nx\n2147483648\n2.9\n",
     "3\n" + repeated(SamplePrompt + SampleRefused, 4) + SamplePrompt, with(&Screen::sampleSize, "2")},
    {"PreprocessingOn", "4\ny\n3\n2\n9\n4\n",
     "4\n" + PreprocessQuestion + "y\n" + DirectionMenu + Illegal + DirectionMenu + MethodMenuOption4 + "9\n" +
         Illegal + MethodMenuOption4 + "4\n",
     Preprocessed},
    // The way changed under option 5, then preprocessing turned off again.
    {"Option5ChangesWayAndOption4TurnsItOff", "4\ny\n1\n1\n5\n3\n2\n6\n4\n4\nx\n",
     "4\n" + PreprocessQuestion + "y\n" + DirectionMenu + MethodMenuOption4 + "1\n" +
         reviewScreen(with(&Screen::preprocess, "Yes", &Screen::preprocessBy, "row, log")) + "5\n" +
         DirectionMenu + "3\n" + Illegal + DirectionMenu + "2\n" + MethodMenuOption5 + "6\n" + Illegal +
         MethodMenuOption5 + "4\n" + reviewScreen(Preprocessed) + "4\n" + PreprocessQuestion + "x\n",
     Screen{}},
    {"Option5BeforeOption4", "5\n", "5\nYou must change the option 4 first!\n", Screen{}},
    {"DistanceMenu", "6\n0\n1\n", "6\n" + DistanceMenu + "0\n" + Illegal + DistanceMenu + "1\n",
     with(&Screen::distance, "correlation")},
    {"ClusteringMenu", "7\n4\n2\n", "7\n" + ClusteringMenu + "4\n" + Illegal + ClusteringMenu + "2\n",
     with(&Screen::clustering, "compact")},
    {"OutputFormatMenu", "9\n3\n1\n", "9\n" + OutputFormatMenu + "3\n" + Illegal + OutputFormatMenu + "1\n",
     with(&Screen::outputFormat, "S_Plus")},
    {"OldErrorFileNameIsStillRefusedAfterSwitchingToAScale", "1\ny\nerr.txt\n1\nn\n0.2\n0\nerr.txt\nexpr2.txt\n",
     "1\n" + ErrorQuestion + "y\n" + ErrorFilePrompt + reviewScreen(with(&Screen::errorLine, ErrorFileLine)) +
         "1\n" + ErrorQuestion + "n\n" + ScalePrompt +
         reviewScreen(with(&Screen::errorLine, "(1) The Scale of Error is          : 0.2")) + "0\n" +
         ExpressionPrompt + "The expression file cannot be same as error file!\n" + ExpressionPrompt,
     with(&Screen::expression, "expr2.txt", &Screen::errorLine, "(1) The Scale of Error is          : 0.2")},
    {"NotAcceptedAsksForADigit", "N\nY\nq\n6\n3\n",
     "N\n" + SelectOption + "Y\nThe input is illegal!\n" + SelectOption + "q\nThe input is illegal!\n" +
         SelectOption + "6\n" + DistanceMenu + "3\n",
     with(&Screen::distance, "maximum")},
};

class ChangeDialogueTest : public DialogueTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeDialogueTest, WritesExactTranscript) {
    const ChangeCase& c = GetParam();
    const auto result = run(FirstPassInput + c.answers + "Y\n");
    EXPECT_EQ(result.standardOutput, FirstPassTranscript + reviewScreen(Screen{}) + c.transcript +
                                         reviewScreen(c.finalScreen) + "Y\n" + c.afterAccept);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << result.standardError;
    EXPECT_EQ(readFile(dir.file("expr.txt")), NamedMatrix);
    EXPECT_EQ(readFile(dir.file("err.txt")), NamedErrors);
}

INSTANTIATE_TEST_SUITE_P(EveryOption, ChangeDialogueTest, ::testing::ValuesIn(ChangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogueTest, FirstPassRefusalsComeBeforeTheDefaults) {
    dir.write("Expr.txt", NamedErrors);
    const auto result = run("missing.txt\nexpr.txt\nY\nexpr.txt\nExpr.txt\nexpr.txt\n./Expr.txt\nout.txt\nY\n");
    EXPECT_EQ(result.standardOutput,
              ExpressionPrompt + "Can not open the expression file!\n" + ExpressionPrompt + ErrorQuestion + "Y\n" +
                  ErrorFilePrompt + "The error file cannot be same as expression file!\n" + ErrorFilePrompt +
                  OutputPrompt + "The output file cannot be same as expression file!\n" + OutputPrompt +
                  "The output file cannot be same as error file!\n" + OutputPrompt +
                  reviewScreen(with(&Screen::errorLine, "(1) The name of error file is      : Expr.txt")) +
                  "Y\n" + RunCompleted);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(readFile(dir.file("Expr.txt")), NamedErrors);
}

TEST_F(DialogueTest, ExistingOutputIsKeptUnlessReplaceIsConfirmed) {
    const std::string replace = "This file has been exits! Do you want to replace it? ( Y or N )\n";
    dir.write("out.txt", "keep me\n");
    const auto declined = run("expr.txt\nn\n0.1\nout.txt\nn\n");
    EXPECT_EQ(declined.standardOutput, FirstPassTranscript + replace + "n\n" + OutputPrompt);
    EXPECT_EQ(declined.exitStatus, 1);
    EXPECT_EQ(readFile(dir.file("out.txt")), "keep me\n");
    const auto confirmed = run("expr.txt\nn\n0.1\nout.txt\ny\ny\n");
    EXPECT_EQ(confirmed.standardOutput,
              FirstPassTranscript + replace + "y\n" + reviewScreen(Screen{}) + "y\n" + RunCompleted);
    EXPECT_EQ(readFile(dir.file("out.txt")).rfind("Here are the settings:\n", 0), 0u);
}

// The input ends somewhere before the settings are accepted: one message on
// standard error and exit status 1, without looping and without a run.
class EndOfInputTest : public DialogueTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(EndOfInputTest, EndsTheDialogueWithOneMessage) {
    const auto result = run(GetParam());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "The input has ended before the options were accepted!\n");
    EXPECT_EQ(result.standardOutput.find("Now program is running"), std::string::npos);
    EXPECT_LT(result.standardOutput.size(), 8000u);
}

INSTANTIATE_TEST_SUITE_P(AtEveryKindOfQuestion, EndOfInputTest,
                         ::testing::Values("", "missing.txt\n", "expr.txt\n", "expr.txt\nn\n", "expr.txt\ny\n",
                                           "expr.txt\nn\n0\n", FirstPassInput, FirstPassInput + "N\n",
                                           FirstPassInput + "3\n", FirstPassInput + "4\ny\n",
                                           FirstPassInput + "4\ny\n1\n", FirstPassInput + "2\n8\n",
                                           FirstPassInput + "8\nout.txt\n"));

}  // namespace
