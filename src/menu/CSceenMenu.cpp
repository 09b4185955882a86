#include "menu/CSceenMenu.h"

#include "manifest/AssetManifest.h"
#include "platform/ui/VirtualKeys.h"

namespace {

// Item texts; item i speaks menu clip i + 1.
const char* const kItems[manifest::kMenuItems] = {"Tutorial",  "Easy",   "Normal", "Hard",
                                                  "NetRecord", "Update", "End"};

const platform::Rgb kYellow{255, 255, 0};
const platform::Rgb kWhite{255, 255, 255};
const platform::Rgb kBlack{0, 0, 0};

}  // namespace

CSceenMenu::CSceenMenu(SceneHost& host) : host(host), sound(host.Services()) {}

void CSceenMenu::Init(std::string directory) {
    for (const char* item : kItems) {
        items.push_back(item);
    }
    cursor = 0;
    sound.InitDevice();
    baseDir = std::move(directory);
    for (int id = 0; id <= kMusicSound; ++id) {
        sound.AddSound(baseDir + manifest::MenuClips()[id], static_cast<uint32_t>(id));
    }
    sound.Play(kTitleSound, 0);
    sound.Play(kMusicSound, 1);
}

void CSceenMenu::Paint(platform::Canvas& canvas) {
    canvas.FillBlack(0, 0, canvas.ClientWidth(), canvas.ClientHeight());
    for (size_t i = 0; i < items.size(); ++i) {
        platform::Rgb colour = static_cast<int>(i) == cursor ? kYellow : kWhite;
        canvas.DrawText(font, colour, kBlack, 10, 10 + 80 * static_cast<int>(i), items[i]);
    }
}

void CSceenMenu::OnKey(int key) {
    // The keypad's 8 and 2 arrive as keypad digits whatever the Num Lock
    // state (the duel needs its keys by position), so they are the arrows too.
    if (key == platform::VK_UP || key == platform::VK_NUMPAD0 + 8) {
        --cursor;
    } else if (key == platform::VK_DOWN || key == platform::VK_NUMPAD0 + 2) {
        ++cursor;
    }
    int count = static_cast<int>(items.size());
    if (cursor >= count) {
        cursor = count - 1;
    }
    if (cursor < 0) {
        cursor = 0;
    }
    if (key == platform::VK_SPACE || key == platform::VK_RETURN) {
        chosen = static_cast<MenuChoice>(cursor);
    }
    // Whatever the key, the player hears where the cursor is.
    sound.Play(cursor + 1, 0);
    host.RequestRepaint();
}
