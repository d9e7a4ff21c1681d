#pragma once
// Text from a file or the command line, made safe to put into a message: at
// most a few dozen characters (longer text is cut and ends in "..."), and
// every control or non-ASCII byte shown as \xNN, so that no message carries
// terminal escape codes, invisible bytes or megabytes of one token.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t ShownTextLength = 40;

std::string printable(std::string_view text, std::size_t longest = ShownTextLength);

// printable(text) in double quotes, as messages show a token or a name.
std::string quotedText(std::string_view text);
