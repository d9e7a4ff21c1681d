// SVG picture of the first tree and the consensus tree: see dendrogram_svg.h.
#include "output/dendrogram_svg.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

#include "output/tree_layout.h"

namespace {

using Index = std::size_t;

constexpr double Margin = 20;
constexpr double RowPitch = 14;         // one object per row
constexpr double CharWidth = 6.7;       // advance of a monospace character at 11 px
constexpr double SmallCharWidth = 5.5;  // the same at 9 px
constexpr double HeaderHeight = 84;     // three title lines and the upper axis
constexpr double RootLabelRoom = 36;    // left of the root node, for its value
constexpr double TreeWidth = 380;
constexpr double CladogramWidth = 260;
constexpr double PanelGap = 60;
constexpr double LabelGap = 6;
constexpr double NoteSpacing = 16;
constexpr const char* BoxColour = "#d62728";
constexpr const char* ValueColour = "#1f4e99";

// ---- text -----------------------------------------------------------------

// Length of the valid UTF-8 sequence starting at text[i] that XML accepts as
// a character, or 0.
std::size_t validSequenceLength(const std::string& text, Index i) {
    const auto byte = [&](Index k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return (lead >= 0x20 && lead != 0x7f) ? 1 : 0;
    Index length = 0;
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
    for (Index k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xbf) return 0;
    // U+FFFE and U+FFFF are not XML characters.
    if (length == 3 && lead == 0xef && byte(i + 1) == 0xbf && byte(i + 2) >= 0xbe) return 0;
    return length;
}

// Number of characters the label shows (each invalid byte shows as one).
int displayLength(const std::string& text) {
    int count = 0;
    for (Index i = 0; i < text.size(); ++count) {
        const Index length = validSequenceLength(text, i);
        i += length == 0 ? 1 : length;
    }
    return count;
}

std::string formatted(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Coordinates with at most two decimals, trailing zeros dropped; a value that
// is not finite (never expected) is written as 0 to keep the document valid.
void appendCoordinate(std::string& out, double value) {
    if (!std::isfinite(value)) value = 0;
    std::string text = formatted("%.2f", value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    out += text;
}

// Confidence values with up to three decimals: 1, 0.95, 0.948; "n/a" when
// not finite.
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
                const char* extraAttributes = "") {
    out += "<text";
    appendAttribute(out, "x", x);
    appendAttribute(out, "y", y);
    out += extraAttributes;
    out += '>';
    appendXmlText(out, text);
    out += "</text>\n";
}

// ---- path pieces ----------------------------------------------------------

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

// ---- height axis ----------------------------------------------------------

struct HeightAxis {
    double low = 0;
    double high = 1;
    double right = 0;  // x of `low`
    // Halves keep the difference finite for heights near the limits of double.
    double x(double height) const {
        return right - (height / 2 - low / 2) / (high / 2 - low / 2) * TreeWidth;
    }
};

// 1, 2 or 5 times a power of ten, near a fifth of the range.
double tickStep(double range) {
    const double raw = range / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normalised = raw / magnitude;
    const double factor = normalised < 1.5 ? 1 : normalised < 3 ? 2 : normalised < 7 ? 5 : 10;
    return factor * magnitude;
}

void appendAxis(std::string& out, const HeightAxis& axis, double y, bool labelsAbove) {
    const double step = tickStep(axis.high - axis.low);
    if (!std::isfinite(step) || step <= 0) return;
    const double decimals = std::clamp(-std::floor(std::log10(step)), 0.0, 12.0);
    const bool plain = step >= 1e-9 && step < 1e7;
    std::string path;
    moveTo(path, axis.x(axis.low), y);
    horizontalTo(path, axis.x(axis.high));
    std::string labels;
    const double first = std::ceil(axis.low / step) * step;
    for (int k = 0; k < 50; ++k) {
        double tick = first + k * step;
        if (tick > axis.high + step * 1e-9) break;
        if (std::fabs(tick) < step * 1e-9) tick = 0;
        const double x = axis.x(tick);
        moveTo(path, x, y);
        verticalTo(path, labelsAbove ? y - 4 : y + 4);
        char text[64];
        if (plain)
            std::snprintf(text, sizeof text, "%.*f", static_cast<int>(decimals), tick);
        else
            std::snprintf(text, sizeof text, "%.3g", tick);
        appendText(labels, x, labelsAbove ? y - 7 : y + 15, text, " text-anchor=\"middle\"");
    }
    appendPath(out, path);
    out += "<g font-size=\"9\">\n";
    out += labels;
    out += "</g>\n";
}

// ---- consensus tree layout ------------------------------------------------

struct ConsensusLayout {
    std::string problem;            // empty when the tree can be drawn
    std::vector<int> order;         // object numbers top to bottom
    std::vector<int> position;      // object number -> row
    std::vector<int> parent;        // per cluster slot; -1 for the root
    std::vector<int> objectParent;  // object number -> smallest cluster holding it
    std::vector<int> depth;         // per cluster slot; the root is 0
    int maxDepth = 0;
};

// Whether values[0..n-1] holds each of 1..n once; fills position if so.
bool isPermutation(const std::vector<int>& values, int n, std::vector<int>& position) {
    if (values.size() < static_cast<Index>(n)) return false;
    position.assign(static_cast<Index>(n) + 1, -1);
    for (int i = 0; i < n; ++i) {
        const int object = values[static_cast<Index>(i)];
        if (object < 1 || object > n || position[static_cast<Index>(object)] >= 0) return false;
        position[static_cast<Index>(object)] = i;
    }
    return true;
}

ConsensusLayout layoutConsensus(const ClusterList& list, int n) {
    ConsensusLayout layout;
    const int m = list.clusterCount;
    if (m <= 0) {
        layout.problem = "The consensus tree has no clusters.";
        return layout;
    }
    const Index slots = static_cast<Index>(m);
    if (list.members.size() < slots || list.memberCounts.size() < slots ||
        list.values.size() < slots) {
        layout.problem = "The consensus cluster list is not complete.";
        return layout;
    }
    const auto size = [&](int slot) { return list.memberCounts[static_cast<Index>(slot)]; };
    if (size(m - 1) != n) {
        layout.problem = "The last consensus cluster does not hold every object.";
        return layout;
    }
    const Index count = static_cast<Index>(n);
    layout.order.assign(
        list.scratch.begin(),
        list.scratch.begin() + static_cast<std::ptrdiff_t>(std::min(count, list.scratch.size())));
    if (!isPermutation(layout.order, n, layout.position)) {
        // Not written yet: the root's members, read from the end, give the same order.
        const std::vector<int>& root = list.members[slots - 1];
        layout.order.assign(
            root.begin(), root.begin() + static_cast<std::ptrdiff_t>(std::min(count, root.size())));
        std::reverse(layout.order.begin(), layout.order.end());
        if (!isPermutation(layout.order, n, layout.position)) {
            layout.problem = "The consensus clusters hold no usable object order.";
            return layout;
        }
    }

    // Every cluster must be a block of distinct objects in that order.
    std::vector<int> first(slots);
    std::vector<int> last(slots);
    std::vector<int> stamp(static_cast<Index>(n) + 1, -1);
    for (int i = 0; i < m; ++i) {
        const std::vector<int>& members = list.members[static_cast<Index>(i)];
        const int count = size(i);
        bool valid = count >= 1 && static_cast<Index>(count) <= members.size();
        int low = n;
        int high = -1;
        for (int k = 0; valid && k < count; ++k) {
            const int object = members[static_cast<Index>(k)];
            valid = object >= 1 && object <= n && stamp[static_cast<Index>(object)] != i;
            if (!valid) break;
            stamp[static_cast<Index>(object)] = i;
            low = std::min(low, layout.position[static_cast<Index>(object)]);
            high = std::max(high, layout.position[static_cast<Index>(object)]);
        }
        if (!valid || high - low + 1 != count) {
            layout.problem = "Consensus cluster " + std::to_string(i + 1) +
                             " does not fit the tree's object order.";
            return layout;
        }
        first[static_cast<Index>(i)] = low;
        last[static_cast<Index>(i)] = high;
    }

    // The parent of a cluster is the next larger one around it (the list is
    // sorted by size); the parent of an object is the smallest cluster holding it.
    layout.parent.assign(slots, -1);
    for (int i = 0; i + 1 < m; ++i) {
        for (int j = i + 1; j < m; ++j) {
            if (first[static_cast<Index>(j)] <= first[static_cast<Index>(i)] &&
                last[static_cast<Index>(i)] <= last[static_cast<Index>(j)] && size(j) > size(i)) {
                layout.parent[static_cast<Index>(i)] = j;
                break;
            }
        }
        if (layout.parent[static_cast<Index>(i)] < 0) {
            layout.problem =
                "Consensus cluster " + std::to_string(i + 1) + " is not nested in a larger one.";
            return layout;
        }
    }
    layout.objectParent.assign(static_cast<Index>(n) + 1, -1);
    for (int i = 0; i < m; ++i)
        for (int k = 0; k < size(i); ++k) {
            int& parent = layout.objectParent[static_cast<Index>(
                list.members[static_cast<Index>(i)][static_cast<Index>(k)])];
            if (parent < 0) parent = i;
        }
    layout.depth.assign(slots, 0);
    for (int i = m - 2; i >= 0; --i) {
        layout.depth[static_cast<Index>(i)] =
            layout.depth[static_cast<Index>(layout.parent[static_cast<Index>(i)])] + 1;
        layout.maxDepth = std::max(layout.maxDepth, layout.depth[static_cast<Index>(i)]);
    }
    return layout;
}

double rowCentre(int row) {
    return HeaderHeight + (row + 0.5) * RowPitch;
}
double baselineOf(int row) {
    return rowCentre(row) + 4;
}

int widestLabel(const std::vector<int>& order, const NameTable& names, bool hasRowNames) {
    int widest = 1;
    for (int object : order)
        widest = std::max(widest, displayLength(objectLabel(object, names, hasRowNames)));
    return widest;
}

void appendLeafLabels(std::string& out, const std::vector<int>& order, double x,
                      const NameTable& names, bool hasRowNames) {
    out += "<g>\n";
    for (Index row = 0; row < order.size(); ++row)
        appendText(out, x, baselineOf(static_cast<int>(row)),
                   objectLabel(order[row], names, hasRowNames));
    out += "</g>\n";
}

}  // namespace

void appendXmlText(std::string& out, const std::string& text) {
    for (Index i = 0; i < text.size();) {
        const Index length = validSequenceLength(text, i);
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

void writeDendrogramSvg(std::string& out, const DendrogramInput& input) {
    const MergeTree& tree = input.firstTree;
    const TreeLayout layout = layoutMergeTree(tree);
    std::vector<std::string> notes;
    const int n = layout.problem.empty() ? tree.objectCount : 0;
    const Index steps = layout.spanBegin.size();
    if (!layout.problem.empty())
        notes.push_back("The first tree cannot be drawn: " + layout.problem + ".");
    else if (steps > 0 && !layout.usesLeafOrder)
        notes.push_back("The tree's leaf order is not usable; objects are shown in merge order.");

    ConsensusLayout consensus;
    if (n >= 2) {
        consensus = layoutConsensus(input.consensus, n);
        if (!consensus.problem.empty()) notes.push_back(consensus.problem);
    } else {
        consensus.problem = "none";
    }
    const bool drawConsensus = consensus.problem.empty();

    // Heights: the axis spans 0 and every finite height; others are drawn at its end.
    std::vector<double> drawnHeight(steps);
    std::vector<char> notFinite(steps, 0);
    double low = 0;
    double high = -std::numeric_limits<double>::infinity();
    for (Index s = 0; s < steps; ++s) {
        const double h = tree.height(static_cast<int>(s));
        if (std::isfinite(h)) {
            low = std::min(low, h);
            high = std::max(high, h);
        }
    }
    if (!(high > low)) high = low + 1;
    int notFiniteCount = 0;
    for (Index s = 0; s < steps; ++s) {
        const double h = tree.height(static_cast<int>(s));
        drawnHeight[s] = std::isfinite(h) ? h : (h < 0 ? low : high);
        if (!std::isfinite(h)) {
            notFinite[s] = 1;
            ++notFiniteCount;
        }
    }
    if (notFiniteCount > 0)
        notes.push_back("* " + std::to_string(notFiniteCount) +
                        " merge height(s) not finite (not a number or infinite): drawn at the end "
                        "of the axis.");

    // Horizontal layout.
    const std::string highlightText = formatted("%g", input.highlight);
    const std::string title1 = "First tree";
    const std::string line2a = "merge height on the axis, confidence at the nodes";
    const std::string line3a = "boxed: confidence >= " + highlightText;
    const std::string title2 = "Consensus tree (majority rule)";
    const std::string line2b = "confidence at the nodes";
    const double treeLeft = Margin + RootLabelRoom;
    HeightAxis axis;
    axis.low = low;
    axis.high = high;
    axis.right = treeLeft + TreeWidth;
    const double labelX1 = axis.right + LabelGap;
    const double panel1End =
        labelX1 + widestLabel(layout.order, input.rowNames, input.hasRowNames) * CharWidth;
    const double cladoLeft =
        std::max(panel1End, treeLeft + static_cast<double>(line2a.size()) * CharWidth) + PanelGap;
    const double cladoRight = cladoLeft + CladogramWidth;
    const double labelX2 = cladoRight + LabelGap;
    double width =
        drawConsensus
            ? labelX2 + widestLabel(consensus.order, input.rowNames, input.hasRowNames) * CharWidth
            : panel1End;
    width = std::max(width, cladoLeft + static_cast<double>(title2.size()) * CharWidth);
    for (const std::string& note : notes)
        width = std::max(width, Margin + displayLength(note) * CharWidth);
    width = std::ceil(width + Margin);
    const double bodyBottom = HeaderHeight + n * RowPitch;
    const double height =
        std::ceil(bodyBottom + 56 + static_cast<double>(notes.size()) * NoteSpacing + Margin);

    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
    appendAttribute(out, "width", width);
    appendAttribute(out, "height", height);
    out += " viewBox=\"0 0 ";
    appendCoordinate(out, width);
    out += ' ';
    appendCoordinate(out, height);
    out += "\" font-family=\"monospace\" font-size=\"11\">\n";
    out += "<title>First tree with confidence values and consensus tree</title>\n";
    out += "<rect x=\"0\" y=\"0\"";
    appendAttribute(out, "width", width);
    appendAttribute(out, "height", height);
    out += " fill=\"#ffffff\"/>\n";

    appendText(out, treeLeft, 18, title1, " font-weight=\"bold\"");
    appendText(out, treeLeft, 34, line2a);
    appendText(out, treeLeft, 50, line3a, " fill=\"#d62728\"");
    if (drawConsensus) {
        appendText(out, cladoLeft, 18, title2, " font-weight=\"bold\"");
        appendText(out, cladoLeft, 34, line2b);
    }

    // First tree: node positions.
    std::vector<int> position(static_cast<Index>(n) + 1, 0);
    for (Index row = 0; row < layout.order.size(); ++row)
        position[static_cast<Index>(layout.order[row])] = static_cast<int>(row);
    std::vector<double> nodeX(steps);
    std::vector<double> nodeY(steps);
    const auto memberX = [&](int member) {
        return member < 0 ? axis.right : nodeX[static_cast<Index>(member - 1)];
    };
    const auto memberY = [&](int member) {
        return member < 0 ? rowCentre(position[static_cast<Index>(-member)])
                          : nodeY[static_cast<Index>(member - 1)];
    };
    for (Index s = 0; s < steps; ++s) {
        nodeX[s] = axis.x(drawnHeight[s]);
        nodeY[s] = (memberY(tree.mergeMember(static_cast<int>(s), 0)) +
                    memberY(tree.mergeMember(static_cast<int>(s), 1))) /
                   2;
    }
    const auto confidence = [&](Index s) {
        return s < input.confidences.size() ? input.confidences[s] : std::nan("");
    };

    // Boxes first, so that lines and labels stay on top of them.
    if (steps > 0) {
        out += "<g fill=\"#d62728\" fill-opacity=\"0.08\" stroke=\"#d62728\" stroke-width=\"1\">\n";
        for (Index s = 0; s + 1 < steps; ++s) {
            const double c = confidence(s);
            if (!(std::isfinite(c) && c >= input.highlight)) continue;
            const double x = nodeX[s] - 3;
            out += "<rect";
            appendAttribute(out, "x", x);
            appendAttribute(out, "y", HeaderHeight + layout.spanBegin[s] * RowPitch + 1);
            appendAttribute(out, "width", panel1End + 3 - x);
            appendAttribute(out, "height",
                            (layout.spanEnd[s] - layout.spanBegin[s]) * RowPitch - 2);
            out += "/>\n";
        }
        out += "</g>\n";
        appendAxis(out, axis, HeaderHeight - 10, true);
        appendAxis(out, axis, bodyBottom + 10, false);
        appendText(out, axis.x((low + high) / 2), bodyBottom + 40, "merge height",
                   " text-anchor=\"middle\"");
    }

    std::string path;
    for (Index s = 0; s < steps; ++s) {
        const int m0 = tree.mergeMember(static_cast<int>(s), 0);
        const int m1 = tree.mergeMember(static_cast<int>(s), 1);
        moveTo(path, nodeX[s], memberY(m0));
        verticalTo(path, memberY(m1));
        for (int member : {m0, m1}) {
            moveTo(path, nodeX[s], memberY(member));
            horizontalTo(path, memberX(member));
        }
    }
    appendPath(out, path);
    appendLeafLabels(out, layout.order, labelX1, input.rowNames, input.hasRowNames);
    if (steps > 0) {
        out += "<g font-size=\"9\" fill=\"";
        out += ValueColour;
        out += "\" text-anchor=\"end\">\n";
        for (Index s = 0; s < steps; ++s)
            appendText(out, nodeX[s] - 2, nodeY[s] - 2,
                       valueText(confidence(s)) + (notFinite[s] ? "*" : ""));
        out += "</g>\n";
    }

    if (drawConsensus) {
        const ClusterList& list = input.consensus;
        const Index m = static_cast<Index>(list.clusterCount);
        const double levelWidth = CladogramWidth / (consensus.maxDepth + 1);
        std::vector<double> x(m);
        std::vector<double> top(m, std::numeric_limits<double>::infinity());
        std::vector<double> bottom(m, -std::numeric_limits<double>::infinity());
        std::vector<double> y(m);
        for (Index i = 0; i < m; ++i) x[i] = cladoLeft + consensus.depth[i] * levelWidth;
        std::string cladogram;
        for (int object = 1; object <= n; ++object) {
            const Index parent =
                static_cast<Index>(consensus.objectParent[static_cast<Index>(object)]);
            const double rowY = rowCentre(consensus.position[static_cast<Index>(object)]);
            top[parent] = std::min(top[parent], rowY);
            bottom[parent] = std::max(bottom[parent], rowY);
            moveTo(cladogram, x[parent], rowY);
            horizontalTo(cladogram, cladoRight);
        }
        for (Index i = 0; i < m; ++i) {  // children sit in lower slots than their parents
            y[i] = (top[i] + bottom[i]) / 2;
            moveTo(cladogram, x[i], top[i]);
            verticalTo(cladogram, bottom[i]);
            if (i + 1 == m) continue;
            const Index parent = static_cast<Index>(consensus.parent[i]);
            top[parent] = std::min(top[parent], y[i]);
            bottom[parent] = std::max(bottom[parent], y[i]);
            moveTo(cladogram, x[parent], y[i]);
            horizontalTo(cladogram, x[i]);
        }
        appendPath(out, cladogram);
        appendLeafLabels(out, consensus.order, labelX2, input.rowNames, input.hasRowNames);
        out += "<g font-size=\"9\" fill=\"";
        out += ValueColour;
        out += "\" text-anchor=\"end\">\n";
        for (Index i = 0; i < m; ++i)
            appendText(out, x[i] - 2, y[i] - 2, valueText(list.values[i]));
        out += "</g>\n";
    }

    for (Index k = 0; k < notes.size(); ++k)
        appendText(out, Margin, bodyBottom + 60 + static_cast<double>(k) * NoteSpacing, notes[k]);
    out += "</svg>\n";
}
