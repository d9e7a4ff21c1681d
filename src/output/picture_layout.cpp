// The picture's layout: see picture_layout.h.
#include "output/picture_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cluster/tree_writer.h"
#include "output/cluster_pick.h"
#include "output/picture_text.h"
#include "output/tree_layout.h"
#include "output/tree_panel.h"

using namespace picture;

namespace {

constexpr double Margin = 18;
constexpr double PanelGap = 24;

void addText(Layout& layout, const TextMeasure& measure, const std::string& text, double x,
             double baseline, double size, bool bold, Ink ink) {
    const FontMetrics font = measure.metrics(size);
    layout.labels.push_back({text, x, baseline, size, bold, ink,
                             {x, baseline - font.ascent, x + measure.advance(text, size),
                              baseline + font.descent}});
}

// Lines of text from y down, each no wider than width; returns the y below them.
double addLines(Layout& layout, const TextMeasure& measure, const std::string& text, double x,
                double y, double width, double size, Ink ink) {
    const FontMetrics font = measure.metrics(size);
    for (const std::string& line : wrapped(displayText(text), width, size, measure)) {
        addText(layout, measure, line, x, y + font.ascent, size, false, ink);
        y += font.ascent + font.descent + size * 0.25;
    }
    return y;
}

std::string numberText(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The merge-height axis under the first tree; returns the y below it.
double addAxis(Layout& layout, const TextMeasure& measure, double low, double high, double left,
               double right, double y, double size) {
    const auto x = [&](double h) { return right - (h / 2 - low / 2) / (high / 2 - low / 2) * (right - left); };
    layout.lines.push_back({x(low), y, x(high), y, Ink::Axis});
    const FontMetrics font = measure.metrics(size);
    const double step = tickStep(high - low);
    if (std::isfinite(step) && step > 0) {
        const int decimals = static_cast<int>(std::clamp(-std::floor(std::log10(step)), 0.0, 12.0));
        const bool plain = step >= 1e-9 && step < 1e7;
        double lastLeft = std::numeric_limits<double>::infinity();  // ticks go right to left
        const double first = std::ceil(low / step) * step;
        for (int k = 0; k < 50; ++k) {
            double tick = first + k * step;
            if (tick > high + step * 1e-9) break;
            if (std::fabs(tick) < step * 1e-9) tick = 0;
            layout.lines.push_back({x(tick), y, x(tick), y + 3, Ink::Axis});
            char text[64];
            if (plain) std::snprintf(text, sizeof text, "%.*f", decimals, tick);
            else std::snprintf(text, sizeof text, "%.3g", tick);
            const double width = measure.advance(text, size);
            const double textLeft = x(tick) - width / 2;
            if (textLeft + width > lastLeft - 3) continue;  // keeps tick texts apart
            addText(layout, measure, text, textLeft, y + 4 + font.ascent, size, false, Ink::Axis);
            lastLeft = textLeft;
        }
    }
    y += 4 + font.ascent + font.descent + size * 0.4;
    const std::string title = "merge height";
    const double width = measure.advance(title, size);
    addText(layout, measure, title, (left + right - width) / 2, y + font.ascent, size, false, Ink::Axis);
    return y + font.ascent + font.descent;
}

double widestOf(const std::vector<std::string>& texts, double size, const TextMeasure& measure) {
    double widest = 0;
    for (const std::string& text : texts) widest = std::max(widest, measure.advance(text, size));
    return widest;
}

}  // namespace

Layout layoutPicture(const PictureInput& input, const TextMeasure& measure) {
    Layout layout;
    layout.width = input.width;
    const double fs = input.fontSize, valueSize = fs * 0.8, inner = input.width - 2 * Margin;
    std::string caption;
    for (const std::string& item : input.caption) caption += (caption.empty() ? "" : "; ") + item;
    double y = addLines(layout, measure, caption, Margin, Margin, inner, fs, Ink::Caption);

    const MergeTree& tree = input.firstTree;
    const TreeLayout order = layoutMergeTree(tree);
    std::vector<std::string> notes;
    const int n = order.problem.empty() ? tree.objectCount : 0;
    const std::size_t steps = order.spanBegin.size();
    if (!order.problem.empty()) notes.push_back("The first tree cannot be drawn: " + order.problem + ".");
    else if (steps > 0 && !order.usesLeafOrder)
        notes.push_back("The tree's leaf order is not usable; objects are shown in merge order.");
    CladogramLayout clado;
    clado.problem = "none";
    if (n >= 2) {
        clado = layoutCladogram(input.consensus, n);
        if (!clado.problem.empty()) notes.push_back(clado.problem);
    }
    const bool drawConsensus = clado.problem.empty();

    // Rows: a readable pitch, closer for large trees so that the page keeps its shape.
    const double natural = fs * 1.45, maxBody = 1.2 * input.width;
    const double pitch = n > 0 ? std::min(natural, maxBody / n) : natural;
    const FontMetrics unit = measure.metrics(1);
    const double leafSize = std::clamp((pitch - 1) / (unit.ascent + unit.descent), 0.7 * fs, fs);

    std::vector<std::string> firstTexts, consensusTexts;
    for (int object : order.order)
        firstTexts.push_back(displayText(leafLabel(object, input.rowNames, input.hasRowNames)));
    if (drawConsensus)
        for (int object : input.consensus.objectOrder)
            consensusTexts.push_back(displayText(leafLabel(object, input.rowNames, input.hasRowNames)));
    const double labelColumn =
        std::min(widestOf(firstTexts, leafSize, measure), 0.2 * inner) + 3 + 4 + BoxInset;
    const double treeSpace = inner - (drawConsensus ? 2 * labelColumn + PanelGap : labelColumn);
    const double firstWidth = drawConsensus ? treeSpace * 0.6 : treeSpace;
    const double rootRoom = measure.advance("0.000*", valueSize) + BoxInset + 4;

    // Panel titles.
    const FontMetrics titleFont = measure.metrics(fs);
    y += fs * 0.5;
    const double titleBaseline = y + titleFont.ascent;
    const double consensusLeft = Margin + firstWidth + labelColumn + PanelGap;
    if (steps > 0)
        addText(layout, measure, fitted("First tree: merge height, confidence at the nodes",
                                        firstWidth + labelColumn, fs, measure),
                Margin, titleBaseline, fs, true, Ink::Text);
    if (drawConsensus)
        addText(layout, measure, fitted("Consensus tree (majority rule)", inner + Margin - consensusLeft, fs, measure),
                consensusLeft, titleBaseline, fs, true, Ink::Text);
    y = titleBaseline + titleFont.descent + fs * 0.5;
    const double bodyTop = y, bodyBottom = bodyTop + n * pitch;

    // Heights: the axis spans 0 and every finite height; others stand at its end.
    double low = 0, high = -std::numeric_limits<double>::infinity();
    for (std::size_t s = 0; s < steps; ++s)
        if (std::isfinite(tree.heights[s])) low = std::min(low, tree.heights[s]), high = std::max(high, tree.heights[s]);
    if (!(high > low)) high = low + 1;
    int notFinite = 0;
    Panel first;
    first.left = Margin;
    first.leafX = Margin + firstWidth;
    first.boxRight = first.leafX + labelColumn - 2;
    first.top = bodyTop;
    first.pitch = pitch;
    const double axisLeft = Margin + rootRoom;
    const auto xOf = [&](double h) {
        return first.leafX - (h / 2 - low / 2) / (high / 2 - low / 2) * (first.leafX - axisLeft);
    };
    std::vector<int> row(index(n) + 1, 0);
    for (std::size_t r = 0; r < order.order.size(); ++r) row[index(order.order[r])] = static_cast<int>(r);
    std::vector<int> picked;
    if (steps > 0)
        picked = input.highlightNested ? stepsAtLeast(tree, input.confidences, input.highlight)
                                       : outermostStepsAtLeast(tree, input.confidences, input.highlight);
    for (std::size_t s = 0; s < steps; ++s) {
        PanelNode node;
        const double h = tree.heights[s];
        node.x = xOf(std::isfinite(h) ? h : (h < 0 ? low : high));
        for (int side = 0; side < 2; ++side) {
            const int member = tree.mergeMember(static_cast<int>(s), side);
            node.children.push_back(member < 0 ? -(row[index(-member)] + 1) : member - 1);
        }
        node.value = valueText(s < input.confidences.size() ? input.confidences[s] : std::nan(""));
        if (!std::isfinite(h)) node.value += "*", ++notFinite;
        node.boxed = std::binary_search(picked.begin(), picked.end(), static_cast<int>(s));
        first.nodes.push_back(node);
    }
    finishPanel(first);
    addPanelLines(first, layout);
    layout.hiddenValues = placeValueLabels(first, valueSize, measure, layout);
    const double leafTextX = first.leafX + 3;
    layout.shownLeafLabels = placeLeafLabels(first, firstTexts, leafTextX, first.boxRight - 2 - leafTextX,
                                             leafSize, measure, layout);
    y = bodyBottom + 5;
    if (steps > 0) y = addAxis(layout, measure, low, high, axisLeft, first.leafX, y, valueSize);

    if (drawConsensus) {
        const ConsensusTree& consensus = input.consensus;
        Panel second;
        second.left = consensusLeft;
        second.leafX = consensusLeft + (treeSpace - firstWidth);
        second.boxRight = second.leafX + labelColumn - 2;
        second.top = bodyTop;
        second.pitch = pitch;
        const double rootX = consensusLeft + rootRoom;
        const double level = (second.leafX - rootX) / (clado.maxDepth + 1);
        for (int i = 0; i < consensus.nodeCount(); ++i) {
            PanelNode node;
            node.x = rootX + clado.depth[index(i)] * level;
            for (int entry : consensus.children[index(i)])
                node.children.push_back(entry > 0 ? entry - 1 : -(clado.position[index(-entry)] + 1));
            node.value = valueText(consensus.values[index(i)]);
            second.nodes.push_back(node);
        }
        finishPanel(second);
        addPanelLines(second, layout);
        layout.hiddenValues += placeValueLabels(second, valueSize, measure, layout);
        const double textX = second.leafX + 3;
        placeLeafLabels(second, consensusTexts, textX, second.boxRight - 2 - textX, leafSize, measure, layout);
    }

    if (steps > 0)
        notes.insert(notes.begin(), std::string(input.highlightNested ? "Boxed: every cluster" : "Boxed: the outermost clusters") +
                                        " of the first tree with a confidence of at least " + numberText("%g", input.highlight) + ".");
    if (notFinite > 0)
        notes.push_back("* " + std::to_string(notFinite) +
                        " merge height(s) not finite (not a number or infinite): drawn at the end of the axis.");
    if (layout.shownLeafLabels < n)
        notes.push_back("Rows too close to label each: " + std::to_string(layout.shownLeafLabels) + " of " +
                        std::to_string(n) + " leaf labels shown; the cluster table names every member.");
    if (layout.hiddenValues > 0)
        notes.push_back(std::to_string(layout.hiddenValues) +
                        " confidence value(s) had no room beside their node; the cluster table lists every value.");
    y += fs * 0.5;
    for (const std::string& note : notes) y = addLines(layout, measure, note, Margin, y, inner, valueSize, Ink::Note);
    layout.height = std::ceil(y + Margin);
    return layout;
}
