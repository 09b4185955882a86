#pragma once
// One duel scene on a fake host: the clock moved 100 ms per tick, the random
// draws queued, every sound call read back under its short name ("no/2").
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "FakeServices.h"
#include "GameClips.h"
#include "game/CSceenGame.h"
#include "platform/ui/VirtualKeys.h"

using Heard = decltype(FakeAudioOutput().TakeJournal())::value_type;
using Kind = Heard::Kind;
using Phase = CSceenGame::Phase;
using Direction = CSceenGame::Direction;
using Names = std::vector<std::string>;
using Ints = std::vector<int64_t>;

// The clips started in `heard` from `from` on, or the values set on `sound`.
inline Names Started(const std::vector<Heard>& heard, size_t from = 0) {
    Names names;
    for (size_t i = from; i < heard.size(); i++) {
        if (heard[i].kind == Kind::Play) {
            names.push_back(heard[i].name);
        }
    }
    return names;
}
inline Ints Values(const std::vector<Heard>& heard, const std::string& sound, Kind kind) {
    Ints values;
    for (const Heard& event : heard) {
        if (event.kind == kind && event.name == sound) {
            values.push_back(event.value);
        }
    }
    return values;
}

class GameFixture : public ::testing::Test {
  protected:
    void Start(int level, uint32_t start = 1000000) {
        static const std::string dir = MakeDirectory().string();
        scene.reset();
        host = std::make_unique<FakeSceneHost>();
        host->fakes.clock.now = start;
        prefix = dir + "\\sound\\";
        scene = std::make_unique<CSceenGame>(*host);
        scene->level = level;
        scene->LoadAssets(dir);
    }
    void Queue(std::initializer_list<int> values) {
        host->fakes.random.queued.insert(host->fakes.random.queued.end(), values);
    }
    void Tick(int count = 1) {
        while (count-- > 0) {
            host->fakes.clock.now += 100;
            scene->Tick();
        }
    }
    void Key(int vk) { scene->OnKey(vk); }
    std::string Line() const { return scene->lines.empty() ? "" : scene->lines[0]; }

    // Adds the journal to `heard`; answers where the new calls begin.
    size_t Pull() {
        size_t from = heard.size();
        for (Heard& event : host->fakes.audio.TakeJournal()) {
            event.name = event.name.substr(prefix.size(), event.name.size() - prefix.size() - 4);
            std::replace(event.name.begin(), event.name.end(), '\\', '/');
            heard.push_back(event);
        }
        return from;
    }
    std::vector<Heard> Take() {
        Pull();
        return std::exchange(heard, {});
    }
    // Ticks until `sound` starts: the milliseconds that took, or -1 after 20 s.
    int MsUntilStarted(const std::string& sound) {
        for (int ms = 100; ms <= 20000; ms += 100) {
            Tick();
            if (std::ranges::count(Started(heard, Pull()), sound) > 0) {
                return ms;
            }
        }
        return -1;
    }
    // Answers every attack at once, strikes at once: until the end or enemy `until`.
    void PlayWell(int until = 0) {
        for (int tick = 0; tick < 20000; tick++) {
            Tick();
            if (scene->phase == Phase::Attack && !scene->parried) {
                Key(" 7913"[static_cast<int>(scene->direction)]);
                if (scene->chanceCounter < 0) {
                    Key(platform::VK_SPACE);
                }
            }
            Pull();
            if (scene->phase == Phase::Won || scene->phase == Phase::Lost ||
                (scene->enemyNumber == until && scene->phase == Phase::Approach)) {
                return;
            }
        }
    }
    // A finished game waits 3000 ms for a strike key, then reports `result`.
    void EndWithStrikeKey(GameResult result) {
        for (int tick = 1; tick <= 30; tick++) {
            Tick();
            Key(tick < 30 ? platform::VK_SPACE : '7');
            ASSERT_EQ(scene->resultCode, GameResult::None) << tick;
        }
        Key(platform::VK_NUMPAD0 + 5);
        EXPECT_EQ(scene->resultCode, result);
    }

    std::unique_ptr<FakeSceneHost> host;
    std::unique_ptr<CSceenGame> scene;
    std::vector<Heard> heard;  // until the next Take
    std::string prefix;

  private:
    static std::filesystem::path MakeDirectory() {
        static struct Removed {
            std::filesystem::path root;
            ~Removed() { std::filesystem::remove_all(root); }
        } removed{std::filesystem::temp_directory_path() / ("zk-game-" + std::to_string(getpid()))};
        const wav::Bytes clip = wav::MonoClip(wav::Sine16(440, 22050, 6615, 0.3));
        wav::WriteGameClips(removed.root, clip);
        std::filesystem::create_directories(removed.root / "image");
        // sam1..sam7, then the arm, each of its own size: a rectangle tells which was drawn.
        for (int i = 0, w = 100, h = 50; i < 8; i++, w += 20, h += 20) {
            std::string name = i < 7 ? "sam" + std::to_string(i + 1) : "ude";
            std::ofstream out(removed.root / "image" / (name + ".imz"));
            out << "P6\n" << w << " " << h << "\n255\n" << std::string(w * h * 3, 'x');
        }
        // The process's first frequency setting plays at the clip's own rate: spend it here.
        FakeSceneHost spent;
        CSceenGame(spent).LoadAssets(removed.root.string());
        return removed.root;
    }
};
