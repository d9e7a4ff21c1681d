#include "data/table_file.h"

#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <unordered_map>

#include "data/matrix_file.h"
#include "data/safe_text.h"

namespace {

// One line of fields (more than one line of the file when a quoted field
// holds a line break).
struct Record {
    int line = 0;
    std::vector<std::string> fields;
};

// Splits the text into records, skipping empty lines and lines that start
// with '!' or '#'.
class RecordReader {
public:
    RecordReader(std::string_view text, std::size_t start, int line, char delimiter)
        : text_(text), position_(start), line_(line), delimiter_(delimiter) {}

    // The next record; false at the end of the text or after a fault, which
    // then leaves problem() non-empty.
    bool next(Record& record) {
        record.fields.clear();
        while (position_ < text_.size() && skippable()) skipLine();
        if (position_ >= text_.size()) return false;
        record.line = line_;
        for (;;) {
            record.fields.emplace_back();
            if (!readField(record.fields.back(), static_cast<int>(record.fields.size())))
                return false;
            if (position_ < text_.size() && text_[position_] == delimiter_) {
                ++position_;
                continue;
            }
            endLine();
            return true;
        }
    }
    const std::string& problem() const { return problem_; }

private:
    bool atLineEnd() const {
        if (position_ >= text_.size() || text_[position_] == '\n') return true;
        return text_[position_] == '\r' &&
               (position_ + 1 == text_.size() || text_[position_ + 1] == '\n');
    }
    bool skippable() const {
        const char c = text_[position_];
        return atLineEnd() || c == '!' || c == '#';
    }
    void skipLine() {
        while (position_ < text_.size() && text_[position_] != '\n') ++position_;
        endLine();
    }
    void endLine() {
        if (position_ < text_.size() && text_[position_] == '\r') ++position_;
        if (position_ < text_.size() && text_[position_] == '\n') {
            ++position_;
            ++line_;
        }
    }
    bool readField(std::string& field, int number) {
        if (position_ < text_.size() && text_[position_] == '"') {
            const int opened = line_;
            ++position_;
            for (;;) {
                if (position_ >= text_.size()) {
                    problem_ = "line " + std::to_string(opened) + ", field " +
                               std::to_string(number) + ": the quote is never closed";
                    return false;
                }
                const char c = text_[position_++];
                if (c == '"') {
                    if (position_ < text_.size() && text_[position_] == '"') {
                        field += '"';
                        ++position_;
                        continue;
                    }
                    break;
                }
                if (c == '\n') ++line_;
                field += c;
            }
            if (!atLineEnd() && text_[position_] != delimiter_) {
                problem_ = "line " + std::to_string(line_) + ", field " + std::to_string(number) +
                           ": text follows the closing quote";
                return false;
            }
            return true;
        }
        while (!atLineEnd() && text_[position_] != delimiter_) field += text_[position_++];
        return true;
    }

