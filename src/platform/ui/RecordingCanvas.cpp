#include "platform/ui/RecordingCanvas.h"

#include "platform/ui/Picture.h"

namespace platform {
namespace {
DrawCall Call(DrawCall::Kind kind, int x, int y, int width, int height,
              const Picture* picture = nullptr) {
    DrawCall call;
    call.kind = kind;
    call.x = x;
    call.y = y;
    call.width = width;
    call.height = height;
    call.picture = picture;
    return call;
}
}  // namespace

void RecordingCanvas::FillBlack(int x, int y, int w, int h) {
    calls.push_back(Call(DrawCall::Kind::FillBlack, x, y, w, h));
}

void RecordingCanvas::DrawText(const Font& font, Rgb textColour, Rgb backgroundColour, int x, int y,
                               const std::string& line) {
    DrawCall call = Call(DrawCall::Kind::Text, x, y, 0, 0);
    call.font = font;
    call.text = textColour;
    call.background = backgroundColour;
    call.line = line;
    calls.push_back(call);
}

// Like the real canvas, an empty picture draws nothing.
void RecordingCanvas::DrawPicture(const Picture& picture, int x, int y) {
    if (!picture.IsNull()) {
        calls.push_back(
            Call(DrawCall::Kind::Picture, x, y, picture.Width(), picture.Height(), &picture));
    }
}

void RecordingCanvas::DrawPictureScaled(const Picture& picture, int x, int y, int w, int h) {
    if (!picture.IsNull()) {
        calls.push_back(Call(DrawCall::Kind::PictureScaled, x, y, w, h, &picture));
    }
}

void RecordingCanvas::DrawPictureBlackTransparent(const Picture& picture, int x, int y, int w,
                                                  int h) {
    if (!picture.IsNull()) {
        calls.push_back(Call(DrawCall::Kind::PictureBlackTransparent, x, y, w, h, &picture));
    }
}

}  // namespace platform
