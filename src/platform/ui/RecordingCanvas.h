#pragma once
// A canvas that draws nothing and remembers every call, for tests of what a
// scene paints.
#include <string>
#include <vector>

#include "platform/ui/Canvas.h"

namespace platform {

struct DrawCall {
    enum class Kind { FillBlack, Text, Picture, PictureScaled, PictureBlackTransparent };
    Kind kind = Kind::FillBlack;
    int x = 0, y = 0, width = 0, height = 0;
    const Picture* picture = nullptr;
    Font font;
    Rgb text, background;
    std::string line;
};

class RecordingCanvas : public Canvas {
  public:
    RecordingCanvas(int width, int height) : width(width), height(height) {}

    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }
    void FillBlack(int x, int y, int w, int h) override;
    void DrawText(const Font& font, Rgb textColour, Rgb backgroundColour, int x, int y,
                  const std::string& line) override;
    void DrawPicture(const Picture& picture, int x, int y) override;
    void DrawPictureScaled(const Picture& picture, int x, int y, int w, int h) override;
    void DrawPictureBlackTransparent(const Picture& picture, int x, int y, int w, int h) override;

    std::vector<DrawCall> calls;

  private:
    int width;
    int height;
};

}  // namespace platform
