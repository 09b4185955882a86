#pragma once
// What the scenes draw with: the few drawing calls they use, over a Cairo context
// on screen (CairoCanvas) or recorded by the tests.
#include <cstdint>
#include <string>

namespace platform {

class Picture;

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// A point-size font: a face name and a size in tenths of a point, sized for
// 96 DPI (40 points are 53 pixels).
struct Font {
    std::string face;
    int tenthsOfPoint = 0;
};

class Canvas {
  public:
    virtual ~Canvas() = default;
    // The client area's size in pixels.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // The rectangle becomes black.
    virtual void FillBlack(int x, int y, int width, int height) = 0;
    // One line of UTF-8 text, its top-left corner at (x, y), on an opaque
    // background of its own extent.
    virtual void DrawText(const Font& font, Rgb text, Rgb background, int x, int y,
                          const std::string& line) = 0;
    // The picture at its own size.
    virtual void DrawPicture(const Picture& picture, int x, int y) = 0;
    // The picture scaled into the rectangle.
    virtual void DrawPictureScaled(const Picture& picture, int x, int y, int width, int height) = 0;
    // The picture scaled into the rectangle, its pure black pixels left out.
    virtual void DrawPictureBlackTransparent(const Picture& picture, int x, int y, int width,
                                             int height) = 0;
};

}  // namespace platform
