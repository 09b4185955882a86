#pragma once
// A canvas that draws nothing and remembers every call, for tests of what a
// scene paints. Like the real canvas, an empty picture draws nothing.
#include <string>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/Picture.h"

struct DrawCall {
    enum class Kind { FillBlack, Text, Picture, PictureScaled, PictureBlackTransparent };
    Kind kind = Kind::FillBlack;
    int x = 0, y = 0, width = 0, height = 0;
    const platform::Picture* picture = nullptr;
    platform::Font font;
    platform::Rgb text, background;
    std::string line;
};

class RecordingCanvas : public platform::Canvas {
  public:
    RecordingCanvas(int width, int height) : width(width), height(height) {}

    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }
    void FillBlack(int x, int y, int w, int h) override {
        DrawCall call;
        call.kind = DrawCall::Kind::FillBlack;
        call.x = x, call.y = y, call.width = w, call.height = h;
        calls.push_back(call);
    }
    void DrawText(const platform::Font& font, platform::Rgb text, platform::Rgb background, int x,
                  int y, const std::string& line) override {
        calls.push_back({DrawCall::Kind::Text, x, y, 0, 0, nullptr, font, text, background, line});
    }
    void DrawPicture(const platform::Picture& picture, int x, int y) override {
        Add(DrawCall::Kind::Picture, picture, x, y, picture.Width(), picture.Height());
    }
    void DrawPictureScaled(const platform::Picture& picture, int x, int y, int w, int h) override {
        Add(DrawCall::Kind::PictureScaled, picture, x, y, w, h);
    }
    void DrawPictureBlackTransparent(const platform::Picture& picture, int x, int y, int w,
                                     int h) override {
        Add(DrawCall::Kind::PictureBlackTransparent, picture, x, y, w, h);
    }

    std::vector<DrawCall> calls;

  private:
    void Add(DrawCall::Kind kind, const platform::Picture& picture, int x, int y, int w, int h) {
        if (!picture.IsNull()) {
            DrawCall call;
            call.kind = kind;
            call.x = x, call.y = y, call.width = w, call.height = h;
            call.picture = &picture;
            calls.push_back(call);
        }
    }
    int width;
    int height;
};
