#include "app/own_data_options.h"

namespace {

std::optional<char> delimiterValue(const std::string& name) {
    if (name == "tab") return '\t';
    if (name == "comma") return ',';
    return std::nullopt;
}

template <typename Value, std::size_t N>
std::function<std::string(const std::string&)> oneOf(const OptionTable<Value, N>& table) {
    return [&table](const std::string& value) -> std::string {
        if (valueOfName(table, value)) return {};
        std::string names;
        for (const auto& entry : table)
            names += (names.empty() ? "" : ", ") + std::string(entry.commandLineName);
        return "'" + value + "' is not one of " + names;
    };
}

}  // namespace

void defineOwnDataOptions(CLI::App& app, OwnDataOptions& typed) {
    app.add_option("--delimiter", typed.delimiter,
                   "Field delimiter of a table: tab or comma\n"
                   "(default: found from the header line)")
        ->type_name("tab|comma")
        ->check([](const std::string& value) -> std::string {
            return delimiterValue(value) ? "" : "'" + value + "' is not one of tab, comma";
        });
    app.add_option("--missing", typed.missing,
                   "Missing values (NA, NaN, null, empty) in a table:\n"
                   "refuse (default) or drop-rows")
        ->type_name("WAY")
        ->check(oneOf(MissingValueChoices));
    app.add_option("--cluster", typed.cluster, "Objects to cluster: rows (default) or columns")
        ->type_name("rows|columns")
        ->check(oneOf(ClusteredObjectChoices));
    app.add_option("--newick", typed.newick,
                   "Also write the first tree in standard Newick\n"
                   "(confidence values as node labels)")
        ->type_name("FILE");
    app.add_option("--consensus-newick", typed.consensusNewick,
                   "Also write the consensus tree in standard Newick")
        ->type_name("FILE");
}

std::optional<std::string> applyOwnDataOptions(const OwnDataOptions& typed,
                                               const std::string& inputFormat,
                                               const CLI::App& app, RunSettings& settings) {
    if (app.count("--newick") > 0 && typed.newick.empty()) return "--newick needs a file name";
    if (app.count("--consensus-newick") > 0 && typed.consensusNewick.empty())
        return "--consensus-newick needs a file name";
    settings.tableInput = inputFormat == TableInputFormat.commandLineName;
    if (settings.tableInput) settings.inputFormat = TableInputFormat.value;
    if (!settings.tableInput && (!typed.delimiter.empty() || !typed.missing.empty()))
        return std::string(typed.delimiter.empty() ? "--missing" : "--delimiter") +
               " applies to --input-format table only";
    if (!typed.delimiter.empty()) settings.tableDelimiter = *delimiterValue(typed.delimiter);
    if (!typed.missing.empty())
        settings.missingValues = *valueOfName(MissingValueChoices, typed.missing);
    if (!typed.cluster.empty())
        settings.clusteredObjects = *valueOfName(ClusteredObjectChoices, typed.cluster);
    settings.newickFileName = typed.newick;
    settings.consensusNewickFileName = typed.consensusNewick;
    return std::nullopt;
}
