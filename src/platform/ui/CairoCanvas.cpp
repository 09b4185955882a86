#include "platform/ui/CairoCanvas.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>
#include <pango/pangocairo.h>

#include "platform/ui/Picture.h"

namespace platform {
namespace {

cairo_t* Context(void* cr) {
    return static_cast<cairo_t*>(cr);
}

void SetColour(cairo_t* cr, Rgb colour) {
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

// The picture with its pure black pixels made fully transparent. Made once
// per picture and kept on the picture's own pixbuf, so it goes when the
// picture goes.
GdkPixbuf* BlackKeyed(GdkPixbuf* source) {
    static const char* kKey = "zankoruc-black-keyed";
    auto* keyed = static_cast<GdkPixbuf*>(g_object_get_data(G_OBJECT(source), kKey));
    if (keyed == nullptr) {
        // A picture that has an alpha channel keeps its own transparency.
        keyed = gdk_pixbuf_add_alpha(source, TRUE, 0, 0, 0);
        if (keyed == nullptr) {
            return nullptr;
        }
        g_object_set_data_full(G_OBJECT(source), kKey, keyed, g_object_unref);
    }
    return keyed;
}

// Draws `pixbuf` scaled into the rectangle. Pixels are picked, not blended:
// blending would fringe the black-keyed outlines.
void PaintScaled(cairo_t* cr, GdkPixbuf* pixbuf, int x, int y, int w, int h) {
    int pw = gdk_pixbuf_get_width(pixbuf);
    int ph = gdk_pixbuf_get_height(pixbuf);
    if (pw <= 0 || ph <= 0 || w <= 0 || h <= 0) {
        return;
    }
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, static_cast<double>(w) / pw, static_cast<double>(h) / ph);
    gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

}  // namespace

CairoCanvas::CairoCanvas(void* cairoContext, int width, int height)
    : cr(cairoContext), width(width), height(height) {}

int CairoCanvas::PixelsForTenthsOfPoint(int tenthsOfPoint) {
    // MulDiv(points, 96, 72), rounded to the nearest pixel.
    long numerator = static_cast<long>(tenthsOfPoint) * 96;
    long denominator = 720;
    long rounded =
        (numerator >= 0 ? numerator + denominator / 2 : numerator - denominator / 2) / denominator;
    return static_cast<int>(rounded);
}

void CairoCanvas::FillBlack(int x, int y, int w, int h) {
    cairo_t* c = Context(cr);
    cairo_save(c);
    cairo_set_source_rgb(c, 0, 0, 0);
    cairo_rectangle(c, x, y, w, h);
    cairo_fill(c);
    cairo_restore(c);
}

void CairoCanvas::DrawText(const Font& font, Rgb text, Rgb background, int x, int y,
                           const std::string& line) {
    cairo_t* c = Context(cr);
    PangoLayout* layout = pango_cairo_create_layout(c);
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, font.face.empty() ? "Sans" : font.face.c_str());
    // A Windows point-size font's height is the em height in pixels.
    int pixels = PixelsForTenthsOfPoint(font.tenthsOfPoint);
    pango_font_description_set_absolute_size(description, (pixels > 0 ? pixels : 1) * PANGO_SCALE);
    pango_layout_set_font_description(layout, description);
    // Pango wants UTF-8; anything else would be refused with a warning.
    if (g_utf8_validate(line.data(), static_cast<gssize>(line.size()), nullptr)) {
        pango_layout_set_text(layout, line.data(), static_cast<int>(line.size()));
    } else {
        gchar* valid = g_utf8_make_valid(line.data(), static_cast<gssize>(line.size()));
        pango_layout_set_text(layout, valid, -1);
        g_free(valid);
    }
    int textWidth = 0;
    int textHeight = 0;
    pango_layout_get_pixel_size(layout, &textWidth, &textHeight);

    cairo_save(c);
    // The opaque background covers the text's own cell.
    SetColour(c, background);
    cairo_rectangle(c, x, y, textWidth, textHeight);
    cairo_fill(c);
    SetColour(c, text);
    cairo_move_to(c, x, y);
    pango_cairo_show_layout(c, layout);
    cairo_restore(c);

    pango_font_description_free(description);
    g_object_unref(layout);
}

void CairoCanvas::DrawPicture(const Picture& picture, int x, int y) {
    auto* pixbuf = static_cast<GdkPixbuf*>(picture.NativePixbuf());
    if (pixbuf == nullptr) {
        return;
    }
    PaintScaled(Context(cr), pixbuf, x, y, gdk_pixbuf_get_width(pixbuf),
                gdk_pixbuf_get_height(pixbuf));
}

void CairoCanvas::DrawPictureScaled(const Picture& picture, int x, int y, int w, int h) {
    auto* pixbuf = static_cast<GdkPixbuf*>(picture.NativePixbuf());
    if (pixbuf == nullptr) {
        return;
    }
    PaintScaled(Context(cr), pixbuf, x, y, w, h);
}

void CairoCanvas::DrawPictureBlackTransparent(const Picture& picture, int x, int y, int w, int h) {
    auto* pixbuf = static_cast<GdkPixbuf*>(picture.NativePixbuf());
    if (pixbuf == nullptr) {
        return;
    }
    GdkPixbuf* keyed = BlackKeyed(pixbuf);
    if (keyed != nullptr) {
        PaintScaled(Context(cr), keyed, x, y, w, h);
    }
}

}  // namespace platform
