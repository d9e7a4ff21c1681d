#pragma once
// Delimited text tables as R (write.table, write.csv), pandas (to_csv),
// spreadsheets and GEO series matrix files write them, and GCT files.
//
// Layout: a header line of column names, with or without a corner cell
// above the row names; then one line per row, its name in the first field
// and one value per column. Fields are separated by tabs or commas (found
// from the header line unless given) and may be quoted as in CSV: the quotes
// are removed, a doubled quote inside stands for one, delimiters and line
// breaks inside quotes belong to the field. CRLF line ends and a leading
// UTF-8 byte order mark are accepted; empty lines and lines starting with
// '!' or '#' are skipped. A file whose first line is "#1.2" is read as GCT:
// a counts line, then "Name", "Description" and the samples; the
// descriptions are dropped.
//
// Missing values (NA, NaN, null, an empty field, in any letter case for the
// words) are stored as a quiet NaN; every other value must be a finite
// decimal number. Counts come from the data.

#include <string>
#include <string_view>
#include <vector>

#include "data/data_matrix.h"
#include "data/name_table.h"

// A matrix with its names and, per row, the line of the file it came from.
struct LabelledMatrix {
    DataMatrix matrix;
    NameTable rowNames;
    NameTable columnNames;
    std::vector<int> rowLines;
};

struct TableFileResult {
    bool ok = false;
    LabelledMatrix table;
    std::string message;  // why the table was refused, naming file, line and field
};

// delimiter is '\t', ',' or 0 to find it from the header line (a tab outside
// quotes means tabs, else a comma means commas, else one column).
TableFileResult parseTableFile(std::string_view bytes, const std::string& fileName,
                               char delimiter = 0);

// True for the texts that stand for a missing value.
bool isMissingMarker(std::string_view field);
