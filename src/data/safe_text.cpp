#include "data/safe_text.h"

std::string printable(std::string_view text, std::size_t longest) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string shown;
    std::size_t count = 0;  // characters as shown, an escape counting as one
    for (const char c : text) {
        if (count == longest) {
            shown += "...";
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            shown += "\\x";
            shown += Hex[byte >> 4];
            shown += Hex[byte & 0xF];
        } else {
            shown += c;
        }
        ++count;
    }
    return shown;
}

std::string quotedText(std::string_view text) {
    std::string out(1, '"');
    out += printable(text);
    out += '"';
    return out;
}
