#include "run/run_inputs_table.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <new>
#include <optional>
#include <utility>

#include "data/input_text.h"
#include "data/matrix_reshape.h"
#include "data/safe_text.h"
#include "data/table_file.h"

namespace {

// Rows named in messages about missing values; the rest are counted.
constexpr std::size_t RowsNamed = 5;

bool readTable(const std::string& fileName, char delimiter, LabelledMatrix& table) {
    const InputText input = readInputText(fileName);
    if (!input.problem.empty()) {
        std::cerr << "Can not read the table file " << printable(fileName) << ": " << input.problem << "\n";
        return false;
    }
    TableFileResult read = parseTableFile(input.bytes, fileName, delimiter);
    if (!read.ok) {
        std::cerr << read.message;
        return false;
    }
    table = std::move(read.table);
    return true;
}

// The first place where the error file's names differ from the expression
// file's, or nothing.
std::optional<std::string> nameMismatch(const LabelledMatrix& values, const LabelledMatrix& errors) {
    const auto& x = values.columnNames;
    const auto& e = errors.columnNames;
    for (std::size_t c = 0; c < std::max(x.size(), e.size()); ++c)
        if (c >= x.size() || c >= e.size() || x[c] != e[c])
            return "column " + std::to_string(c + 1) + " is " +
                   (c < e.size() ? quotedText(e[c]) : "missing") + " in the error file but " +
                   (c < x.size() ? quotedText(x[c]) : "missing") + " in the expression file";
    const auto& xr = values.rowNames;
    const auto& er = errors.rowNames;
    for (std::size_t r = 0; r < std::max(xr.size(), er.size()); ++r)
        if (r >= xr.size() || r >= er.size() || xr[r] != er[r])
            return "row " + std::to_string(r + 1) + " is " +
                   (r < er.size() ? quotedText(er[r]) + " (line " + std::to_string(errors.rowLines[r]) + ")"
                                  : "missing") +
                   " in the error file but " +
                   (r < xr.size() ? quotedText(xr[r]) + " (line " + std::to_string(values.rowLines[r]) + ")"
                                  : "missing") +
                   " in the expression file";
    return std::nullopt;
}

std::string someRows(const LabelledMatrix& table, const std::vector<int>& rows) {
    std::string list;
    for (std::size_t i = 0; i < rows.size() && i < RowsNamed; ++i) {
        if (i > 0) list += ", ";
        list += printable(table.rowNames[index(rows[i])]) + " (line " +
                std::to_string(table.rowLines[index(rows[i])]) + ")";
    }
    if (rows.size() > RowsNamed) list += ", ...";
    return list;
}

}  // namespace

bool readTableInputs(const RunSettings& settings, RunInputs& inputs) {
    LabelledMatrix values, errors;
    if (!readTable(settings.expressionFileName, settings.tableDelimiter, values)) return false;
    std::vector<int> missing = rowsWithMissingValues(values.matrix);
    if (settings.withErrorFile) {
        if (!readTable(settings.errorFileName, settings.tableDelimiter, errors)) return false;
        if (const auto mismatch = nameMismatch(values, errors)) {
            std::cerr << "The error file " << printable(settings.errorFileName)
                      << " does not match the expression file "
                      << printable(settings.expressionFileName)
                      << ": " << *mismatch << ".\n";
            return false;
        }
        std::vector<int> both;
        const std::vector<int> more = rowsWithMissingValues(errors.matrix);
        std::set_union(missing.begin(), missing.end(), more.begin(), more.end(),
                       std::back_inserter(both));
        missing = std::move(both);
    }
    const std::string where = settings.withErrorFile ? " of " + printable(settings.expressionFileName) +
                                                           " or " + printable(settings.errorFileName)
                                                     : " of " + printable(settings.expressionFileName);
    if (!missing.empty()) {
        const std::string count = std::to_string(missing.size()) + " of " +
                                  std::to_string(values.matrix.rowCount) + " rows" + where;
        if (settings.missingValues == MissingValues::Refuse) {
            std::cerr << "Error: " << count
                      << " hold missing values (NA, NaN, null or an empty field): "
                      << someRows(values, missing)
                      << ". Add --missing drop-rows to leave these rows out.\n";
            return false;
        }
        if (missing.size() == values.rowNames.size()) {
            std::cerr << "Error: every row" << where << " holds a missing value; no row is left.\n";
            return false;
        }
        std::cerr << "noiseclust: left out " << count << " with missing values: "
                  << someRows(values, missing) << "\n";
        dropRows(values.matrix, missing);
        dropEntries(values.rowNames, missing);
        if (settings.withErrorFile) dropRows(errors.matrix, missing);
    }
    inputs.rawMatrix = std::move(values.matrix);
    inputs.rowNames = std::move(values.rowNames);
    inputs.columnNames = std::move(values.columnNames);
    inputs.hasRowNames = inputs.hasColumnNames = true;
    if (settings.withErrorFile) {
        inputs.errorMatrix = std::move(errors.matrix);
        inputs.hasErrorMatrix = true;
    }
    return true;
}


bool arrangeRunInputs(const RunSettings& settings, RunInputs& inputs) {
    try {
        if (settings.clusteredObjects == ClusteredObjects::Columns) {
            inputs.rawMatrix = transposed(inputs.rawMatrix);
            if (inputs.hasErrorMatrix) inputs.errorMatrix = transposed(inputs.errorMatrix);
            std::swap(inputs.rowNames, inputs.columnNames);
            std::swap(inputs.hasRowNames, inputs.hasColumnNames);
        }
        inputs.workingMatrix = inputs.rawMatrix;
    } catch (const std::bad_alloc&) {
        std::cerr << "There is not enough memory for a matrix of " << inputs.rawMatrix.rowCount
                  << " rows and " << inputs.rawMatrix.columnCount << " columns!\n";
        return false;
    }
    return true;
}
