// Picture, selection, pick-list and seed options: see picture_options.h.
#include "app/picture_options.h"

#include <charconv>
#include <cstdint>
#include <functional>
#include <utility>

#include "data/matrix_file.h"
#include "output/picture_draw.h"

namespace {

// A whole word read as a decimal number the way the dialogue reads one.
std::optional<double> numberIn(const std::string& word, double low, double high) {
    std::size_t consumed = 0;
    const double value = readLeadingNumber(word, consumed);
    if (consumed == 0 || consumed != word.size() || !(value >= low && value <= high)) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> seedValue(const std::string& word) {
    std::uint64_t seed = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), seed);
    if (word.empty() || error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return seed;
}

std::function<std::string(const std::string&)> numberCheck(double low, double high, std::string what) {
    return [low, high, what](const std::string& word) -> std::string {
        return numberIn(word, low, high) ? "" : what;
    };
}

}  // namespace

void definePictureOptions(CLI::App& app, PictureOptions& typed) {
    app.add_option("--picture", typed.picture,
                   "Also draw the trees: SVG, PDF or PNG (300 dpi)\n"
                   "by the name's ending .svg, .pdf or .png")
        ->type_name("FILE");
    app.add_option("--svg", typed.svg, "The same as --picture")->type_name("FILE");
    app.add_option("--picture-width", typed.width, "Width of the picture in points (default 720)")
        ->type_name("W")
        ->check(numberCheck(300, 20000, "the picture width must be from 300 to 20000 points"));
    app.add_option("--font-size", typed.fontSize, "Font size of the picture in points (default 9)")
        ->type_name("S")
        ->check(numberCheck(4, 48, "the font size must be from 4 to 48 points"));
    app.add_option("--highlight", typed.highlight,
                   "Select the outermost clusters with a confidence\n"
                   "of at least X (default 0.95): boxed in the picture,\n"
                   "marked in the table, listed by --pick")
        ->type_name("X")
        ->check(numberCheck(0, 1, "the highlight must be a number from 0 to 1"));
    app.add_flag("--highlight-nested", typed.nested,
                 "Box every cluster at or above --highlight,\n"
                 "nested ones too");
    app.add_option("--pick", typed.pick,
                   "Also write the selected clusters as a table")
        ->type_name("FILE");
    app.add_option("--seed", typed.seed,
                   "Start the random stream from a state derived\n"
                   "from N (0 to 2^64-1); default: the fixed start")
        ->type_name("N")
        ->check([](const std::string& word) -> std::string {
            return seedValue(word) ? "" : "the seed must be a whole number from 0 to 18446744073709551615";
        });
}

std::optional<std::string> pictureOptionsRefusal(const CLI::App& app, const PictureOptions& typed) {
    if (!typed.picture.empty() && !typed.svg.empty())
        return std::string("give either --picture FILE or --svg FILE, not both");
    for (const auto& [option, name] : {std::pair{"--picture", &typed.picture}, {"--svg", &typed.svg},
                                       {"--pick", &typed.pick}})
        if (app.count(option) > 0 && name->empty()) return std::string(option) + " needs a file name";
    if (!typed.picture.empty() && !pictureFormatOf(typed.picture))
        return "--picture " + typed.picture + ": the name must end in .svg, .pdf or .png";
    return std::nullopt;
}

void applyPictureOptions(const PictureOptions& typed, RunSettings& settings) {
    settings.pictureFileName = typed.picture.empty() ? typed.svg : typed.picture;
    if (!typed.width.empty()) settings.pictureWidth = *numberIn(typed.width, 300, 20000);
    if (!typed.fontSize.empty()) settings.fontSize = *numberIn(typed.fontSize, 4, 48);
    if (!typed.highlight.empty()) settings.highlight = *numberIn(typed.highlight, 0, 1);
    settings.highlightNested = typed.nested;
    settings.pickFileName = typed.pick;
    if (!typed.seed.empty()) settings.seed = seedValue(typed.seed);
}

