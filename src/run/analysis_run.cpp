#include "run/analysis_run.h"

#include <cstdio>
#include <iostream>
#include <new>
#include <stdexcept>

#include "run/run_inputs_table.h"
#include "run/side_outputs.h"
#include "run/stages.h"
#include "data/matrix_file.h"

namespace {

// Writes the failure message where it belongs: the fixed text of a file that
// cannot be opened to standard output, everything else to standard error.
void reportReadFailure(MatrixFileStatus status, const std::string& message) {
    if (status == MatrixFileStatus::CannotOpen) std::cout << message << std::flush;
    else std::cerr << message;
}

std::string dimensionsText(MatrixDimensions d) {
    return std::to_string(d.rowCount) + " rows and " + std::to_string(d.columnCount) + " columns";
}

// Ends a failed run: the report keeps what was written so far.
int failRun(ReportFile& report) {
    if (const auto problem = report.close()) std::cerr << *problem;
    return 1;
}

// Reads the matrices of the run; false after writing the failure message.
bool readInputs(const RunSettings& settings, RunInputs& inputs) {
    const bool withErrorFile = settings.withErrorFile;
    const auto dimensions = readMatrixDimensions(settings.expressionFileName);
    if (dimensions.status != MatrixFileStatus::Read) {
        reportReadFailure(dimensions.status, dimensions.message);
        return false;
    }
    // The error file must match the expression file before anything of it is read.
    if (withErrorFile) {
        const auto errorDimensions = readMatrixDimensions(settings.errorFileName);
        if (errorDimensions.status != MatrixFileStatus::Read) {
            reportReadFailure(errorDimensions.status, errorDimensions.message);
            return false;
        }
        if (!(errorDimensions.dimensions == dimensions.dimensions)) {
            std::cerr << "The error file " << settings.errorFileName << " has "
                      << dimensionsText(errorDimensions.dimensions) << ", but the expression file "
                      << settings.expressionFileName << " has "
                      << dimensionsText(dimensions.dimensions) << "!\n";
            return false;
        }
    }

    auto readOne = [&](const std::string& fileName, DataMatrix& target) {
        auto read = readMatrixFile(fileName, inputs.hasRowNames, inputs.hasColumnNames);
        if (read.status != MatrixFileStatus::Read) {
            reportReadFailure(read.status, read.message);
            return false;
        }
        if (!(MatrixDimensions{read.matrix.rowCount, read.matrix.columnCount} ==
              dimensions.dimensions)) {
            std::cerr << "The file " << fileName << " changed while it was being read!\n";
            return false;
        }
        if (!read.warning.empty()) std::cerr << read.warning;
        target = std::move(read.matrix);
        inputs.rowNames = std::move(read.rowNames);
        inputs.columnNames = std::move(read.columnNames);
        return true;
    };
    if (!readOne(settings.expressionFileName, inputs.rawMatrix)) return false;
    try {
        inputs.workingMatrix = inputs.rawMatrix;
    } catch (const std::bad_alloc&) {
        std::cerr << "There is not enough memory for a matrix of "
                  << dimensionsText(dimensions.dimensions) << "!\n";
        return false;
    }
    if (withErrorFile) {
        if (!readOne(settings.errorFileName, inputs.errorMatrix)) return false;
        inputs.hasErrorMatrix = true;
    }
    return true;
}

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

int runAnalysis(const RunSettings& settings, ReportFile& report, StagesFunction stages) {
    std::cout << "\n\nNow program is running......" << std::flush;
    RunInputs inputs;
    inputs.hasRowNames = hasRowNames(settings.inputFormat);
    inputs.hasColumnNames = hasColumnNames(settings.inputFormat);
    if (!readRunInputs(settings, inputs, readInputs)) return failRun(report);

    report.write(
        reportHeaderText(settings, inputs.rawMatrix.rowCount, inputs.rawMatrix.columnCount));
    if (report.failed()) return failRun(report);

    RunResults results;
    if (const int status = stages(settings, inputs, report, results); status != 0) {
        if (const auto problem = report.close()) std::cerr << *problem;
        return status;
    }
    if (const auto problem = report.close()) {
        std::cerr << *problem;
        return 1;
    }
    if (!writeSideOutputs({settings, inputs, results})) return 1;
    std::cout << "complete!\n" << std::flush;
    return 0;
}
