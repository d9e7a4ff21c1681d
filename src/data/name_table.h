#pragma once
// Row and column names as read from a matrix file. Names are kept whole;
// a table for a file without names of that kind holds empty names.

#include <string>
#include <vector>

using NameTable = std::vector<std::string>;

// Width of the fixed name fields of the original file layout; names longer
// than this are still stored and written whole.
inline constexpr int NameLength = 60;
