// The generated game directory as the game reads it (the generator checks
// each clip's length and level and each picture as it writes them): every
// file loads under the name the scenes register, no other file is there (one
// differing only in letter case would make the lookup ambiguous), and the
// generator makes the same bytes again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "FakeServices.h"
#include "game/CSceenGame.h"
#include "manifest/AssetManifest.h"
#include "platform/audio/PeakLimiter.h"
#include "platform/ui/Picture.h"
#include "platform/ui/VirtualKeys.h"
#include "sound/CSoundPlay.h"

namespace {

namespace fs = std::filesystem;

const fs::path kGameDir = ZANKORUC_GAME_DIR;

TEST(AssetPack, EveryFileLoadsThroughTheGamesLoadersAndThereIsNoOther) {
    FakeServices fakes;
    std::set<fs::path> loaded;
    // The menu's player centred, the duel's panned.
    for (SoundMode mode : {SoundMode::Centred, SoundMode::Panned}) {
        const auto& clips =
            mode == SoundMode::Centred ? manifest::MenuClips() : manifest::GameClips();
        CSoundPlay player(fakes.services);
        player.mode = mode;
        ASSERT_EQ(player.InitDevice(), 1);
        for (int id = 0; id < static_cast<int>(clips.size()); ++id) {
            player.AddSound(kGameDir.string() + clips[id], static_cast<uint32_t>(id));
            ASSERT_EQ(player.Play(id, 0), 1) << clips[id];
            player.Stop(id);
            loaded.insert(kGameDir / manifest::RelativeFile(clips[id]));
        }
    }
    EXPECT_TRUE(fakes.messages.shown.empty());
    for (const std::string& name : manifest::Pictures()) {
        platform::Picture picture;
        EXPECT_TRUE(picture.Load(kGameDir.string() + name)) << name;
        loaded.insert(kGameDir / manifest::RelativeFile(name));
    }
    for (const auto& entry : fs::recursive_directory_iterator(kGameDir)) {
        EXPECT_TRUE(entry.is_directory() || loaded.count(entry.path()) == 1) << entry.path();
    }
}

// A Hard duel on the pack, every attack answered at once, so each clang
// starts with its swing, and every strike at once: heard through the real
// mixer, tick by tick, no sample passes the ceiling.
TEST(AssetPack, AHardDuelNeverPassesTheCeiling) {
    using Phase = CSceenGame::Phase;
    FakeSceneHost host;
    host.fakes.clock.now = 1000000;
    CSceenGame scene(host);
    scene.level = 4;
    scene.LoadAssets(kGameDir.string());
    std::vector<float> period(2 * 4800);  // one tick, 100 ms
    float peak = 0.0f;
    for (int tick = 0; tick < 20000 && scene.phase != Phase::Won && scene.phase != Phase::Lost;
         ++tick) {
        host.fakes.clock.now += 100;
        scene.Tick();
        if (scene.phase == Phase::Attack && !scene.parried) {
            scene.OnKey(" 7913"[static_cast<int>(scene.direction)]);
            if (scene.chanceCounter < 0) {
                scene.OnKey(platform::VK_SPACE);
            }
        }
        host.fakes.audio.Render(period.data(), 4800);
        for (float x : period) {
            peak = std::max(peak, std::fabs(x));
        }
        host.fakes.audio.TakeJournal();
    }
    EXPECT_EQ(scene.phase, Phase::Won);
    EXPECT_LE(peak, platform::PeakLimiter::kCeiling) << 20 * std::log10(peak) << " dBFS";
    EXPECT_GT(peak, 0.3f);  // it was heard
}

// Run again, the generator writes the very same files: diff finds nothing.
TEST(AssetPack, GeneratorRepeatsItselfByteForByte) {
    fs::path again = fs::temp_directory_path() / ("zk-assets-again-" + std::to_string(::getpid()));
    std::string command = std::string("\"") + ZANKORUC_ASSET_GENERATOR + "\" \"" +
                          ZANKORUC_ASSET_SOURCES + "\" \"" + again.string() +
                          "\" > /dev/null && diff -r \"" + kGameDir.string() + "\" \"" +
                          again.string() + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    fs::remove_all(again);
}

}  // namespace
