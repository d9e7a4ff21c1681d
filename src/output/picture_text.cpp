// Picture texts: see picture_text.h.
#include "output/picture_text.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

namespace picture {

namespace {

// Length of the valid UTF-8 sequence starting at text[i] that shows as one
// printable character, or 0.
std::size_t validSequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return (lead >= 0x20 && lead != 0x7f) ? 1 : 0;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        if (lead == 0xc2) low = 0xa0;  // C1 controls
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;  // no UTF-16 surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xbf) return 0;
    return length;
}

// Drops the last UTF-8 character of a valid text.
void dropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xc0) == 0x80)
        text.pop_back();
    if (!text.empty()) text.pop_back();
}

}  // namespace

std::string displayText(const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = validSequenceLength(text, i);
        if (length == 0) {
            shown += "\xef\xbf\xbd";
            ++i;
        } else {
            shown.append(text, i, length);
            i += length;
        }
    }
    return shown;
}

std::string valueText(double value) {
    if (!std::isfinite(value)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string shown = text;
    while (shown.back() == '0') shown.pop_back();
    if (shown.back() == '.') shown.pop_back();
    return shown == "-0" ? "0" : shown;
}

std::string fitted(const std::string& text, double width, double size, const TextMeasure& measure) {
    if (measure.advance(text, size) <= width) return text;
    const std::string ellipsis = "\xe2\x80\xa6";
    std::string shown = text;
    while (!shown.empty() && measure.advance(shown + ellipsis, size) > width)
        dropLastCharacter(shown);
    return shown + ellipsis;
}

std::vector<std::string> wrapped(const std::string& text, double width, double size,
                                 const TextMeasure& measure) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        const std::string longer = line.empty() ? word : line + " " + word;
        if (measure.advance(longer, size) <= width) {
            line = longer;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line = fitted(word, width, size, measure);
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace picture