    std::string_view text_;
    std::size_t position_;
    int line_;
    char delimiter_;
    std::string problem_;
};

std::string_view trimmed(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    return field;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The delimiter of the first line that is not skipped: a tab outside quotes,
// else a comma outside quotes, else a tab (a table of one column).
char delimiterOf(std::string_view text, std::size_t start) {
    bool quoted = false, lineStart = true, skipping = false, comma = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (lineStart) {
            skipping = c == '!' || c == '#' || c == '\n' || c == '\r';
            lineStart = false;
        }
        if (c == '\n' && !quoted) {
            if (!skipping) break;
            lineStart = true;
            continue;
        }
        if (skipping) continue;
        if (c == '"') quoted = !quoted;
        else if (!quoted && c == '\t') return '\t';
        else if (!quoted && c == ',') comma = true;
    }
    return comma ? ',' : '\t';
}

std::optional<long long> countField(std::string_view field) {
    field = trimmed(field);
    if (field.empty() || field.size() > 12) return std::nullopt;
    long long value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

class TableBuilder {
public:
    TableBuilder(const std::string& fileName, bool gct) : fileName_(fileName), gct_(gct) {}

    std::string refusal(const std::string& what) const {
        return "Error in the table file " + fileName_ + ": " + what + ".\n";
    }

    // Takes the header and the first row; decides where the values start.
    std::optional<std::string> start(Record& header, const Record& first) {
        const std::size_t width = first.fields.size();
        const std::size_t firstValue = gct_ ? 2 : 1;
        if (header.fields.size() != width && (gct_ || header.fields.size() + 1 != width))
            return refusal("the header line (line " + std::to_string(header.line) + ") has " +
                           std::to_string(header.fields.size()) + " fields, but line " +
                           std::to_string(first.line) + " has " + std::to_string(width) +
                           (gct_ ? "; a GCT header holds Name, Description and every sample"
                                 : "; the header names every column, with or without a "
                                   "corner cell above the row names"));
        if (width <= firstValue)
            return refusal("line " + std::to_string(first.line) +
                           " holds no values after the row name");
        const std::size_t skip = header.fields.size() == width ? firstValue : 0;
        for (std::size_t f = skip; f < header.fields.size(); ++f)
            table_.columnNames.push_back(std::move(header.fields[f]));
        width_ = width;
        firstValue_ = firstValue;
        firstLine_ = first.line;
        table_.matrix.columnCount = static_cast<int>(width - firstValue);
        return std::nullopt;
    }

    std::optional<std::string> add(Record& row) {
        const std::string where = "line " + std::to_string(row.line);
        if (row.fields.size() != width_)
            return refusal(where + " has " + std::to_string(row.fields.size()) +
                           " fields, but line " + std::to_string(firstLine_) + " has " +
                           std::to_string(width_));
        if (table_.rowNames.size() >= static_cast<std::size_t>(INT_MAX))
            return refusal(where + ": the table has too many rows");
        std::string& name = row.fields[0];
        const auto [seen, fresh] = lines_.try_emplace(name, row.line);
        if (!fresh)
            return refusal(where + ", field 1: the row name " + quotedText(name) +
                           " is also the name on line " + std::to_string(seen->second));
        for (std::size_t f = firstValue_; f < width_; ++f) {
            const std::string_view text = trimmed(row.fields[f]);
            double value = std::numeric_limits<double>::quiet_NaN();
            if (!isMissingMarker(text)) {
                std::size_t consumed = 0;
                const std::string copy(text);
                value = readLeadingNumber(copy, consumed);
                if (consumed == 0 || consumed != copy.size() || !std::isfinite(value))
                    return refusal(where + ", field " + std::to_string(f + 1) + " (column " +
                                   quotedText(table_.columnNames[f - firstValue_]) + ", row " +
                                   quotedText(name) + "): " + quotedText(row.fields[f]) +
                                   " is neither a finite number nor a missing value (NA, NaN, "
                                   "null or an empty field)");
            }
            table_.matrix.values.push_back(value);
        }
        table_.rowNames.push_back(std::move(name));
        table_.rowLines.push_back(row.line);
        return std::nullopt;
    }

    LabelledMatrix finish() {
        table_.matrix.rowCount = static_cast<int>(table_.rowNames.size());
        return std::move(table_);
    }

private:
    std::string fileName_;
    bool gct_;
    LabelledMatrix table_;
    std::unordered_map<std::string, int> lines_;
    std::size_t width_ = 0, firstValue_ = 1;
    int firstLine_ = 0;
};

}  // namespace

bool isMissingMarker(std::string_view field) {
    field = trimmed(field);
    return field.empty() || equalsIgnoringCase(field, "NA") || equalsIgnoringCase(field, "NaN") ||
           equalsIgnoringCase(field, "null");
}

TableFileResult parseTableFile(std::string_view bytes, const std::string& fileName,
                               char delimiter) {
    TableFileResult result;
    std::size_t start = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    int line = 1;
    const std::string_view rest = bytes.substr(start);
    const bool gct = rest.substr(0, 4) == "#1.2" &&
                     (rest.size() == 4 || rest[4] == '\n' || rest[4] == '\r' || rest[4] == '\t');
    if (gct) {
        delimiter = '\t';
        start = bytes.find('\n', start);
        start = start == std::string_view::npos ? bytes.size() : start + 1;
        line = 2;
    } else if (delimiter == 0) {
        delimiter = delimiterOf(bytes, start);
    }
    TableBuilder builder(fileName, gct);
    std::optional<long long> rowCount, columnCount;  // a GCT file's counts line
    auto refuse = [&](const std::string& message) {
        result.message = message;
        return result;
    };
    try {
        RecordReader reader(bytes, start, line, delimiter);
        auto faulty = [&] { return builder.refusal(reader.problem()); };
        Record counts, header, row;
        if (gct && !reader.next(counts))
            return refuse(reader.problem().empty()
                              ? builder.refusal("the GCT file ends before its counts line")
                              : faulty());
        if (gct) {
            rowCount = countField(counts.fields[0]);
            columnCount = counts.fields.size() > 1 ? countField(counts.fields[1]) : std::nullopt;
            if (!rowCount || !columnCount)
                return refuse(builder.refusal("line " + std::to_string(counts.line) +
                                              ": a GCT file gives its row and column counts here"));
        }
        if (!reader.next(header))
            return refuse(reader.problem().empty() ? builder.refusal("the file holds no header line")
                                                   : faulty());
        if (!reader.next(row))
            return refuse(reader.problem().empty()
                              ? builder.refusal("the header line (line " +
                                                std::to_string(header.line) +
                                                ") is followed by no row of values")
                              : faulty());
        if (auto problem = builder.start(header, row)) return refuse(*problem);
        do {
            if (auto problem = builder.add(row)) return refuse(*problem);
        } while (reader.next(row));
        if (!reader.problem().empty()) return refuse(faulty());
        result.table = builder.finish();
    } catch (const std::bad_alloc&) {
        return refuse(builder.refusal("there is not enough memory for its values"));
    }
    if (gct && (result.table.matrix.rowCount != *rowCount ||
                result.table.matrix.columnCount != *columnCount))
        return refuse(builder.refusal(
            "its counts line promises " + std::to_string(*rowCount) + " rows and " +
            std::to_string(*columnCount) + " samples, but it holds " +
            std::to_string(result.table.matrix.rowCount) + " and " +
            std::to_string(result.table.matrix.columnCount)));
    result.ok = true;
    return result;
}
