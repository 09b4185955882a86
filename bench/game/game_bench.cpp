// A whole Hard game (50 enemies) on the manual clock and the offline mixer,
// won by a player that answers every attack at once and strikes as soon as
// the chance opens. Reports the CPU time of one game, with the loading of its
// pictures, font and clips, and the process's peak memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "game/CSceenGame.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/CrtRandom.h"
#include "platform/VirtualKeys.h"

namespace {

class QuietWindow : public platform::Window {
  public:
    void RequestRepaint() override { ++repaints; }
    long repaints = 0;
};

void Put16(std::string& b, uint32_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// One second of a mono 16-bit 22050 Hz tone, about the length of the game's
// voices and effects.
std::string Clip() {
    const uint32_t rate = 22050;
    std::string data;
    for (uint32_t i = 0; i < rate; i++) {
        double v = 0.3 * std::sin(2.0 * M_PI * 330.0 * i / rate);
        Put16(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    }
    std::string b = "RIFF";
    Put32(b, static_cast<uint32_t>(36 + data.size()));
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, rate);
    Put32(b, rate * 2);
    Put16(b, 2);
    Put16(b, 16);
    b += "data";
    Put32(b, static_cast<uint32_t>(data.size()));
    b.append(data);
    return b;
}

std::filesystem::path MakeGameDirectory() {
    auto dir =
        std::filesystem::temp_directory_path() / ("zk-game-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sound" / "text");
    std::filesystem::create_directories(dir / "sound" / "no");
    const std::string clip = Clip();
    auto write = [&](const std::filesystem::path& path) {
        std::ofstream(path, std::ios::binary).write(clip.data(), clip.size());
    };
    for (const char* name :
         {"asiato",  "huri",    "kin",     "sasu1",   "sasu2",   "chance", "win",  "GameOver",
          "yourwin", "youlose", "winner",  "iza",     "mairu",   "kakugo", "uwaa", "yarareta",
          "munen",   "damage1", "damage2", "damage3", "damage4", "damage5"}) {
        write(dir / "sound" / (std::string(name) + ".snz"));
    }
    for (int i = 1; i <= 19; i++) {
        write(dir / "sound" / "text" / (std::to_string(i) + ".snz"));
    }
    for (int i = 1; i <= 100; i++) {
        write(dir / "sound" / "no" / (std::to_string(i) + ".snz"));
    }
    return dir;
}

// The answer key of each sword position 1..4.
const int kAnswer[5] = {0, '7', '9', '1', '3'};

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return 0;
}

// Resident memory before any game ran, read in main.
long baselineRssKb = 0;

void BM_HardGameWonByAnAnsweringPlayer(benchmark::State& state) {
    platform::AudioDevice::UseOfflineOutput();
    static const std::filesystem::path dir = MakeGameDirectory();
    long ticks = 0;
    double clipBytes = 0;
    long enemies = 0;
    for (auto _ : state) {
        platform::UseManualClock(5000);
        platform::CrtSrand(1);
        QuietWindow window;
        auto* scene = new CSceenGame;
        scene->level = 4;
        scene->LoadAssets(&window, dir.string());
        while (scene->phase != CSceenGame::Won && scene->phase != CSceenGame::Lost) {
            platform::AdvanceManualClock(100);
            scene->Tick();
            ticks++;
            if (scene->phase == CSceenGame::Attack && !scene->parried) {
                scene->OnKey(kAnswer[scene->direction]);
                if (scene->chanceCounter < 0) {
                    scene->OnKey(platform::VK_SPACE);
                }
            }
        }
        if (scene->phase != CSceenGame::Won) {
            state.SkipWithError("the answering player lost");
        }
        enemies += scene->enemyNumber;
        clipBytes = 0;
        for (int id = 0; id < scene->soundCount; id++) {
            if (platform::SoundBuffer* buffer = scene->sound.Buffer(id)) {
                clipBytes += buffer->Bytes();
            }
        }
        scene->StopFootsteps();
        delete scene->font;
        delete scene;
    }
    state.counters["ticks_per_game"] = static_cast<double>(ticks) / state.iterations();
    state.counters["enemies_per_game"] = static_cast<double>(enemies) / state.iterations();
    // What the game's clips take as 16-bit samples (the mixer keeps them as
    // floats, twice that), and the peak growth of the process over its start.
    state.counters["loaded_clips_kb"] = clipBytes / 1024;
    state.counters["baseline_rss_kb"] = baselineRssKb;
    state.counters["peak_rss_kb"] = StatusKb("VmHWM:");
    state.counters["peak_growth_kb"] = StatusKb("VmHWM:") - baselineRssKb;
}
BENCHMARK(BM_HardGameWonByAnAnsweringPlayer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    baselineRssKb = StatusKb("VmRSS:");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The clips of this run are scratch.
    std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                ("zk-game-bench-" + std::to_string(::getpid())));
    return 0;
}
