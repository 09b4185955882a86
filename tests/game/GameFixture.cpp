#include "GameFixture.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "GameClips.h"
#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"
#include "platform/ui/VirtualKeys.h"
#include "sound/CSoundPlay.h"

const PictureSize kPictureSizes[8] = {
    {"sam1.imz", 100, 50},  {"sam2.imz", 200, 150}, {"sam3.imz", 210, 160}, {"sam4.imz", 220, 170},
    {"sam5.imz", 230, 180}, {"sam6.imz", 240, 190}, {"sam7.imz", 250, 200}, {"ude.imz", 64, 48},
};

namespace {

// A quiet 440 Hz tone of 300 ms for every clip.
void WriteClips(const std::filesystem::path& dir) {
    wav::WriteGameClips(
        dir, wav::MonoClip(wav::Sine16(440, kClipRate, kClipRate * 3 / 10, 0.3), kClipRate));
}

// A PNG in a file with the game's own extension: the loader goes by content.
void WritePicture(const std::filesystem::path& path, int width, int height) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    gdk_pixbuf_fill(pixbuf, 0x808080ff);
    GError* error = nullptr;
    gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, nullptr);
    if (error != nullptr) {
        ADD_FAILURE() << "cannot write " << path << ": " << error->message;
        g_error_free(error);
    }
    g_object_unref(pixbuf);
}

class GameDirectories {
  public:
    GameDirectories() {
        root =
            std::filesystem::temp_directory_path() / ("zk-game-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        withPictures = root / "full";
        withoutPictures = root / "bare";
        WriteClips(withPictures);
        WriteClips(withoutPictures);
        std::filesystem::create_directories(withPictures / "image");
        for (const PictureSize& picture : kPictureSizes) {
            WritePicture(withPictures / "image" / picture.file, picture.width, picture.height);
        }

        // The process's first frequency setting plays at the clip's own rate
        // whatever is asked; spend it here, away from the scenes under test.
        FakeServices fakes;
        CSoundPlay player(fakes.services);
        player.mode = SoundMode::Panned;
        player.InitDevice();
        player.AddSound(withPictures.string() + "\\sound\\kin.snz", 0);
        player.PlayAt(0, 0, 1);
    }
    ~GameDirectories() { std::filesystem::remove_all(root); }

    std::filesystem::path root, withPictures, withoutPictures;
};

GameDirectories& Directories() {
    static GameDirectories directories;
    return directories;
}

}  // namespace

const std::filesystem::path& TestGameDirectory() {
    return Directories().withPictures;
}
const std::filesystem::path& TestGameDirectoryWithoutPictures() {
    return Directories().withoutPictures;
}

void GameFixture::Start(int level, uint32_t start, const std::filesystem::path& dir) {
    EndScene();
    platform::UseManualClock(start);
    startTime = start;
    fakes.audio.TakeJournal();
    heard.clear();
    window.repaints = 0;
    gameDir = dir.string();
    soundPrefix = gameDir + "\\sound\\";
    scene = std::make_unique<CSceenGame>(fakes.services);
    scene->level = level;
    scene->LoadAssets(&window, dir.string());
}

// As the window tears a scene down: footsteps, font, then the scene.
void GameFixture::EndScene() {
    if (scene) {
        scene->StopFootsteps();
        delete scene->font;
        scene->font = nullptr;
        scene.reset();
    }
}

void GameFixture::Tick() {
    platform::AdvanceManualClock(100);
    scene->Tick();
}

void GameFixture::Ticks(int count) {
    for (int i = 0; i < count; i++) {
        Tick();
    }
}

void GameFixture::Key(int vk) {
    scene->OnKey(vk);
}

std::vector<Heard> GameFixture::Fresh() {
    std::vector<Heard> fresh;
    for (const SoundEvent& event : fakes.audio.TakeJournal()) {
        std::string name = event.name;
        if (name.rfind(soundPrefix, 0) == 0) {
            name = name.substr(soundPrefix.size());
        }
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".snz") == 0) {
            name.resize(name.size() - 4);
        }
        for (char& c : name) {
            if (c == '\\') {
                c = '/';
            }
        }
        fresh.push_back({event.kind, name, event.value});
    }
    return fresh;
}

std::vector<Heard> GameFixture::Take() {
    std::vector<Heard> fresh = Fresh();
    heard.insert(heard.end(), fresh.begin(), fresh.end());
    std::vector<Heard> taken;
    taken.swap(heard);
    return taken;
}

std::vector<std::string> Started(const std::vector<Heard>& events) {
    std::vector<std::string> names;
    for (const Heard& event : events) {
        if (event.kind == SoundEvent::Kind::Play) {
            names.push_back(event.sound);
        }
    }
    return names;
}

bool WasStarted(const std::vector<Heard>& events, const std::string& sound) {
    for (const std::string& name : Started(events)) {
        if (name == sound) {
            return true;
        }
    }
    return false;
}

std::vector<int64_t> Values(const std::vector<Heard>& events, const std::string& sound,
                            SoundEvent::Kind kind) {
    std::vector<int64_t> values;
    for (const Heard& event : events) {
        if (event.kind == kind && event.sound == sound) {
            values.push_back(event.value);
        }
    }
    return values;
}

int GameFixture::MsUntilStarted(const std::string& sound, int limitMs) {
    for (int ms = 100; ms <= limitMs; ms += 100) {
        Tick();
        std::vector<Heard> now = Fresh();
        bool found = WasStarted(now, sound);
        heard.insert(heard.end(), now.begin(), now.end());
        if (found) {
            return ms;
        }
    }
    return -1;
}

int GameFixture::AnswerByEar() const {
    const platform::SoundBuffer* swing = Buffer(scene->swingSound);
    if (swing == nullptr || swing->GetPan() == 0) {
        return 0;
    }
    const bool left = swing->GetPan() < 0;
    const bool high = swing->GetFrequency() > kClipRate;
    if (high) {
        return left ? '7' : '9';
    }
    return left ? '1' : '3';
}

void GameFixture::PlayByEar(int untilEnemy, int limitMs) {
    for (int ms = 0; ms < limitMs && scene->resultCode == -1; ms += 100) {
        Tick();
        std::vector<Heard> now = Fresh();
        if (WasStarted(now, "huri")) {
            Key(AnswerByEar());
            std::vector<Heard> answer = Fresh();
            now.insert(now.end(), answer.begin(), answer.end());
            if (WasStarted(answer, "chance")) {
                Key(platform::VK_SPACE);
                std::vector<Heard> strike = Fresh();
                now.insert(now.end(), strike.begin(), strike.end());
            }
        }
        heard.insert(heard.end(), now.begin(), now.end());
        if (untilEnemy > 0 && scene->enemyNumber >= untilEnemy &&
            scene->phase == CSceenGame::Approach) {
            return;
        }
        if (scene->phase == CSceenGame::Won || scene->phase == CSceenGame::Lost) {
            return;
        }
    }
}
