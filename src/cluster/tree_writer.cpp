// Tree texts in the "S_Plus" and "New_Hampshire" notations: see tree_writer.h.

#include "cluster/tree_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void appendFormatted(std::string& out, const char* format, int value) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    out.append(buffer, static_cast<std::size_t>(length));
}

// Not-a-number and the infinities get the same spelling on every platform
// (the C library may write "-nan" for a not-a-number with its sign bit set).
const char* nonFiniteText(double value) {
    if (std::isnan(value)) return "nan";
    return value > 0 ? "inf" : "-inf";
}

// Removes the zeros at the end of the fraction digits that start after the
// point at position point and end before position end; the point stays.
void removeTrailingZeros(std::string& text, std::size_t point, std::size_t end) {
    std::size_t last = end;
    while (last > point + 1 && text[last - 1] == '0') --last;
    text.erase(last, end - last);
}

void writeSPlus(std::string& out, const MergeTree& tree, const std::vector<double>& values) {
    const int steps = tree.stepCount();
    appendFormatted(out, "The number of nodes is : %6d\n", steps);
    out += "The nodes of the tree are :\n";
    for (int s = 0; s < steps; ++s) {
        appendFormatted(out, "\t2\t%6d", tree.mergeMember(s, 0));
        appendFormatted(out, "\t%6d\n", tree.mergeMember(s, 1));
    }
    out += "The heights of the tree nodes are :\n";
    for (int s = 0; s < steps; ++s) {
        char buffer[400];  // "%10.6f" of the largest double needs 316 characters
        const double h = values[index(s)];
        const int length = std::isfinite(h) ? std::snprintf(buffer, sizeof buffer, "%10.6f\n", h)
                                            : std::snprintf(buffer, sizeof buffer, "%10s\n", nonFiniteText(h));
        out.append(buffer, static_cast<std::size_t>(length));
    }
    out += "The order of objects in the tree is :\n";
    for (int object : tree.leafOrder) appendFormatted(out, "%6d\n", object);
}

// The nested line is produced by one depth-first walk that writes every
// step's text where it belongs, instead of building and copying one text
// per step; the result is the same text.
void writeNewHampshire(std::string& out, const MergeTree& tree, const std::vector<double>& values,
                       const NameTable& rowNames, bool hasRowNames) {
    const int steps = tree.stepCount();
    if (steps == 0) {
        // A single object: its label as a one-leaf tree.
        if (tree.objectCount == 1) appendLeafLabel(out, 1, rowNames, hasRowNames);
        out += ";\n";
        return;
    }
    // Work items: a member to write, or (as Close) the end of a step's text.
    struct Item {
        int member;
        bool close;
    };
    std::vector<Item> pending{{steps, false}};
    while (!pending.empty()) {
        const Item item = pending.back();
        pending.pop_back();
        if (item.close) {
            out += "):";
            out += formatValueText(values[index(item.member - 1)]);
            continue;
        }
        if (item.member == 0) {  // the comma between the two members of a step
            out += ',';
            continue;
        }
        if (item.member < 0) {
            appendLeafLabel(out, -item.member, rowNames, hasRowNames);
            continue;
        }
        if (item.member > steps) continue;
        const int first = tree.mergeMember(item.member - 1, 0);
        const int second = tree.mergeMember(item.member - 1, 1);
        out += '(';
        pending.push_back({item.member, true});
        // Members naming this step or a later one would make the walk
        // endless; they are written as empty texts.
        pending.push_back({second < item.member ? second : steps + 1, false});
        pending.push_back({0, false});
        pending.push_back({first < item.member ? first : steps + 1, false});
    }
    out += ";\n";
}

// The decimal exponent that formatValueText's fixed notation takes for a
// value (-1 to 5), or 99 where it writes an exponent.
int fixedNotationExponent(double magnitude) {
    if (!(magnitude >= 0.1 && magnitude < 1e6)) return 99;
    int e = -1;
    for (double power = 1.0; e < 5 && magnitude >= power; power *= 10.0) ++e;
    return e;
}

