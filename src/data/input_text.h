#pragma once
// Reads one input whole, exactly once: a regular file, a FIFO, a pipe or
// process substitution, or "-" for standard input. Parsers then work on the
// bytes in memory, so nothing is re-opened between a check and the read.
//
// The input must be text: a NUL byte or another control byte (other than
// tab, line feed, vertical tab, form feed and carriage return) stops the
// read, and so does a word (a run of bytes between whitespace) longer than
// LongestWord bytes. So /dev/zero or a binary file is refused at its first
// bytes, in bounded time and memory. A UTF-8 byte order mark at the start is
// skipped.

#include <cstddef>
#include <string>

// Far above any real name or number.
inline constexpr std::size_t LongestWord = 4096;

struct InputText {
    std::string bytes;    // the whole input, without a leading byte order mark
    bool opened = false;  // false when the input could not be opened at all
    // Empty when the whole input was read; else what went wrong, naming the
    // file (problem) or not (detail), both safe to print.
    std::string problem;
    std::string detail;
};

// "-" names standard input unless dashIsStandardInput is false (a file
// named "-" that the dialogue has tested).
InputText readInputText(const std::string& fileName, bool dashIsStandardInput = true);
