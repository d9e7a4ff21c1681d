#pragma once
// The texts of the picture: labels made safe to draw, confidence values,
// names shortened to a width and captions wrapped to one.

#include <string>
#include <vector>

#include "output/picture_geometry.h"

namespace picture {

// The text with each invalid UTF-8 byte and each control character shown as
// U+FFFD, so that every label is valid UTF-8.
std::string displayText(const std::string& text);

// Confidence values with up to three decimals: 1, 0.95, 0.948; "n/a" when
// not finite.
std::string valueText(double value);

// The text, or as much of it as fits the width followed by an ellipsis.
std::string fitted(const std::string& text, double width, double size, const TextMeasure& measure);

// The text broken at spaces into lines no wider than width; a word wider
// than that is shortened.
std::vector<std::string> wrapped(const std::string& text, double width, double size,
                                 const TextMeasure& measure);

}  // namespace picture
