#pragma once
// A game directory with every clip and picture the duel scene loads, and a
// fixture that drives one scene tick by tick and key by key on the manual
// clock and the offline mixer, keeping what the sound engine was asked to do.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FakeServices.h"
#include "FakeWindow.h"
#include "GameClips.h"
#include "game/CSceenGame.h"
#include "platform/ui/Window.h"

// Picture sizes of the test game directory: each picture its own size, so a
// drawn rectangle tells which picture it is.
struct PictureSize {
    const char* file;
    int width, height;
};
extern const PictureSize kPictureSizes[8];  // sam1..sam7, then ude

// The game directory of this test process: all 141 clips (mono 16-bit
// 22050 Hz, 300 ms) and the eight pictures. Made once per process; the first
// frequency setting of the process is spent there as well, so every scene of
// the tests hears the rates the game asks for.
const std::filesystem::path& TestGameDirectory();
// The same clips without any picture.
const std::filesystem::path& TestGameDirectoryWithoutPictures();

constexpr uint32_t kClipRate = 22050;

// One control call on a clip, named by the clip's path below "\sound\" with
// forward slashes and without extension: "asiato", "text/4", "no/12".
struct Heard {
    SoundEvent::Kind kind;
    std::string sound;
    int64_t value;
};

// The names of the clips started in `heard`, in order.
std::vector<std::string> Started(const std::vector<Heard>& heard);
bool WasStarted(const std::vector<Heard>& heard, const std::string& sound);
// The values of one kind of call on one clip, in order.
std::vector<int64_t> Values(const std::vector<Heard>& heard, const std::string& sound,
                            SoundEvent::Kind kind);

class GameFixture : public ::testing::Test {
  protected:
    // The clock starts at a plain value unless a test asks otherwise.
    static constexpr uint32_t kStartTime = 1000000;

    void TearDown() override { EndScene(); }

    // A fresh scene at `level`, loaded from `dir`, at time `start`. What its
    // loading and start played is kept for the next Take.
    void Start(int level, uint32_t start = kStartTime,
               const std::filesystem::path& dir = TestGameDirectory());
    void EndScene();

    // One window timer tick: the clock moves 100 ms, then the scene ticks.
    void Tick();
    void Ticks(int count);
    void Key(int vk);

    // Every control call since the last Take.
    std::vector<Heard> Take();
    // The calls made since the journal was last read, leaving the kept ones.
    std::vector<Heard> Fresh();

    // Ticks until `sound` starts; the milliseconds that took, or -1 when it
    // did not start within `limitMs`. The calls heard meanwhile are kept.
    int MsUntilStarted(const std::string& sound, int limitMs = 20000);

    platform::SoundBuffer* Buffer(int id) const {
        return fakes.audio.Find(gameDir + wav::GameClipAsset(id));
    }
    std::string Line(size_t i) const { return i < scene->lines.size() ? scene->lines[i] : ""; }

    // The answer a player who listens gives to the swing just heard: its pan
    // tells the side, its rate the height. 0 when it sounds like no attack.
    int AnswerByEar() const;

    // Plays like an attentive player: every swing answered at once by ear,
    // the strike as soon as the chance sounds. Stops once the scene reports a
    // result, once `enemy` is coming (0: never), or after `limitMs`.
    void PlayByEar(int untilEnemy, int limitMs);

    FakeServices fakes;
    FakeWindow window;
    std::unique_ptr<CSceenGame> scene;
    uint32_t startTime = kStartTime;
    std::vector<Heard> heard;  // kept by Tick and Key until Take
    std::string soundPrefix;
    std::string gameDir;
};
