// Drawing with cairo: see picture_draw.h.
#include "output/picture_draw.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>

using namespace picture;

namespace {

constexpr const char* FontFamily = "DejaVu Sans";
constexpr double PngScale = 300.0 / 72.0;  // points to pixels at 300 dpi

void useFont(cairo_t* cr, double size, bool bold) {
    cairo_select_font_face(cr, FontFamily, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void setInk(cairo_t* cr, Ink ink) {
    switch (ink) {
        case Ink::Highlight: cairo_set_source_rgb(cr, 0.84, 0.15, 0.16); break;
        case Ink::Value: cairo_set_source_rgb(cr, 0.12, 0.31, 0.60); break;
        case Ink::Axis:
        case Ink::Note: cairo_set_source_rgb(cr, 0.25, 0.25, 0.25); break;
        default: cairo_set_source_rgb(cr, 0, 0, 0);
    }
}

void drawLayout(cairo_t* cr, const Layout& layout) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgba(cr, 0.84, 0.15, 0.16, 0.08);
    for (const Rect& box : layout.highlights) {
        cairo_rectangle(cr, box.left, box.top, box.right - box.left, box.bottom - box.top);
        cairo_fill(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    for (Ink ink : {Ink::Highlight, Ink::Axis, Ink::Tree}) {
        for (const Line& line : layout.lines) {
            if (line.ink != ink) continue;
            cairo_move_to(cr, line.x0, line.y0);
            cairo_line_to(cr, line.x1, line.y1);
        }
        setInk(cr, ink);
        cairo_set_line_width(cr, ink == Ink::Tree ? 0.75 : 0.6);
        cairo_stroke(cr);
    }
    for (const Label& label : layout.labels) {
        useFont(cr, label.size, label.bold);
        setInk(cr, label.ink);
        cairo_move_to(cr, label.x, label.baseline);
        cairo_show_text(cr, label.text.c_str());
    }
}

}  // namespace

std::optional<PictureFormat> pictureFormatOf(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos) return std::nullopt;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "svg") return PictureFormat::Svg;
    if (extension == "pdf") return PictureFormat::Pdf;
    if (extension == "png") return PictureFormat::Png;
    return std::nullopt;
}

TextMeasure cairoTextMeasure() {
    // One scratch context, shared by the copies of the measure.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    std::shared_ptr<cairo_t> cr(cairo_create(surface), cairo_destroy);
    cairo_surface_destroy(surface);
    TextMeasure measure;
    measure.advance = [cr](const std::string& text, double size) {
        useFont(cr.get(), size, false);
        cairo_text_extents_t extents;
        cairo_text_extents(cr.get(), text.c_str(), &extents);
        return extents.x_advance;
    };
    measure.metrics = [cr](double size) {
        useFont(cr.get(), size, false);
        cairo_font_extents_t extents;
        cairo_font_extents(cr.get(), &extents);
        return FontMetrics{extents.ascent, extents.descent};
    };
    return measure;
}

std::string drawPicture(const Layout& layout, PictureFormat format) {
    std::string bytes;
    const double width = std::max(1.0, layout.width), height = std::max(1.0, layout.height);
    cairo_surface_t* surface = nullptr;
    switch (format) {
        case PictureFormat::Svg:
            surface = cairo_svg_surface_create_for_stream(appendBytes, &bytes, width, height);
            cairo_svg_surface_restrict_to_version(surface, CAIRO_SVG_VERSION_1_1);
            break;
        case PictureFormat::Pdf:
            surface = cairo_pdf_surface_create_for_stream(appendBytes, &bytes, width, height);
            break;
        case PictureFormat::Png:
            surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24,
                                                 static_cast<int>(std::ceil(width * PngScale)),
                                                 static_cast<int>(std::ceil(height * PngScale)));
            break;
    }
    cairo_t* cr = cairo_create(surface);
    if (format == PictureFormat::Png) cairo_scale(cr, PngScale, PngScale);
    drawLayout(cr, layout);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (format == PictureFormat::Png && drawn)
        cairo_surface_write_to_png_stream(surface, appendBytes, &bytes);
    cairo_surface_finish(surface);
    const bool written = drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written ? bytes : std::string();
}
