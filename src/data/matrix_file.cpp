#include "data/matrix_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

// Matrices with more values than this are checked against the file size
// before they are allocated.
constexpr std::uint64_t LargeMatrixValues = 1u << 20;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Whitespace-separated tokens of a file, read in large pieces, with the line
// each token starts on.
class TokenReader {
public:
    explicit TokenReader(std::FILE* file) : file_(file), buffer_(1 << 16) {}

    // The next token, or nothing at the end of the file or on a read error.
    std::optional<std::string> next() {
        std::string token;
        for (;;) {
            if (position_ == end_ && !refill()) break;
            const char c = buffer_[position_];
            if (isSeparator(c)) {
                if (!token.empty()) break;
                if (c == '\n') ++line_;
                ++position_;
                continue;
            }
            if (token.empty()) tokenLine_ = line_;
            token.push_back(c);
            ++position_;
        }
        if (token.empty()) return std::nullopt;
        return token;
    }
    int tokenLine() const { return tokenLine_; }
    int readError() const { return readError_; }

private:
    bool refill() {
        if (readError_ != 0 || std::feof(file_)) return false;
        end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        position_ = 0;
        if (end_ == 0 && std::ferror(file_)) readError_ = errno != 0 ? errno : EIO;
        return end_ > 0;
    }

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    int line_ = 1;
    int tokenLine_ = 1;
    int readError_ = 0;
};

std::string quoted(const std::string& token) { return "\"" + token + "\""; }

std::string problem(const std::string& fileName, const std::string& what) {
    return "Error in the matrix file " + fileName + ": " + what + ".\n";
}

std::string readFailure(const std::string& fileName, int errorNumber) {
    return "Can not read the matrix file " + fileName + ": " + std::strerror(errorNumber) + ".\n";
}

std::string onLine(int line) { return " (line " + std::to_string(line) + ")"; }

