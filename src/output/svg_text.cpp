// SVG text pieces: see svg_text.h.
#include "output/svg_text.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence starting at text[i] that XML accepts as
// a character, or 0.
std::size_t validSequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return (lead >= 0x20 && lead != 0x7f) ? 1 : 0;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
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
    // U+FFFE and U+FFFF are not XML characters.
    if (length == 3 && lead == 0xef && byte(i + 1) == 0xbf && byte(i + 2) >= 0xbe) return 0;
    return length;
}

}  // namespace

void appendXmlText(std::string& out, const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = validSequenceLength(text, i);
        if (length == 0) {
            out += "\xef\xbf\xbd";  // U+FFFD
            ++i;
            continue;
        }
        switch (text[i]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out.append(text, i, length);
        }
        i += length;
    }
}

int displayLength(const std::string& text) {
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const std::size_t length = validSequenceLength(text, i);
        i += length == 0 ? 1 : length;
    }
    return count;
}

std::string formatted(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void appendCoordinate(std::string& out, double value) {
    if (!std::isfinite(value)) value = 0;
    std::string text = formatted("%.2f", value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    out += text;
}

std::string valueText(double value) {
    if (!std::isfinite(value)) return "n/a";
    std::string text = formatted("%.3f", value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    return text;
}

void appendAttribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendCoordinate(out, value);
    out += '"';
}

void appendText(std::string& out, double x, double y, const std::string& text,
                const char* extraAttributes) {
    out += "<text";
    appendAttribute(out, "x", x);
    appendAttribute(out, "y", y);
    out += extraAttributes;
    out += '>';
    appendXmlText(out, text);
    out += "</text>\n";
}

void moveTo(std::string& path, double x, double y) {
    path += 'M';
    appendCoordinate(path, x);
    path += ' ';
    appendCoordinate(path, y);
}
void horizontalTo(std::string& path, double x) {
    path += 'H';
    appendCoordinate(path, x);
}
void verticalTo(std::string& path, double y) {
    path += 'V';
    appendCoordinate(path, y);
}

void appendPath(std::string& out, const std::string& path) {
    if (path.empty()) return;
    out += "<path fill=\"none\" stroke=\"#000000\" stroke-width=\"1\" d=\"";
    out += path;
    out += "\"/>\n";
}
