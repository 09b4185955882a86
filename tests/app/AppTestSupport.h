#pragma once
// Shared by the window and menu tests: a temporary game directory holding the
// menu's clips, a private settings folder, and the sound journal of the
// offline mixer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files/SettingsFile.h"
#include "platform/sys/AppName.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Shell.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/MessageBox.h"

#include "FakeServices.h"
#include "WavBuilder.h"

namespace apptest {

namespace fs = std::filesystem;

// A mono 16-bit PCM RIFF WAVE clip of a sine tone.
inline void WriteClip(const fs::path& path, double hz, int milliseconds, uint32_t rate = 22050) {
    uint32_t frames = rate * static_cast<uint32_t>(milliseconds) / 1000;
    fs::create_directories(path.parent_path());
    wav::Write(path.string(), wav::MonoClip(wav::Sine16(hz, rate, frames, 0.4), rate));
}

// The relative names of the menu's nine clips, by sound id.
inline const std::vector<std::string>& MenuClipNames() {
    static const std::vector<std::string> names = {
        "sound/menu/Title.snz",  "sound/menu/tutorial.snz", "sound/menu/easy.snz",
        "sound/menu/normal.snz", "sound/menu/hard.snz",     "sound/menu/NetRecord.snz",
        "sound/menu/update.snz", "sound/menu/end.snz",      "sound/opning.snz"};
    return names;
}

// The asset path the menu registers for sound `id` under `baseDir`.
inline std::string MenuAssetPath(const std::string& baseDir, int id) {
    std::string relative = MenuClipNames()[static_cast<size_t>(id)];
    for (char& c : relative) {
        if (c == '/') {
            c = '\\';
        }
    }
    return baseDir + "\\" + relative;
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A game directory with the menu's clips (each its own tone), a settings
// folder of its own, the offline mixer with its journal on, and the manual
// clock. The working directory is the game directory during each test.
class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("zk-app-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        gameDir = root / "game";
        configHome = root / "config";
        fs::create_directories(gameDir);
        fs::create_directories(configHome);
        // The window reads the working directory as getcwd gives it.
        gameDir = fs::canonical(gameDir);
        configHome = fs::canonical(configHome);
        for (size_t id = 0; id < MenuClipNames().size(); ++id) {
            WriteClip(gameDir / MenuClipNames()[id], 300.0 + 100.0 * static_cast<double>(id),
                      id == 8 ? 2000 : 400);
        }
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        platform::SetSettingsCompany("velkor");
        previousDir = fs::current_path();
        fs::current_path(gameDir);
        platform::UseManualClock(5000000);
        Mixer()->TakeJournal();
        platform::TakeShellRequests();
        platform::TakeQuitRequest();
        platform::TakeShownMessages();
    }

    void TearDown() override {
        Mixer()->TakeJournal();
        platform::TakeQuitRequest();
        fs::current_path(previousDir);
        fs::remove_all(root);
    }

    FakeAudioOutput* Mixer() { return &fakes.audio; }

    // The clips started since the last call, as (sound id, looping) pairs;
    // -1 for a clip that is not one of the menu's.
    std::vector<std::pair<int, int>> StartedMenuSounds() {
        std::vector<std::pair<int, int>> started;
        for (const SoundEvent& event : Mixer()->TakeJournal()) {
            if (event.kind != SoundEvent::Kind::Play) {
                continue;
            }
            int found = -1;
            for (int id = 0; id < static_cast<int>(MenuClipNames().size()); ++id) {
                if (event.name == MenuAssetPath(gameDir.string(), id)) {
                    found = id;
                }
            }
            started.push_back({found, static_cast<int>(event.value)});
        }
        return started;
    }

    fs::path SettingsFile() const {
        return configHome / "velkor" / (platform::ApplicationName() + ".ini");
    }

    FakeServices fakes;
    fs::path root;
    fs::path gameDir;
    fs::path configHome;
    fs::path previousDir;
};

}  // namespace apptest
