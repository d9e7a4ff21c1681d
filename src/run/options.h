#pragma once
// One table per choice of a run. Each row joins the engine's value to the
// key that chooses it in the dialogue's menu, the menu line, the keyword that
// the review screen and the report show, and the name on the command line.
// The dialogue, the review screen, the report header and the command line all
// read these tables; the stages receive the values.

#include <array>
#include <optional>
#include <string_view>

#include "cluster/clustering.h"
#include "cluster/distance_triangle.h"
#include "cluster/tree_writer.h"
#include "data/preprocess.h"

// Which names a matrix file holds besides its values.
enum class InputFormat { RowAndColumnNames, RowNamesOnly, ColumnNamesOnly, NoNames };

template <typename Value>
struct OptionEntry {
    Value value;
    char code;                    // the menu key
    const char* keyword;          // review screen and report
    const char* menuLabel;        // the menu line after "\t<code>: "
    const char* commandLineName;  // the command line's value
    const char* alias = nullptr;  // another command-line name of the same value
};

template <typename Value, std::size_t N>
using OptionTable = std::array<OptionEntry<Value>, N>;

inline constexpr OptionTable<InputFormat, 4> InputFormats{{
    {InputFormat::RowAndColumnNames, '1', "has row names, has column names",
     "has row names, has column names", "1"},
    {InputFormat::RowNamesOnly, '2', "has row names, no column names",
     "has row names, no column names", "2"},
    {InputFormat::ColumnNamesOnly, '3', "no row names, has column names",
     "no row names, has column names", "3"},
    {InputFormat::NoNames, '4', "no row names, no column names", "no row names, no column names",
     "4"},
}};

inline constexpr OptionTable<PreprocessDirection, 2> PreprocessDirections{{
    {PreprocessDirection::Row, '1', "row", "by row", "row"},
    {PreprocessDirection::Column, '2', "column", "by column", "column"},
}};

inline constexpr OptionTable<PreprocessMethod, 5> PreprocessMethods{{
    {PreprocessMethod::Log, '1', "log", "logarithmic transformation", "log"},
    {PreprocessMethod::Normal, '2', "normal", "normalization", "normal"},
    {PreprocessMethod::MeanCenter, '3', "meancenter", "mean center", "meancenter"},
    {PreprocessMethod::MedianCenter, '4', "mediancenter", "median center", "mediancenter"},
    {PreprocessMethod::Max, '5', "max", "maximum normalization", "max"},
}};

inline constexpr OptionTable<DistanceMetric, 5> DistanceMetrics{{
    {DistanceMetric::Correlation, '1', "correlation", "correlation coefficient", "correlation"},
    {DistanceMetric::Euclidean, '2', "euclidean", "euclidean", "euclidean"},
    {DistanceMetric::Maximum, '3', "maximum", "maximum", "maximum"},
    {DistanceMetric::Manhattan, '4', "manhattan", "manhattan", "manhattan"},
    {DistanceMetric::Binary, '5', "binary", "binary", "binary"},
}};

inline constexpr OptionTable<Linkage, 3> Linkages{{
    {Linkage::Average, '1', "average", "average", "average"},
    {Linkage::Compact, '2', "compact", "compact(complete linkage)", "compact", "complete"},
    {Linkage::Connected, '3', "connected", "connected(single linkage)", "connected", "single"},
}};

inline constexpr OptionTable<TreeNotation, 2> TreeNotations{{
    {TreeNotation::SPlus, '1', "S_Plus", "S-plus format", "S_Plus"},
    {TreeNotation::NewHampshire, '2', "New_Hampshire", "New Hampshire format", "New_Hampshire"},
}};

// The command line's --input-format table: delimited text with a header line
// and the row names in the first column. The report shows the layout it has.
inline constexpr OptionEntry<InputFormat> TableInputFormat{
    InputFormat::RowAndColumnNames, '\0', "has row names, has column names", "", "table"};

// Command line only: what a table's missing values do, and which objects are
// clustered.
enum class MissingValues { Refuse, DropRows };
inline constexpr OptionTable<MissingValues, 2> MissingValueChoices{{
    {MissingValues::Refuse, '\0', "refuse", "", "refuse"},
    {MissingValues::DropRows, '\0', "drop-rows", "", "drop-rows"},
}};

enum class ClusteredObjects { Rows, Columns };
inline constexpr OptionTable<ClusteredObjects, 2> ClusteredObjectChoices{{
    {ClusteredObjects::Rows, '\0', "rows", "", "rows"},
    {ClusteredObjects::Columns, '\0', "columns", "", "columns"},
}};

// The fixed texts for a keyword that names no method.
inline constexpr const char* UnknownPreprocessing = "input parameter error";
inline constexpr const char* UnknownDistance = "The method of computing distance is not defined!";
inline constexpr const char* UnknownLinkage = "The method of constructing tree is not defined!";

template <typename Value, std::size_t N>
constexpr const char* keywordOf(const OptionTable<Value, N>& table, Value value) {
    for (const auto& entry : table)
        if (entry.value == value) return entry.keyword;
    return "";
}

template <typename Value, std::size_t N>
constexpr std::optional<Value> valueOfCode(const OptionTable<Value, N>& table, char code) {
    for (const auto& entry : table)
        if (entry.code == code) return entry.value;
    return std::nullopt;
}

// Exact, case-sensitive match of a command-line name or its alias.
template <typename Value, std::size_t N>
constexpr std::optional<Value> valueOfName(const OptionTable<Value, N>& table,
                                           std::string_view name) {
    for (const auto& entry : table)
        if (name == entry.commandLineName || (entry.alias && name == entry.alias))
            return entry.value;
    return std::nullopt;
}

// DIRECTION:METHOD as the command line and the language bindings take it,
// for example row:log.
constexpr std::optional<PreprocessChoice> preprocessingOfName(std::string_view name) {
    const auto colon = name.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto direction = valueOfName(PreprocessDirections, name.substr(0, colon));
    const auto method = valueOfName(PreprocessMethods, name.substr(colon + 1));
    if (!direction || !method) return std::nullopt;
    return PreprocessChoice{*method, *direction};
}

constexpr bool hasRowNames(InputFormat format) {
    return format == InputFormat::RowAndColumnNames || format == InputFormat::RowNamesOnly;
}
constexpr bool hasColumnNames(InputFormat format) {
    return format == InputFormat::RowAndColumnNames || format == InputFormat::ColumnNamesOnly;
}
