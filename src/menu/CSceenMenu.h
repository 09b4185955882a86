#pragma once
// The title screen: seven spoken items over the looping opening music. Up and
// Down move the cursor (without wrapping), Space or Enter choose; every
// released key speaks the highlighted item again and repaints. The menu only
// records a choice in `chosen`; the window takes it on its next tick.
#include <string>
#include <vector>

#include "manifest/AssetManifest.h"
#include "platform/ui/Canvas.h"
#include "scene/CBaseSceen.h"
#include "scene/SceneHost.h"
#include "sound/CSoundPlay.h"

// The menu's items, in their order on screen; None while nothing is chosen.
enum class MenuChoice {
    None = -1,
    Tutorial = 0,
    Easy = 1,
    Normal = 2,
    Hard = 3,
    NetRecord = 4,
    Update = 5,
    End = 6,
};

class CSceenMenu : public CBaseSceen {
  public:
    // Voice ids: the title, then item i at i + 1, then the music.
    static constexpr int kTitleSound = manifest::kMenuTitle;
    static constexpr int kMusicSound = manifest::kMenuMusic;

    explicit CSceenMenu(SceneHost& host);
    // Destroying `sound` stops and releases every clip, the music included.
    ~CSceenMenu() override = default;
    CSceenMenu(const CSceenMenu&) = delete;
    CSceenMenu& operator=(const CSceenMenu&) = delete;

    // Once, right after construction: items, font, sounds, then the title is
    // spoken and the music starts looping.
    void Init(std::string baseDir);
    void Paint(platform::Canvas& canvas);
    void OnKey(int key);

    SceneHost& host;
    CSoundPlay sound;  // 3D mode
    std::vector<std::string> items;
    platform::Font font{"Arial", 400};
    std::string baseDir;
    int cursor = 0;
    // The item chosen and not yet taken by the window.
    MenuChoice chosen = MenuChoice::None;
};
