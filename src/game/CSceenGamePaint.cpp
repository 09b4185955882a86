// The duel scene's picture: the enemy, the arm after a parry or strike, and up
// to three red lines. The game is played by ear; this only mirrors the state.
#include "game/CSceenGame.h"

namespace {
const platform::Rgb kTextColour{255, 0, 0};
const platform::Rgb kTextBackground{0, 0, 0};
}  // namespace

void CSceenGame::Paint(platform::Canvas& canvas) {
    const int width = canvas.ClientWidth();
    const int height = canvas.ClientHeight();
    canvas.FillBlack(0, 0, width, height);

    const int pictureIndex = static_cast<int>(direction);
    if (pictureIndex >= 0 && pictureIndex < kEnemyPictures) {
        const platform::Picture& picture = enemyImages[pictureIndex];
        const int w = picture.Width();
        const int h = picture.Height();
        if (phase == Phase::Approach) {
            // The coming enemy grows from a fifth of its size, standing on the
            // bottom edge. Single precision, cut toward zero.
            const float scale = (approachLevel + 0.1f) * 2.0f;
            const int x = static_cast<int>((width - w * scale) * 0.5f);
            const int y = static_cast<int>(height - h * scale);
            canvas.DrawPictureScaled(picture, x, y, static_cast<int>(w * scale),
                                     static_cast<int>(h * scale));
        } else {
            const int x = (width - w) / 2;
            const int y = height - h;
            canvas.DrawPicture(picture, x, y);
            if (showArm && w > 0 && h > 0) {
                // The arm covers exactly the enemy's rectangle, whatever its size;
                // over a picture that did not load there is nothing to cover.
                canvas.DrawPictureBlackTransparent(armImage, x, y, w, h);
            }
        }
    }

    if (!lines.empty()) {
        for (size_t i = 0; i < lines.size() && i < 3; i++) {
            canvas.DrawText(font, kTextColour, kTextBackground, 10, 10 + 50 * static_cast<int>(i),
                            lines[i]);
        }
    }
}