// A token that is wholly a decimal integer (optional sign, digits) within int.
std::optional<int> wholeInteger(const std::string& token) {
    std::size_t i = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    if (i == token.size()) return std::nullopt;
    for (std::size_t k = i; k < token.size(); ++k)
        if (token[k] < '0' || token[k] > '9') return std::nullopt;
    errno = 0;
    const long long value = std::strtoll(token.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

// Opens the file and reads the two counts; the reader is left after them.
struct OpenedMatrix {
    FileHandle file;
    std::optional<TokenReader> tokens;
    MatrixDimensions dimensions;
    long long fileSize = -1;  // -1 when the file is not a regular file
};

MatrixFileStatus openAndReadCounts(const std::string& fileName, OpenedMatrix& opened,
                                   std::string& message) {
    if (fileName.find('\0') == std::string::npos)
        opened.file.reset(std::fopen(fileName.c_str(), "r"));
    if (!opened.file) {
        message = CannotOpenInputMessage;
        return MatrixFileStatus::CannotOpen;
    }
    struct stat status {};
    if (::fstat(::fileno(opened.file.get()), &status) == 0 && S_ISREG(status.st_mode))
        opened.fileSize = static_cast<long long>(status.st_size);
    opened.tokens.emplace(opened.file.get());
    TokenReader& tokens = *opened.tokens;

    int* const targets[2] = {&opened.dimensions.rowCount, &opened.dimensions.columnCount};
    const char* const labels[2] = {"row count", "column count"};
    for (int k = 0; k < 2; ++k) {
        const auto token = tokens.next();
        if (!token) {
            message = tokens.readError() != 0
                          ? readFailure(fileName, tokens.readError())
                          : problem(fileName, std::string("the file ends before the ") + labels[k]);
            return MatrixFileStatus::Invalid;
        }
        const auto value = wholeInteger(*token);
        if (!value || *value <= 0) {
            message = problem(fileName, std::string("the ") + labels[k] + " " + quoted(*token) +
                                            " is not a positive integer" + onLine(tokens.tokenLine()));
            return MatrixFileStatus::Invalid;
        }
        *targets[k] = *value;
    }
    return MatrixFileStatus::Read;
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

}  // namespace

double readLeadingNumber(const std::string& text, std::size_t& consumed) {
    char* end = nullptr;
    const double value = ::strtod_l(text.c_str(), &end, classicNumericLocale());
    consumed = static_cast<std::size_t>(end - text.c_str());
    return value;
}

MatrixDimensionsResult readMatrixDimensions(const std::string& fileName) {
    MatrixDimensionsResult result;
    OpenedMatrix opened;
    result.status = openAndReadCounts(fileName, opened, result.message);
    if (result.status == MatrixFileStatus::Read) result.dimensions = opened.dimensions;
    return result;
}

MatrixFileResult readMatrixFile(const std::string& fileName, bool hasRowNames, bool hasColumnNames) {
    MatrixFileResult result;
    OpenedMatrix opened;
    result.status = openAndReadCounts(fileName, opened, result.message);
    if (result.status != MatrixFileStatus::Read) return result;
    result.status = MatrixFileStatus::Invalid;
    const MatrixDimensions dims = opened.dimensions;
    TokenReader& tokens = *opened.tokens;

    // Counts of a large matrix that no file of this size could fill are
    // refused before any memory is taken for them. A small matrix is simply
    // read, so that a short file is told where exactly it ends.
    const std::uint64_t needed = smallestFileSize(dims, hasRowNames, hasColumnNames);
    const std::uint64_t valueCount = static_cast<std::uint64_t>(dims.rowCount) *
                                     static_cast<std::uint64_t>(dims.columnCount);
    if (valueCount > LargeMatrixValues && opened.fileSize >= 0 &&
        needed > static_cast<std::uint64_t>(opened.fileSize)) {
        result.message = problem(fileName, "its counts promise " + countsText(dims) +
                                               ", which need at least " + std::to_string(needed) +
                                               " bytes, but the file has only " +
                                               std::to_string(opened.fileSize));
        return result;
    }
    try {
        result.matrix = allocateMatrix(dims.rowCount, dims.columnCount);
        result.rowNames.assign(static_cast<std::size_t>(dims.rowCount), std::string());
        result.columnNames.assign(static_cast<std::size_t>(dims.columnCount), std::string());
    } catch (const std::bad_alloc&) {
        result = MatrixFileResult{};
        result.message = problem(fileName, "there is not enough memory for " + countsText(dims));
        return result;
    } catch (const std::length_error&) {
        result = MatrixFileResult{};
        result.message = problem(fileName, "there is not enough memory for " + countsText(dims));
        return result;
    }

    auto endedEarly = [&](const std::string& where) {
        result.message = tokens.readError() != 0
                             ? readFailure(fileName, tokens.readError())
                             : problem(fileName, "the file ends before " + where + "; it should hold " +
                                                     countsText(dims));
    };

    if (hasColumnNames) {
        for (int c = 0; c < dims.columnCount; ++c) {
            auto token = tokens.next();
            if (!token) {
                endedEarly("the name of column " + std::to_string(c + 1));
                return result;
            }
            result.columnNames[static_cast<std::size_t>(c)] = std::move(*token);
        }
    }
    for (int r = 0; r < dims.rowCount; ++r) {
        std::string rowLabel = "row " + std::to_string(r + 1);
        if (hasRowNames) {
            auto token = tokens.next();
            if (!token) {
                endedEarly("the name of " + rowLabel);
                return result;
            }
            rowLabel += " (" + *token + ")";
            result.rowNames[static_cast<std::size_t>(r)] = std::move(*token);
        }
        for (int c = 0; c < dims.columnCount; ++c) {
            auto cell = [&] { return rowLabel + ", column " + std::to_string(c + 1); };
            const auto token = tokens.next();
            if (!token) {
                endedEarly(cell());
                return result;
            }
            std::size_t consumed = 0;
            const double value = readLeadingNumber(*token, consumed);
            if (consumed != token->size()) {
                result.message = problem(fileName, cell() + " holds " + quoted(*token) +
                                                       ", which is not a number" +
                                                       onLine(tokens.tokenLine()));
                return result;
            }
            if (!std::isfinite(value)) {
                result.message = problem(fileName, cell() + " holds " + quoted(*token) +
                                                       ", which is not a finite number" +
                                                       onLine(tokens.tokenLine()));
                return result;
            }
            result.matrix.at(r, c) = value;
        }
    }
    if (const auto extra = tokens.next()) {
        result.warning = "Warning: the matrix file " + fileName +
                         " holds more tokens after its last row, from " + quoted(*extra) +
                         onLine(tokens.tokenLine()) + " on; they are ignored.\n";
    } else if (tokens.readError() != 0) {
        result.message = readFailure(fileName, tokens.readError());
        return result;
    }
    result.status = MatrixFileStatus::Read;
    return result;
}
