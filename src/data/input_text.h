#pragma once
// Reads one input whole, exactly once: a regular file, a FIFO, a pipe or
// process substitution, or "-" for standard input. Parsers then work on the
// bytes in memory, so nothing is re-opened between a check and the read.

#include <string>

struct InputText {
    std::string bytes;
    std::string problem;  // empty when the whole input was read
};

InputText readInputText(const std::string& fileName);
