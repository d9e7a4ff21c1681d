#include "run/analysis_run.h"

#include <cstdio>
#include <iostream>
#include <new>
#include <stdexcept>

#include "run/run_inputs_table.h"
#include "run/side_outputs.h"
#include "run/stages.h"
#include "data/matrix_file.h"
#include "data/safe_text.h"

namespace {

std::string dimensionsText(MatrixDimensions d) {
    return std::to_string(d.rowCount) + " rows and " + std::to_string(d.columnCount) + " columns";
}

// A negative standard deviation is used as given (the noise then has its
// size); it is most likely a mistake, so the run says where the first is.
void warnAboutNegativeDeviations(const std::string& fileName, const DataMatrix& errors) {
    long long count = 0;
    std::size_t first = 0;
    for (std::size_t i = errors.values.size(); i-- > 0;)
        if (errors.values[i] < 0) ++count, first = i;
    if (count == 0) return;
    const auto columns = static_cast<std::size_t>(errors.columnCount);
    std::cerr << "Warning: the error file " << printable(fileName) << " holds " << count
              << (count == 1 ? " negative standard deviation" : " negative standard deviations")
              << ", the first in row " << first / columns + 1 << ", column "
              << first % columns + 1 << "; the noise is drawn with their size.\n";
}

// Reads one matrix; 0, or the exit status after the message.
int readOne(const std::string& fileName, const RunInputs& layout, const RunConsole& console,
            MatrixFileResult& read) {
    read = readMatrixFile(fileName, layout.hasRowNames, layout.hasColumnNames, console.commandLine);
    if (read.status == MatrixFileStatus::Read) {
        if (!read.warning.empty()) std::cerr << read.warning;
        return 0;
    }
    if (read.status == MatrixFileStatus::CannotOpen && console.commandLine) {
        std::cerr << "noiseclust: " << read.reason << "\n";
        return InputRefusedStatus;
    }
    if (read.status == MatrixFileStatus::CannotOpen) std::cout << read.message << std::flush;
    else std::cerr << read.message;
    return 1;
}

// Ends a failed run: the report keeps what was written so far.
int failRun(ReportFile& report, int status) {
    if (const auto problem = report.close()) std::cerr << *problem;
    return status;
}

}  // namespace

void announceRunStart(const RunConsole& console) {
    if (console.showTexts) std::cout << "\n\nNow program is running......" << std::flush;
}

void announceRunEnd(const RunConsole& console) {
    if (console.showTexts) std::cout << "complete!\n" << std::flush;
}

int readRunInputs(const RunSettings& settings, RunInputs& inputs, const RunConsole& console) {
    if (settings.tableInput)
        return readTableInputs(settings, inputs) && arrangeRunInputs(settings, inputs) ? 0 : 1;
    inputs.hasRowNames = hasRowNames(settings.inputFormat);
    inputs.hasColumnNames = hasColumnNames(settings.inputFormat);
    MatrixFileResult expression, errors;
    if (const int status = readOne(settings.expressionFileName, inputs, console, expression))
        return status;
    const MatrixDimensions dimensions{expression.matrix.rowCount, expression.matrix.columnCount};
    if (settings.withErrorFile) {
        if (const int status = readOne(settings.errorFileName, inputs, console, errors))
            return status;
        const MatrixDimensions errorDimensions{errors.matrix.rowCount, errors.matrix.columnCount};
        if (!(errorDimensions == dimensions)) {
            std::cerr << "The error file " << printable(settings.errorFileName) << " has "
                      << dimensionsText(errorDimensions) << ", but the expression file "
                      << printable(settings.expressionFileName) << " has "
                      << dimensionsText(dimensions) << "!\n";
            return 1;
        }
        warnAboutNegativeDeviations(settings.errorFileName, errors.matrix);
    }
    inputs.rawMatrix = std::move(expression.matrix);
    // The names left are those of the last file read.
    MatrixFileResult& last = settings.withErrorFile ? errors : expression;
    inputs.rowNames = std::move(last.rowNames);
    inputs.columnNames = std::move(last.columnNames);
    if (settings.withErrorFile) {
        inputs.errorMatrix = std::move(errors.matrix);
        inputs.hasErrorMatrix = true;
    }
    return arrangeRunInputs(settings, inputs) ? 0 : 1;
}

namespace {

std::string fixedSixDecimals(double value) {
    char text[400];  // the widest double in "%f" takes 317 characters
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

}  // namespace

std::string reportHeaderText(const RunSettings& settings, int rowCount, int columnCount) {
    std::string header = "Here are the settings:\n";
    header += "The name of expression file is : " + settings.expressionFileName + "\n";
    if (settings.withErrorFile)
        header += "The name of error file is      : " + settings.errorFileName + "\n";
    else
        header += "The Scale of Error is          : " + fixedSixDecimals(settings.scaleOfError) + "\n";
    header += "The format of input file is    : " +
              std::string(keywordOf(InputFormats, settings.inputFormat)) + "\n";
    header += "The sample size is             : " + std::to_string(settings.sampleSize) + "\n";
    header += "Preprocess data                : " + preprocessText(settings) + "\n";
    header += "Preprocess data by             : " + preprocessWayText(settings) + "\n";
    header += "Distance method                : " +
              std::string(keywordOf(DistanceMetrics, settings.distance)) + "\n";
    header += "Hierarchical Clustering Method : " +
              std::string(keywordOf(Linkages, settings.linkage)) + "\n";
    header += "The name of output file is     : " + settings.outputFileName + "\n";
    header += "The format of output file is   : " +
              std::string(keywordOf(TreeNotations, settings.notation)) + "\n\n";
    header += "\n";
    header += "The number of rows of the data is : " + std::to_string(rowCount) + "\n";
    header += "The number of columns of the data is : " + std::to_string(columnCount) + "\n\n\n";
    return header;
}

int runFromInputs(const RunSettings& settings, RunInputs& inputs, ReportFile& report,
                  StagesFunction stages, RunResults& results) {
    report.write(
        reportHeaderText(settings, inputs.rawMatrix.rowCount, inputs.rawMatrix.columnCount));
    if (report.failed()) return failRun(report, 1);
    if (const int status = stages(settings, inputs, report, results); status != 0)
        return failRun(report, status);
    if (const auto problem = report.close()) {
        std::cerr << *problem;
        return 1;
    }
    return 0;
}

int runAnalysis(const RunSettings& settings, ReportFile& report, StagesFunction stages) {
    const RunConsole console;
    announceRunStart(console);
    RunInputs inputs;
    if (const int status = readRunInputs(settings, inputs, console)) return failRun(report, status);
    RunResults results;
    if (const int status = runFromInputs(settings, inputs, report, stages, results)) return status;
    if (!writeSideOutputs({settings, inputs, results})) return 1;
    announceRunEnd(console);
    return 0;
}
