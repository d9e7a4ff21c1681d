#include "data/matrix_file.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <new>
#include <optional>
#include <stdexcept>

#include "data/input_text.h"
#include "data/safe_text.h"

namespace {

// Matrices with more values than this are checked against the size of the
// text before they are allocated.
constexpr std::uint64_t LargeMatrixValues = 1u << 20;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whitespace-separated tokens of a text in memory, with the line each token
// starts on.
class TokenReader {
public:
    explicit TokenReader(std::string_view text) : text_(text) {}

    // The next token, or nothing at the end of the text.
    std::optional<std::string_view> next() {
        while (position_ < text_.size() && isSeparator(text_[position_]))
            if (text_[position_++] == '\n') ++line_;
        if (position_ == text_.size()) return std::nullopt;
        const std::size_t start = position_;
        tokenLine_ = line_;
        while (position_ < text_.size() && !isSeparator(text_[position_])) ++position_;
        return text_.substr(start, position_ - start);
    }
    long long tokenLine() const { return tokenLine_; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    long long line_ = 1;
    long long tokenLine_ = 1;
};

std::string onLine(long long line) { return " (line " + std::to_string(line) + ")"; }

// A count token: wholly a decimal integer (optional sign, digits).
enum class CountKind { Positive, NotPositiveInteger, TooLarge };

CountKind countKind(std::string_view token, int& value) {
    const bool negative = token[0] == '-';
    std::size_t i = (token[0] == '+' || negative) ? 1 : 0;
    if (i == token.size()) return CountKind::NotPositiveInteger;
    long long magnitude = 0;
    bool tooLarge = false;
    for (; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return CountKind::NotPositiveInteger;
        magnitude = tooLarge ? magnitude : magnitude * 10 + (token[i] - '0');
        if (magnitude > LargestCount) tooLarge = true;
    }
    if (negative && (tooLarge || magnitude > 0)) return CountKind::NotPositiveInteger;
    if (tooLarge) return CountKind::TooLarge;
    if (magnitude == 0) return CountKind::NotPositiveInteger;
    value = static_cast<int>(magnitude);
    return CountKind::Positive;
}

// The fewest bytes a file with these counts and layout can have: every token
// takes at least one character and one separator, except the last.
std::uint64_t smallestFileSize(MatrixDimensions d, bool hasRowNames, bool hasColumnNames) {
    const auto rows = static_cast<std::uint64_t>(d.rowCount);
    const auto columns = static_cast<std::uint64_t>(d.columnCount);
    const std::uint64_t tokens =
        2 + rows * columns + (hasRowNames ? rows : 0) + (hasColumnNames ? columns : 0);
    return 2 * tokens - 1;
}

std::string countsText(MatrixDimensions d) {
    return std::to_string(d.rowCount) + " rows and " + std::to_string(d.columnCount) + " columns";
}

locale_t classicNumericLocale() {
    static const locale_t locale = ::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

// Parses into result; false with result.message set.
bool parseInto(MatrixFileResult& result, const std::string& shownName, std::string_view text,
               bool hasRowNames, bool hasColumnNames) {
    auto refuse = [&](const std::string& what) {
        result.message = "Error in the matrix file " + shownName + ": " + what + ".\n";
        return false;
    };
    TokenReader tokens(text);
    MatrixDimensions dims;
    int* const targets[2] = {&dims.rowCount, &dims.columnCount};
    const char* const labels[2] = {"row count", "column count"};
    for (int k = 0; k < 2; ++k) {
        const auto token = tokens.next();
        if (!token) return refuse(std::string("the file ends before the ") + labels[k]);
        const std::string what = std::string("the ") + labels[k] + " " + quotedText(*token);
        switch (countKind(*token, *targets[k])) {
            case CountKind::Positive: break;
            case CountKind::TooLarge:
                return refuse(what + " is too large (at most " + std::to_string(LargestCount) +
                              ")" + onLine(tokens.tokenLine()));
            case CountKind::NotPositiveInteger:
                return refuse(what + " is not a positive integer" + onLine(tokens.tokenLine()));
        }
    }

    // Counts of a large matrix that no text of this size could fill are
    // refused before any memory is taken for them. A small matrix is simply
    // read, so that a short file is told where exactly it ends.
    const std::uint64_t needed = smallestFileSize(dims, hasRowNames, hasColumnNames);
    const std::uint64_t valueCount = static_cast<std::uint64_t>(dims.rowCount) *
                                     static_cast<std::uint64_t>(dims.columnCount);
    if (valueCount > LargeMatrixValues && needed > text.size())
        return refuse("its counts promise " + countsText(dims) + ", which need at least " +
                      std::to_string(needed) + " bytes, but the file has only " +
                      std::to_string(text.size()));
    result.matrix = allocateMatrix(dims.rowCount, dims.columnCount);
    result.rowNames.assign(static_cast<std::size_t>(dims.rowCount), std::string());
    result.columnNames.assign(static_cast<std::size_t>(dims.columnCount), std::string());

    auto endedEarly = [&](const std::string& where) {
        return refuse("the file ends before " + where + "; it should hold " + countsText(dims));
    };
    if (hasColumnNames) {
        for (int c = 0; c < dims.columnCount; ++c) {
            const auto token = tokens.next();
            if (!token) return endedEarly("the name of column " + std::to_string(c + 1));
            result.columnNames[static_cast<std::size_t>(c)] = *token;
        }
    }
    for (int r = 0; r < dims.rowCount; ++r) {
        std::string rowLabel = "row " + std::to_string(r + 1);
        if (hasRowNames) {
            const auto token = tokens.next();
            if (!token) return endedEarly("the name of " + rowLabel);
            rowLabel += " (" + printable(*token) + ")";
            result.rowNames[static_cast<std::size_t>(r)] = *token;
        }
        for (int c = 0; c < dims.columnCount; ++c) {
            auto cell = [&] { return rowLabel + ", column " + std::to_string(c + 1); };
            const auto token = tokens.next();
            if (!token) return endedEarly(cell());
            std::size_t consumed = 0;
            const double value = readLeadingNumber(std::string(*token), consumed);
            if (consumed != token->size())
                return refuse(cell() + " holds " + quotedText(*token) + ", which is not a number" +
                              onLine(tokens.tokenLine()));
            if (!std::isfinite(value))
                return refuse(cell() + " holds " + quotedText(*token) +
                              ", which is not a finite number" + onLine(tokens.tokenLine()));
            result.matrix.at(r, c) = value;
        }
    }
    if (const auto extra = tokens.next())
        result.warning = "Warning: the matrix file " + shownName +
                         " holds more tokens after its last row, from " + quotedText(*extra) +
                         onLine(tokens.tokenLine()) + " on; they are ignored.\n";
    return true;
}

}  // namespace

double readLeadingNumber(const std::string& text, std::size_t& consumed) {
    char* end = nullptr;
    const double value = ::strtod_l(text.c_str(), &end, classicNumericLocale());
    consumed = static_cast<std::size_t>(end - text.c_str());
    return value;
}

MatrixFileResult parseMatrixText(const std::string& fileName, std::string_view text,
                                 bool hasRowNames, bool hasColumnNames) {
    MatrixFileResult result;
    const std::string shownName = printable(fileName);
    bool parsed = false;
    try {
        parsed = parseInto(result, shownName, text, hasRowNames, hasColumnNames);
    } catch (const std::bad_alloc&) {
        result = MatrixFileResult{};
    } catch (const std::length_error&) {
        result = MatrixFileResult{};
    }
    if (parsed) {
        result.status = MatrixFileStatus::Read;
        return result;
    }
    std::string message = std::move(result.message);
    result = MatrixFileResult{};
    result.message = !message.empty() ? std::move(message)
                                      : "Error in the matrix file " + shownName +
                                            ": there is not enough memory to hold it.\n";
    return result;
}

MatrixFileResult readMatrixFile(const std::string& fileName, bool hasRowNames, bool hasColumnNames,
                                bool dashIsStandardInput) {
    InputText input = readInputText(fileName, dashIsStandardInput);
    if (!input.opened) {
        MatrixFileResult result;
        result.status = MatrixFileStatus::CannotOpen;
        result.message = CannotOpenInputMessage;
        result.reason = input.problem;
        return result;
    }
    if (!input.problem.empty()) {
        MatrixFileResult result;
        result.message =
            "Can not read the matrix file " + printable(fileName) + ": " + input.detail + ".\n";
        return result;
    }
    return parseMatrixText(fileName, input.bytes, hasRowNames, hasColumnNames);
}
