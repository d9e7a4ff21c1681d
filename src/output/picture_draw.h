#pragma once
// Draws a picture layout with cairo into the bytes of an SVG, PDF or PNG file
// (PNG at 300 dots per inch), all text in one font family, DejaVu Sans, whose
// measures the layout takes from cairoTextMeasure.

#include <optional>
#include <string>

#include "output/picture_geometry.h"

enum class PictureFormat { Svg, Pdf, Png };

// By the file name's extension, in any case: .svg, .pdf, .png; nothing else.
std::optional<PictureFormat> pictureFormatOf(const std::string& fileName);

// The measures of the font the drawing uses (metrics unhinted, as drawn).
picture::TextMeasure cairoTextMeasure();

// The whole file; empty when cairo fails.
std::string drawPicture(const picture::Layout& layout, PictureFormat format);
