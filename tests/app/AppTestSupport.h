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

#include "manifest/AssetManifest.h"
#include "platform/AppName.h"
#include "platform/AudioDevice.h"
#include "platform/AudioMixer.h"
#include "platform/Clock.h"
#include "platform/MainWindow.h"
#include "platform/MessageBox.h"
#include "platform/SettingsFile.h"
#include "platform/Shell.h"

#include "WavBuilder.h"

namespace apptest {

namespace fs = std::filesystem;

// A mono 16-bit PCM RIFF WAVE clip of a sine tone.
inline void WriteClip(const fs::path& path, double hz, int milliseconds, uint32_t rate = 22050) {
    uint32_t frames = rate * static_cast<uint32_t>(milliseconds) / 1000;
    fs::create_directories(path.parent_path());
    wav::Write(path.string(), wav::MonoClip(wav::Sine16(hz, rate, frames, 0.4), rate));
}

// The asset path the menu registers for sound `id` under `baseDir`.
inline std::string MenuAssetPath(const std::string& baseDir, int id) {
    return baseDir + manifest::MenuClips()[static_cast<size_t>(id)];
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
        platform::AudioDevice::UseOfflineOutput();
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
        for (int id = 0; id <= manifest::kMenuMusic; ++id) {
            WriteClip(gameDir / manifest::RelativeFile(manifest::MenuClips()[id]),
                      300.0 + 100.0 * id, id == manifest::kMenuMusic ? 2000 : 400);
        }
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        platform::SetSettingsCompany("velkor");
        previousDir = fs::current_path();
        fs::current_path(gameDir);
        platform::UseManualClock(5000000);
        Mixer()->SetJournalEnabled(true);
        Mixer()->TakeJournal();
        platform::TakeShellRequests();
        platform::TakeQuitRequest();
        platform::TakeShownMessages();
    }

    void TearDown() override {
        if (Mixer() != nullptr) {
            Mixer()->TakeJournal();
        }
        platform::TakeQuitRequest();
        fs::current_path(previousDir);
        fs::remove_all(root);
    }

    // The mixer exists once a first device was made.
    static platform::AudioMixer* Mixer() {
        if (platform::AudioDevice::OutputMixer() == nullptr) {
            platform::AudioDevice::Create();
        }
        return platform::AudioDevice::OutputMixer();
    }

    // The clips started since the last call, as (sound id, looping) pairs;
    // -1 for a clip that is not one of the menu's.
    std::vector<std::pair<int, int>> StartedMenuSounds() {
        std::vector<std::pair<int, int>> started;
        for (const platform::SoundEvent& event : Mixer()->TakeJournal()) {
            if (event.kind != platform::SoundEvent::Kind::Play) {
                continue;
            }
            int found = -1;
            for (int id = 0; id <= manifest::kMenuMusic; ++id) {
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

    fs::path root;
    fs::path gameDir;
    fs::path configHome;
    fs::path previousDir;
};

}  // namespace apptest
