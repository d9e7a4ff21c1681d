#pragma once
// The inputs of a run as the command line may ask for them: delimited tables
// instead of matrix files, rows with missing values left out, and the
// columns clustered instead of the rows.

#include "run/run_settings.h"
#include "run/stages.h"

// Reads the matrix files of a run into inputs; false after its message.
using MatrixInputsReader = bool (*)(const RunSettings&, RunInputs&);

// Reads tables with --input-format table, else the matrix files through
// readMatrices; then turns columns into rows when the columns are clustered
// and makes workingMatrix a copy of rawMatrix. False after writing a message
// that names the file, the line and the field at fault.
bool readRunInputs(const RunSettings& settings, RunInputs& inputs, MatrixInputsReader readMatrices);
