// One tree of the picture: see tree_panel.h.
#include "output/tree_panel.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "output/picture_text.h"

namespace picture {

namespace {

constexpr double Gap = 1.5;        // between a label and the nearest line
constexpr double BranchClear = 1;  // between a label and the branch beside it

// Inset of box edges from the rows they enclose.
double edgeInset(const Panel& panel) { return std::min(1.0, panel.pitch / 4); }

Rect boxOf(const Panel& panel, const PanelNode& node) {
    const double inset = edgeInset(panel);
    return {node.x - BoxInset, panel.top + node.spanBegin * panel.pitch + inset, panel.boxRight,
            panel.top + node.spanEnd * panel.pitch - inset};
}

// The room beside a node, above its branch (upper) or below it: left of the
// node, in the node's own rows, up to the first ancestor whose vertical line
// or box edge passes through those rows.
Rect roomBeside(const Panel& panel, int node, bool upper) {
    const PanelNode& n = panel.nodes[index(node)];
    const double margin = edgeInset(panel) + 0.5;
    Rect room;
    room.right = n.x - BoxInset - Gap;
    room.left = panel.left;
    if (upper) {
        room.top = panel.top + n.spanBegin * panel.pitch + margin;
        room.bottom = n.y - BranchClear;
    } else {
        room.top = n.y + BranchClear;
        room.bottom = panel.top + n.spanEnd * panel.pitch - margin;
    }
    for (int child = node, a = n.parent; a >= 0; child = a, a = panel.nodes[index(a)].parent) {
        const PanelNode& ancestor = panel.nodes[index(a)];
        const PanelNode& c = panel.nodes[index(child)];
        if (ancestor.boxed) room.left = std::max(room.left, ancestor.x - BoxInset + Gap);
        const bool outerEdge = upper ? c.spanBegin == ancestor.spanBegin : c.spanEnd == ancestor.spanEnd;
        if (!outerEdge) {  // the ancestor's vertical line passes through these rows
            room.left = std::max(room.left, ancestor.x + Gap);
            break;
        }
    }
    return room;
}

}  // namespace

void finishPanel(Panel& panel) {
    for (std::size_t i = 0; i < panel.nodes.size(); ++i) {
        PanelNode& node = panel.nodes[i];
        node.spanBegin = std::numeric_limits<int>::max();
        node.spanEnd = 0;
        double top = std::numeric_limits<double>::infinity(), bottom = -top;
        for (int child : node.children) {
            int begin = -child - 1, end = -child;
            double y = child < 0 ? panel.rowCentre(-child - 1) : 0;
            if (child >= 0) {
                PanelNode& c = panel.nodes[index(child)];
                c.parent = static_cast<int>(i);
                begin = c.spanBegin, end = c.spanEnd, y = c.y;
            }
            node.spanBegin = std::min(node.spanBegin, begin);
            node.spanEnd = std::max(node.spanEnd, end);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        node.y = (top + bottom) / 2;
    }
}

void addPanelLines(const Panel& panel, Layout& layout) {
    for (const PanelNode& node : panel.nodes) {
        if (!node.boxed) continue;
        const Rect box = boxOf(panel, node);
        layout.highlights.push_back(box);
        layout.lines.push_back({box.left, box.top, box.right, box.top, Ink::Highlight});
        layout.lines.push_back({box.left, box.bottom, box.right, box.bottom, Ink::Highlight});
        layout.lines.push_back({box.left, box.top, box.left, box.bottom, Ink::Highlight});
        layout.lines.push_back({box.right, box.top, box.right, box.bottom, Ink::Highlight});
    }
    for (const PanelNode& node : panel.nodes) {
        double top = std::numeric_limits<double>::infinity(), bottom = -top;
        for (int child : node.children) {
            const bool leaf = child < 0;
            const double y = leaf ? panel.rowCentre(-child - 1) : panel.nodes[index(child)].y;
            const double x = leaf ? panel.leafX : panel.nodes[index(child)].x;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            layout.lines.push_back({node.x, y, x, y, Ink::Tree});
        }
        layout.lines.push_back({node.x, top, node.x, bottom, Ink::Tree});
    }
}

int placeValueLabels(const Panel& panel, double size, const TextMeasure& measure, Layout& layout) {
    // Larger clusters first: they get the room when two values compete.
    std::vector<int> order(panel.nodes.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const PanelNode& x = panel.nodes[index(a)];
        const PanelNode& y = panel.nodes[index(b)];
        return x.spanEnd - x.spanBegin > y.spanEnd - y.spanBegin;
    });
    const std::size_t firstOwn = layout.labels.size();
    int hidden = 0;
    for (int node : order) {
        const std::string& text = panel.nodes[index(node)].value;
        bool placed = false;
        for (double scale : {1.0, 0.85, 0.7}) {
            const double s = size * scale;
            const double width = measure.advance(text, s);
            const FontMetrics font = measure.metrics(s);
            for (bool upper : {true, false}) {
                const Rect room = roomBeside(panel, node, upper);
                if (room.right - room.left < width || room.bottom - room.top < font.ascent + font.descent)
                    continue;
                Label label{text, room.right - width, upper ? room.bottom - font.descent : room.top + font.ascent,
                            s, false, Ink::Value, {}};
                label.box = {label.x, label.baseline - font.ascent, room.right, label.baseline + font.descent};
                const bool clear = std::none_of(
                    layout.labels.begin() + static_cast<std::ptrdiff_t>(firstOwn), layout.labels.end(),
                    [&](const Label& other) { return overlaps(label.box, other.box); });
                if (!clear) continue;
                layout.labels.push_back(std::move(label));
                placed = true;
                break;
            }
            if (placed) break;
        }
        if (!placed) ++hidden;
    }
    return hidden;
}

int placeLeafLabels(const Panel& panel, const std::vector<std::string>& texts, double x,
                    double maxWidth, double size, const TextMeasure& measure, Layout& layout) {
    const FontMetrics font = measure.metrics(size);
    // Horizontal box edges run through the label column.
    std::vector<double> edges;
    for (const PanelNode& node : panel.nodes)
        if (node.boxed) {
            const Rect box = boxOf(panel, node);
            edges.push_back(box.top);
            edges.push_back(box.bottom);
        }
    std::sort(edges.begin(), edges.end());
    double lastBottom = -std::numeric_limits<double>::infinity();
    int shown = 0;
    for (std::size_t row = 0; row < texts.size(); ++row) {
        const double baseline = panel.rowCentre(static_cast<int>(row)) + (font.ascent - font.descent) / 2;
        const double top = baseline - font.ascent, bottom = baseline + font.descent;
        const auto edge = std::upper_bound(edges.begin(), edges.end(), top);
        if (top < lastBottom + 0.5 || (edge != edges.end() && *edge < bottom)) continue;
        const std::string text = fitted(texts[row], maxWidth, size, measure);
        layout.labels.push_back({text, x, baseline, size, false, Ink::Text,
                                 {x, top, x + measure.advance(text, size), bottom}});
        lastBottom = bottom;
        ++shown;
    }
    return shown;
}

}  // namespace picture