// The integer that every value from low to high (0 < low <= high) rounds to
// when scaled by 10^power, or -1 when they may not all round alike. The
// scaling by a power of ten up to 10^22 (exact) rounds once, within 2^-53 of
// the scaled value; each end must lie that far inside the same rounding
// interval, so that no tie and no boundary is in reach.
long long commonRounding(double low, double high, int power) {
    if (power > 22 || power < -22) return -1;
    double scale = 1;
    for (int k = 0; k < std::abs(power); ++k) scale *= 10;
    auto scaled = [&](double x) { return power >= 0 ? x * scale : x / scale; };
    const double a = scaled(low), b = scaled(high);
    if (!(b < 0x1p50)) return -1;
    const double k = std::nearbyint(a);
    auto inside = [k](double t) { return std::fabs(t - k) < 0.5 - (t * 0x1p-50 + 0x1p-60); };
    if (std::nearbyint(b) != k || !inside(a) || !inside(b)) return -1;
    return static_cast<long long>(k);
}

}  // namespace

bool printsAlike(double low, double high) {
    if (!(low > 0 && low <= high && high < 1e300)) return false;
    if (commonRounding(low, high, 6) < 0) return false;  // "%10.6f"
    // Six significant digits: the same notation and digit count at both ends,
    // and the same digits.
    const int e = fixedNotationExponent(low);
    if (e != fixedNotationExponent(high)) return false;
    if (e != 99) return commonRounding(low, high, 5 - e) >= 0;
    const int exponent = static_cast<int>(std::floor(std::log10(low)));
    const long long digits = commonRounding(low, high, 5 - exponent);
    return digits >= 100000 && digits <= 999999;
}

std::string formatValueText(double value) {
    if (!std::isfinite(value)) return nonFiniteText(value);
    // The notation is chosen on the value before rounding: fixed notation
    // for a decimal exponent e of -1 to 5, that is 0.1 <= |value| < 1e6
    // (0.1 as a double is the smallest double not below one tenth), and
    // for zero. Each threshold below is exact.
    const double magnitude = std::fabs(value);
    char buffer[64];
    std::string text;
    const int e = magnitude == 0.0 ? -1 : fixedNotationExponent(magnitude);
    if (e != 99) {
        const int length = std::snprintf(buffer, sizeof buffer, "%.*f", 5 - e, value);
        text.assign(buffer, static_cast<std::size_t>(length));
        const std::size_t point = text.find('.');
        if (point != std::string::npos) removeTrailingZeros(text, point, text.size());
        return text;
    }
    const int length = std::snprintf(buffer, sizeof buffer, "%.5e", value);
    text.assign(buffer, static_cast<std::size_t>(length));
    const std::size_t letter = text.find('e');
    // At least three exponent digits: the sign is at letter + 1.
    const std::size_t digits = text.size() - (letter + 2);
    if (digits < 3) text.insert(letter + 2, 3 - digits, '0');
    removeTrailingZeros(text, text.find('.'), letter);
    return text;
}

void appendLeafLabel(std::string& out, int object, const NameTable& rowNames, bool hasRowNames) {
    if (hasRowNames && object >= 1 && index(object) <= rowNames.size())
        out += rowNames[index(object - 1)];
    else
        out += std::to_string(object);
}

std::string leafLabel(int object, const NameTable& rowNames, bool hasRowNames) {
    std::string label;
    appendLeafLabel(label, object, rowNames, hasRowNames);
    return label;
}

void writeMergeTree(std::string& out, const MergeTree& tree, TreeNotation notation, const NameTable& rowNames,
                    bool hasRowNames) {
    writeMergeTree(out, tree, tree.heights, notation, rowNames, hasRowNames);
}

void writeMergeTree(std::string& out, const MergeTree& tree, const std::vector<double>& stepValues,
                    TreeNotation notation, const NameTable& rowNames, bool hasRowNames) {
    switch (notation) {
    case TreeNotation::SPlus: writeSPlus(out, tree, stepValues); break;
    case TreeNotation::NewHampshire: writeNewHampshire(out, tree, stepValues, rowNames, hasRowNames); break;
    }
}
