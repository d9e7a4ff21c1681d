#pragma once
// The inputs of a run as the command line may ask for them: delimited tables
// instead of matrix files, rows with missing values left out, and the
// columns clustered instead of the rows.

#include "run/run_settings.h"
#include "run/stages.h"

// Reads the expression (and error) table of a run with --input-format table,
// leaving out rows with missing values when asked; false after a message
// that names the file, the line and the field at fault.
bool readTableInputs(const RunSettings& settings, RunInputs& inputs);

// Turns columns into rows when the columns are clustered and makes
// workingMatrix a copy of rawMatrix; false after a message.
bool arrangeRunInputs(const RunSettings& settings, RunInputs& inputs);
