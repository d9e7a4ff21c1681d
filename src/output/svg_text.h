#pragma once
// The text pieces of an SVG document: XML character data, numbers as
// attribute values, text elements and paths.

#include <string>

// Appends text as XML character data: & < > " ' as entities, invalid UTF-8
// sequences and control characters as U+FFFD.
void appendXmlText(std::string& out, const std::string& text);

// Number of characters a label shows (each invalid byte shows as one).
int displayLength(const std::string& text);

// printf-style formatting of one number.
std::string formatted(const char* format, double value);

// Coordinates with at most two decimals, trailing zeros dropped; a value that
// is not finite (never expected) is written as 0 to keep the document valid.
void appendCoordinate(std::string& out, double value);

// Confidence values with up to three decimals: 1, 0.95, 0.948; "n/a" when
// not finite.
std::string valueText(double value);

// ` name="value"` with the value as a coordinate.
void appendAttribute(std::string& out, const char* name, double value);

// A <text> element at (x, y) with the escaped text.
void appendText(std::string& out, double x, double y, const std::string& text,
                const char* extraAttributes = "");

// Path data: move to a point, a horizontal or a vertical line.
void moveTo(std::string& path, double x, double y);
void horizontalTo(std::string& path, double x);
void verticalTo(std::string& path, double y);

// A black 1-pixel <path> of the data (nothing when empty).
void appendPath(std::string& out, const std::string& path);
