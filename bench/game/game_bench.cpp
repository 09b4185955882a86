// A whole Hard game (50 enemies) on the manual clock and the offline mixer,
// won by a player that answers every attack at once and strikes as soon as
// the chance opens. Reports the CPU time of one game, with the loading of its
// pictures, font and clips, and the process's peak memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "FakeServices.h"
#include "GameClips.h"
#include "game/CSceenGame.h"
#include "platform/ui/VirtualKeys.h"

namespace {

constexpr int kClipSamples = 22050;

std::filesystem::path MakeGameDirectory() {
    auto dir =
        std::filesystem::temp_directory_path() / ("zk-game-bench-" + std::to_string(::getpid()));
    // One second of a 330 Hz tone: about the length of the game's voices and effects.
    wav::WriteGameClips(dir, wav::MonoClip(wav::Sine16(330, 22050, kClipSamples, 0.3)));
    return dir;
}

// The answer key of each sword position 1..4.
const int kAnswer[5] = {0, '7', '9', '1', '3'};

int AnswerKey(CSceenGame::Direction direction) {
    int index = static_cast<int>(direction);
    return index >= 0 && index < 5 ? kAnswer[index] : 0;
}

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
    static const std::filesystem::path dir = MakeGameDirectory();
    long ticks = 0;
    double clipBytes = 0;
    long enemies = 0;
    for (auto _ : state) {
        auto host = std::make_unique<FakeSceneHost>();
        host->fakes.clock.now = 5000;
        host->fakes.random.Srand(1);
        auto scene = std::make_unique<CSceenGame>(*host);
        scene->level = 4;
        scene->LoadAssets(dir.string());
        // Every clip is the same: the ones started tell what was loaded.
        std::set<std::string> loaded;
        using Phase = CSceenGame::Phase;
        while (scene->phase != Phase::Won && scene->phase != Phase::Lost) {
            host->fakes.clock.now += 100;
            scene->Tick();
            ticks++;
            if (scene->phase == Phase::Attack && !scene->parried) {
                scene->OnKey(AnswerKey(scene->direction));
                if (scene->chanceCounter < 0) {
                    scene->OnKey(platform::VK_SPACE);
                }
            }
            for (const auto& event : host->fakes.audio.TakeJournal()) {
                loaded.insert(event.name);
            }
        }
        if (scene->phase != Phase::Won) {
            state.SkipWithError("the answering player lost");
        }
        enemies += scene->enemyNumber;
        clipBytes = static_cast<double>(loaded.size()) * kClipSamples * 2;
        scene->StopFootsteps();
        scene.reset();
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
