#include "Pictures.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

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

}  // namespace assets
