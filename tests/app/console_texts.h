#pragma once
// The console texts of the dialogue and the run, written out literally, and
// builders for the expected transcripts.

#include <string>

namespace console_texts {

// A small matrix with row and column names, and an error file for it.
inline const std::string NamedMatrix = "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n";
inline const std::string NamedErrors = "3 2\nc1 c2\nr1 0.1 0.2\nr2 0.3 0.4\nr3 0.5 0.6\n";
inline const std::string ExpressionPrompt = "\nPlease input the name of expression file:\n";
inline const std::string ErrorQuestion = "\nDo you have the error file?\nType Y if have, otherwise type N or other keys:\n";
inline const std::string ErrorFilePrompt = "\nPlease input the name of error file:\n";
inline const std::string ScalePrompt = "\nPlease input the scale of error:\n";
inline const std::string OutputPrompt = "\nPlease input the name of output file:\n";
inline const std::string SelectOption = "\nPlease select the option you want to change(0-9)!\n";
inline const std::string Illegal = "This input is illegal!\n";
inline const std::string RunStarted = "\n\nNow program is running......";
inline const std::string RunCompleted = RunStarted + "complete!\n";
// The usual first pass: expr.txt, no error file, scale 0.1, out.txt (new).
inline const std::string FirstPassInput = "expr.txt\nn\n0.1\nout.txt\n";
inline const std::string FirstPassTranscript = ExpressionPrompt + ErrorQuestion + "n\n" + ScalePrompt + OutputPrompt;

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

inline std::string reviewScreen(const Screen& s) {
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

}  // namespace console_texts
