#include "Pictures.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>

namespace assets {

bool RenderSvgToPng(const std::string& svgPath, const std::string& pngPath, int width, int height,
                    bool keepAlpha, std::string& error) {
    GError* failure = nullptr;
    GdkPixbuf* drawn =
        gdk_pixbuf_new_from_file_at_scale(svgPath.c_str(), width, height, FALSE, &failure);
    if (drawn == nullptr) {
        error = svgPath + ": " + (failure != nullptr ? failure->message : "cannot be rendered");
        if (failure != nullptr) {
            g_error_free(failure);
        }
        return false;
    }
    GdkPixbuf* flat = drawn;
    if (!keepAlpha) {
        // Flatten onto opaque black: whatever the SVG leaves transparent
        // becomes exactly (0, 0, 0).
        flat = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
        gdk_pixbuf_fill(flat, 0x000000ffu);
        gdk_pixbuf_composite(drawn, flat, 0, 0, width, height, 0.0, 0.0, 1.0, 1.0,
                             GDK_INTERP_NEAREST, 255);
        g_object_unref(drawn);
    }
    bool saved = gdk_pixbuf_save(flat, pngPath.c_str(), "png", &failure, nullptr);
    g_object_unref(flat);
    if (!saved) {
        error = pngPath + ": " + (failure != nullptr ? failure->message : "cannot be written");
        if (failure != nullptr) {
            g_error_free(failure);
        }
        return false;
    }
    return true;
}

bool CheckPicture(const std::string& pngPath, bool colourKeyed, std::string& error) {
    // Below this brightness a pixel looks black but escapes the colour key.
    const int kNearlyBlack = 24;
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(pngPath.c_str(), nullptr);
    if (picture == nullptr) {
        error = pngPath + ": the written picture cannot be read back";
        return false;
    }
    const int width = gdk_pixbuf_get_width(picture), height = gdk_pixbuf_get_height(picture);
    const int stride = gdk_pixbuf_get_rowstride(picture);
    const int channels = gdk_pixbuf_get_n_channels(picture);
    const guchar* pixels = gdk_pixbuf_read_pixels(picture);
    long black = 0, dark = 0, drawn = 0, edge = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            const int brightest = std::max({p[0], p[1], p[2]});
            if (brightest == 0) {
                ++black;
                continue;
            }
            ++(brightest < kNearlyBlack ? dark : drawn);
            if (y == 0 || x == 0 || x == width - 1) {
                ++edge;
            }
        }
    }
    g_object_unref(picture);
    const long all = static_cast<long>(width) * height;
    if (edge > 0) {
        error = pngPath + ": " + std::to_string(edge) +
                " pixels of the top row and the sides are not black; they would frame it";
    } else if (drawn <= all / 20) {
        error = pngPath + ": only " + std::to_string(drawn) + " of " + std::to_string(all) +
                " pixels are drawn; more than a twentieth must be";
    } else if (colourKeyed && dark > 0) {
        error = pngPath + ": " + std::to_string(dark) + " pixels are nearly black (brightness 1.." +
                std::to_string(kNearlyBlack - 1) +
                "); drawn with black transparent they would leave a dark fringe";
    } else if (colourKeyed && black <= drawn) {
        error = pngPath + ": " + std::to_string(black) + " of " + std::to_string(all) +
                " pixels are black; most of it must be, to leave the enemy seen around it";
    } else {
        return true;
    }
    return false;
}

}  // namespace assets
