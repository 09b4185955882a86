#pragma once
// The title screen: seven spoken items over the looping opening music. Up and
// Down move the cursor (without wrapping), Space or Enter choose; every
// released key speaks the highlighted item again and repaints. The menu only
// records a choice in `chosen`; the window takes it on its next tick.
#include <string>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/Window.h"
#include "scene/CBaseSceen.h"
#include "manifest/AssetManifest.h"
#include "sound/CSoundPlay.h"

class CSceenMenu : public CBaseSceen {
  public:
    // Voice ids: the title, then item i at i + 1, then the music.
    static constexpr int kTitleSound = manifest::kMenuTitle;
    static constexpr int kMusicSound = manifest::kMenuMusic;

    explicit CSceenMenu(platform::Services& services) : sound(services) {}
    // Destroying `sound` stops and releases every clip, the music included.
    // `font` is the window's to delete.
    ~CSceenMenu() override = default;
    CSceenMenu(const CSceenMenu&) = delete;
    CSceenMenu& operator=(const CSceenMenu&) = delete;

    // Once, right after construction: items, font, sounds, then the title is
    // spoken and the music starts looping.
    void Init(platform::Window* owner, std::string baseDir);
    void Paint(platform::Canvas& canvas);
    void OnKey(int key);

    CSoundPlay sound;  // centred
    std::vector<std::string> items;
    platform::Font* font = nullptr;  // owned; deleted by the window before the menu
    platform::Window* owner = nullptr;
    std::string baseDir;
    int cursor = 0;
    // The item chosen and not yet taken by the window, or -1.
    int chosen = -1;
};
