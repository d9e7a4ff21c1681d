// SVG picture of the first tree and the consensus tree: see dendrogram_svg.h.
#include "output/dendrogram_svg.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

#include "cluster/tree_writer.h"
#include "output/picture_geometry.h"
#include "output/svg_text.h"
#include "output/tree_layout.h"

using namespace picture;

namespace {

constexpr const char* ValueColour = "#1f4e99";

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

int widestLabel(const std::vector<int>& order, const NameTable& names, bool hasRowNames) {
    int widest = 1;
    for (int object : order)
        widest = std::max(widest, displayLength(leafLabel(object, names, hasRowNames)));
    return widest;
}

void appendLeafLabels(std::string& out, const std::vector<int>& order, double x,
                      const NameTable& names, bool hasRowNames) {
    out += "<g>\n";
    for (std::size_t row = 0; row < order.size(); ++row)
        appendText(out, x, baselineOf(static_cast<int>(row)),
                   leafLabel(order[row], names, hasRowNames));
    out += "</g>\n";
}

}  // namespace

void writeDendrogramSvg(std::string& out, const DendrogramInput& input) {
    const MergeTree& tree = input.firstTree;
    const TreeLayout layout = layoutMergeTree(tree);
    std::vector<std::string> notes;
    const int n = layout.problem.empty() ? tree.objectCount : 0;
    const std::size_t steps = layout.spanBegin.size();
    if (!layout.problem.empty())
        notes.push_back("The first tree cannot be drawn: " + layout.problem + ".");
    else if (steps > 0 && !layout.usesLeafOrder)
        notes.push_back("The tree's leaf order is not usable; objects are shown in merge order.");

    CladogramLayout consensus;
    if (n >= 2) {
        consensus = layoutCladogram(input.consensus, n);
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
    for (std::size_t s = 0; s < steps; ++s) {
        const double h = tree.height(static_cast<int>(s));
        if (std::isfinite(h)) {
            low = std::min(low, h);
            high = std::max(high, h);
        }
    }
    if (!(high > low)) high = low + 1;
    int notFiniteCount = 0;
    for (std::size_t s = 0; s < steps; ++s) {
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
            ? labelX2 + widestLabel(input.consensus.objectOrder, input.rowNames, input.hasRowNames) * CharWidth
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
    std::vector<int> position(static_cast<std::size_t>(n) + 1, 0);
    for (std::size_t row = 0; row < layout.order.size(); ++row)
        position[static_cast<std::size_t>(layout.order[row])] = static_cast<int>(row);
    std::vector<double> nodeX(steps);
    std::vector<double> nodeY(steps);
    const auto memberX = [&](int member) {
        return member < 0 ? axis.right : nodeX[static_cast<std::size_t>(member - 1)];
    };
    const auto memberY = [&](int member) {
        return member < 0 ? rowCentre(position[static_cast<std::size_t>(-member)])
                          : nodeY[static_cast<std::size_t>(member - 1)];
    };
    for (std::size_t s = 0; s < steps; ++s) {
        nodeX[s] = axis.x(drawnHeight[s]);
        nodeY[s] = (memberY(tree.mergeMember(static_cast<int>(s), 0)) +
                    memberY(tree.mergeMember(static_cast<int>(s), 1))) /
                   2;
    }
    const auto confidence = [&](std::size_t s) {
        return s < input.confidences.size() ? input.confidences[s] : std::nan("");
    };

    // Boxes first, so that lines and labels stay on top of them.
    if (steps > 0) {
        out += "<g fill=\"#d62728\" fill-opacity=\"0.08\" stroke=\"#d62728\" stroke-width=\"1\">\n";
        for (std::size_t s = 0; s + 1 < steps; ++s) {
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
    for (std::size_t s = 0; s < steps; ++s) {
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
        for (std::size_t s = 0; s < steps; ++s)
            appendText(out, nodeX[s] - 2, nodeY[s] - 2,
                       valueText(confidence(s)) + (notFinite[s] ? "*" : ""));
        out += "</g>\n";
    }

    if (drawConsensus) {
        const ConsensusTree& consensusTree = input.consensus;
        const std::size_t m = index(consensusTree.nodeCount());
        const double levelWidth = CladogramWidth / (consensus.maxDepth + 1);
        std::vector<double> x(m);
        std::vector<double> top(m, std::numeric_limits<double>::infinity());
        std::vector<double> bottom(m, -std::numeric_limits<double>::infinity());
        std::vector<double> y(m);
        for (std::size_t i = 0; i < m; ++i) x[i] = cladoLeft + consensus.depth[i] * levelWidth;
        std::string cladogram;
        for (int object = 1; object <= n; ++object) {
            const std::size_t parent =
                static_cast<std::size_t>(consensus.objectParent[static_cast<std::size_t>(object)]);
            const double rowY = rowCentre(consensus.position[static_cast<std::size_t>(object)]);
            top[parent] = std::min(top[parent], rowY);
            bottom[parent] = std::max(bottom[parent], rowY);
            moveTo(cladogram, x[parent], rowY);
            horizontalTo(cladogram, cladoRight);
        }
        for (std::size_t i = 0; i < m; ++i) {  // children sit in lower slots than their parents
            y[i] = (top[i] + bottom[i]) / 2;
            moveTo(cladogram, x[i], top[i]);
            verticalTo(cladogram, bottom[i]);
            if (i + 1 == m) continue;
            const std::size_t parent = static_cast<std::size_t>(consensus.parent[i]);
            top[parent] = std::min(top[parent], y[i]);
            bottom[parent] = std::max(bottom[parent], y[i]);
            moveTo(cladogram, x[parent], y[i]);
            horizontalTo(cladogram, x[i]);
        }
        appendPath(out, cladogram);
        appendLeafLabels(out, consensusTree.objectOrder, labelX2, input.rowNames, input.hasRowNames);
        out += "<g font-size=\"9\" fill=\"";
        out += ValueColour;
        out += "\" text-anchor=\"end\">\n";
        for (std::size_t i = 0; i < m; ++i)
            appendText(out, x[i] - 2, y[i] - 2, valueText(consensusTree.values[i]));
        out += "</g>\n";
    }

    for (std::size_t k = 0; k < notes.size(); ++k)
        appendText(out, Margin, bodyBottom + 60 + static_cast<double>(k) * NoteSpacing, notes[k]);
    out += "</svg>\n";
}
