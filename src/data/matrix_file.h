#pragma once
// The plain-text matrix file shared by expression and error files: a row
// count and a column count, then (optionally) one name per column, then per
// row an optional row name and one number per column. Tokens are separated
// by any whitespace; lines carry no meaning.
//
// The file is read once, whole (see data/input_text.h: a file, a FIFO, a
// pipe or "-" for standard input; text only, words of bounded length), then
// parsed in memory. Counts must be positive integers, every value token must
// be wholly a finite number, and the file must hold every token its counts
// promise. Failures come back as a message naming the file and, where it
// applies, the row and column (counted from 1) and the line; every text taken
// from the file is shown through printable().

#include <cstddef>
#include <string>
#include <string_view>

#include "data/data_matrix.h"
#include "data/name_table.h"

// Written to standard output when a matrix file cannot be opened.
inline constexpr const char* CannotOpenInputMessage = "Can not open the input data file!\n";

enum class MatrixFileStatus {
    Read,        // everything was read
    CannotOpen,  // message is CannotOpenInputMessage
    Invalid,     // message says what is wrong with the file
};

// The largest count a matrix file may give.
inline constexpr long long LargestCount = 2147483647;

struct MatrixDimensions {
    int rowCount = 0;
    int columnCount = 0;
    friend bool operator==(const MatrixDimensions&, const MatrixDimensions&) = default;
};

struct MatrixFileResult {
    MatrixFileStatus status = MatrixFileStatus::Invalid;
    DataMatrix matrix;
    NameTable rowNames;     // rowCount names; empty names without row names
    NameTable columnNames;  // columnCount names; empty names without column names
    std::string message;
    std::string reason;     // CannotOpen: why, naming the file
    std::string warning;    // non-empty when tokens follow the last row
};

// Reads the whole input once and parses it with the given layout; "-" is
// standard input unless dashIsStandardInput is false.
MatrixFileResult readMatrixFile(const std::string& fileName, bool hasRowNames, bool hasColumnNames,
                                bool dashIsStandardInput = true);

// Parses a matrix held in memory; fileName only names it in messages.
MatrixFileResult parseMatrixText(const std::string& fileName, std::string_view text,
                                 bool hasRowNames, bool hasColumnNames);

// The longest leading decimal number of text, read as the C library does in
// the "C" locale whatever the process locale is; consumed is the number of
// characters it took (0 when text starts with no number, which gives 0).
double readLeadingNumber(const std::string& text, std::size_t& consumed);
