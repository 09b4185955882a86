// The sound engine's costs: one mixer period with the game's heaviest load,
// and the first play of a clip (file read, checks, buffer fill).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>

#include "FakeServices.h"
#include "WavBuilder.h"
#include "platform/audio/AudioMixer.h"
#include "sound/CSoundPlay.h"

namespace {

using platform::AudioMixer;

// 32 voices at once, at the game's three rates and both sides: more than the
// game ever plays together. Reports ns per voice-frame and the share of the
// period's real time (256 frames at 48 kHz = 5.33 ms) spent mixing.
void BM_MixPeriod32Voices(benchmark::State& state) {
    AudioMixer mixer;
    std::vector<std::unique_ptr<platform::SoundBuffer>> voices;
    const uint32_t rates[] = {13200, 22050, 24200};
    const int32_t pans[] = {-10000, 0, 10000, 2000};
    for (int i = 0; i < 32; ++i) {
        wav::Bytes samples = wav::Sine16(300 + 37 * i, 22050, 22050);
        voices.push_back(mixer.CreateBuffer(
            {static_cast<uint32_t>(samples.size()), {1, 1, 22050, 44100, 2, 16}, ""}));
        voices.back()->CopyIn(samples.data(), samples.size());
        voices.back()->SetFrequency(rates[i % 3]);
        voices.back()->SetPan(pans[i % 4]);
        voices.back()->SetVolume(-300);
        voices.back()->Play(true);
    }
    std::vector<float> out(2 * AudioMixer::kPeriodFrames);
    for (auto _ : state) {
        mixer.Render(out.data(), AudioMixer::kPeriodFrames);
        benchmark::DoNotOptimize(out.data());
    }
    const double voiceFrames = 32.0 * AudioMixer::kPeriodFrames;
    state.counters["ns_per_voice_frame"] =
        benchmark::Counter(voiceFrames * state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["share_of_real_time"] = benchmark::Counter(
        state.iterations() * (double(AudioMixer::kPeriodFrames) / AudioMixer::kOutputRate),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixPeriod32Voices)->Unit(benchmark::kMicrosecond);

// The first play of a 1-second 22050 Hz clip: find the file, read and check
// it, make and fill the buffer. Each iteration uses a new player, so every
// play is a first play. The offline output records each call, as cheap as a
// few field updates beside the file work measured.
void BM_FirstPlayOfOneSecondClip(benchmark::State& state) {
    FakeServices fakes;
    auto dir = std::filesystem::temp_directory_path() / ("zk-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "sound");
    wav::Write((dir / "sound" / "huri.snz").string(),
               wav::MonoClip(wav::Sine16(440, 22050, 22050)));
    const std::string path = dir.string() + "\\sound\\huri.snz";
    for (auto _ : state) {
        state.PauseTiming();
        auto player = std::make_unique<CSoundPlay>(fakes.services);
        player->mode = SoundMode::Panned;
        player->InitDevice();
        player->AddSound(path, 0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(player->Play(0, 0));
        state.PauseTiming();
        player.reset();
        fakes.audio.TakeJournal();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FirstPlayOfOneSecondClip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
