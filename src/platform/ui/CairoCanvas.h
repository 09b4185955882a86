#pragma once
// The canvas of the game window: the scenes' drawing calls done with Cairo,
// text laid out by Pango.
#include "platform/ui/Canvas.h"

namespace platform {

class CairoCanvas : public Canvas {
  public:
    // `cairoContext` is the cairo_t* of the drawing area's draw handler; it
    // must outlive the canvas.
    CairoCanvas(void* cairoContext, int width, int height);

    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }
    void FillBlack(int x, int y, int w, int h) override;
    void DrawText(const Font& font, Rgb text, Rgb background, int x, int y,
                  const std::string& line) override;
    void DrawPicture(const Picture& picture, int x, int y) override;
    void DrawPictureScaled(const Picture& picture, int x, int y, int w, int h) override;
    void DrawPictureBlackTransparent(const Picture& picture, int x, int y, int w, int h) override;

    // A point size in tenths of a point as pixels at 96 DPI, rounded as
    // Windows does (400 gives 53).
    static int PixelsForTenthsOfPoint(int tenthsOfPoint);

  private:
    void* cr;
    int width;
    int height;
};

}  // namespace platform
