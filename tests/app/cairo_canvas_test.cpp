// The on-screen canvas drawn into an image instead of a window: black fills,
// point-size text on its opaque background, and the three picture copies.
#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ui/CairoCanvas.h"
#include "platform/ui/Picture.h"

namespace {

namespace fs = std::filesystem;

struct Pixel {
    int r, g, b;
    bool operator==(const Pixel&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Pixel& p) {
    return out << "(" << p.r << "," << p.g << "," << p.b << ")";
}

// A white image the size of the game window with a canvas over it.
class Surface {
  public:
    Surface(int width = 732, int height = 570) {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        canvas = std::make_unique<platform::CairoCanvas>(cr, width, height);
    }
    ~Surface() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Pixel At(int x, int y) {
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        uint32_t value = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
        return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>(value & 0xFF)};
    }
    int Count(Pixel colour, int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                count += At(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    }

    cairo_surface_t* surface;
    cairo_t* cr;
    std::unique_ptr<platform::CairoCanvas> canvas;
};

const Pixel kWhite{255, 255, 255}, kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0},
    kBlue{0, 0, 255}, kYellow{255, 255, 0};

// A 2 x 2 picture file: black, red / green, blue.
fs::path WritePicture(const fs::path& dir) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 2, 2);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const Pixel colours[4] = {kBlack, kRed, kGreen, kBlue};
    for (int i = 0; i < 4; ++i) {
        guchar* p = pixels + (i / 2) * stride + (i % 2) * 3;
        p[0] = static_cast<guchar>(colours[i].r);
        p[1] = static_cast<guchar>(colours[i].g);
        p[2] = static_cast<guchar>(colours[i].b);
    }
    fs::path file = dir / "picture.imz";
    EXPECT_TRUE(gdk_pixbuf_save(pixbuf, file.c_str(), "png", nullptr, nullptr));
    g_object_unref(pixbuf);
    return file;
}

TEST(CairoCanvas, PointSizesAreWindowsPixelsAt96Dpi) {
    EXPECT_EQ(platform::CairoCanvas::PixelsForTenthsOfPoint(400), 53);
    EXPECT_EQ(platform::CairoCanvas::PixelsForTenthsOfPoint(300), 40);
    EXPECT_EQ(platform::CairoCanvas::PixelsForTenthsOfPoint(90), 12);
    EXPECT_EQ(platform::CairoCanvas::PixelsForTenthsOfPoint(80), 11);
}

TEST(CairoCanvas, FillsBlackAndWritesTextOnItsOpaqueBackground) {
    Surface image;
    image.canvas->FillBlack(0, 0, 100, 50);
    EXPECT_EQ(image.At(0, 0), kBlack);
    EXPECT_EQ(image.At(99, 49), kBlack);
    EXPECT_EQ(image.At(100, 50), kWhite);

    image.canvas->DrawText({"Arial", 400}, {255, 255, 0}, {0, 0, 255}, 200, 100, "Tutorial");
    // The background box starts at the given top-left corner.
    EXPECT_EQ(image.At(200, 100), kBlue);
    EXPECT_EQ(image.At(199, 100), kWhite);
    EXPECT_EQ(image.At(200, 99), kWhite);
    // Its height is the font's line height: a 53-pixel em, not a 40-pixel one.
    int height = 0;
    while (image.At(200, 100 + height) == kBlue) {
        ++height;
    }
    EXPECT_GE(height, 53);
    EXPECT_LE(height, 75);
    int width = 0;
    while (image.At(200 + width, 100) == kBlue) {
        ++width;
    }
    EXPECT_GT(width, 150);  // eight letters of about 25 pixels
    // The letters in the text colour, inside the box only.
    EXPECT_GT(image.Count(kYellow, 200, 100, 200 + width, 100 + height), 500);
    EXPECT_EQ(image.Count(kYellow, 0, 0, 732, 100), 0);
}

TEST(CairoCanvas, CopiesPicturesPlainScaledAndWithBlackLeftOut) {
    fs::path dir = fs::temp_directory_path() / ("zk-canvas-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    platform::Picture picture;
    WritePicture(dir);
    ASSERT_TRUE(picture.Load(dir.string() + "\\picture.imz"));
    ASSERT_EQ(picture.Width(), 2);

    Surface image;
    image.canvas->DrawPicture(picture, 10, 10);
    EXPECT_EQ(image.At(10, 10), kBlack);
    EXPECT_EQ(image.At(11, 10), kRed);
    EXPECT_EQ(image.At(10, 11), kGreen);
    EXPECT_EQ(image.At(11, 11), kBlue);
    EXPECT_EQ(image.At(12, 12), kWhite);

    // Scaled to 20 x 10: each source pixel a 10 x 5 block, edges sharp.
    image.canvas->DrawPictureScaled(picture, 100, 100, 20, 10);
    EXPECT_EQ(image.Count(kBlack, 100, 100, 110, 105), 50);
    EXPECT_EQ(image.Count(kRed, 110, 100, 120, 105), 50);
    EXPECT_EQ(image.Count(kGreen, 100, 105, 110, 110), 50);
    EXPECT_EQ(image.Count(kBlue, 110, 105, 120, 110), 50);
    EXPECT_EQ(image.At(120, 100), kWhite);

    // With black left out, the white below shows through the black quarter.
    image.canvas->DrawPictureBlackTransparent(picture, 200, 200, 20, 20);
    EXPECT_EQ(image.Count(kWhite, 200, 200, 210, 210), 100);
    EXPECT_EQ(image.Count(kRed, 210, 200, 220, 210), 100);
    EXPECT_EQ(image.Count(kBlue, 210, 210, 220, 220), 100);
    // Drawing it again reuses the keyed copy and looks the same.
    image.canvas->DrawPictureBlackTransparent(picture, 200, 200, 20, 20);
    EXPECT_EQ(image.Count(kWhite, 200, 200, 210, 210), 100);

    // An empty picture draws nothing.
    platform::Picture missing;
    EXPECT_FALSE(missing.Load(dir.string() + "\\no-such.imz"));
    image.canvas->DrawPicture(missing, 300, 300);
    image.canvas->DrawPictureScaled(missing, 300, 300, 10, 10);
    image.canvas->DrawPictureBlackTransparent(missing, 300, 300, 10, 10);
    EXPECT_EQ(image.Count(kWhite, 300, 300, 310, 310), 100);
    fs::remove_all(dir);
}

}  // namespace
