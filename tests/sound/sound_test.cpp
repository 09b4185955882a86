// The sound engine rendered offline: the mixer and player as scenes use them,
// and the clip files refused.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "FakeServices.h"
#include "WavBuilder.h"
#include "platform/audio/PeakLimiter.h"
#include "platform/audio/SdlAudioOutput.h"
#include "sound/CSoundPlay.h"
#include "sound/CSoundVolume.h"

// Counts allocations in Render: the audio callback must never allocate (the
// allocator's lock can stall it and make the output stutter).
static std::atomic<bool> counting{false};
static std::atomic<int> allocations{0};
void* operator new(std::size_t size) {
    allocations += counting ? 1 : 0;
    void* p = std::malloc(size == 0 ? 1 : size);
    return p != nullptr ? p : throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace wav;

const Bytes kTone = Sine16(1000, 22050, 22050);  // 1 s

// Root mean square of one channel (0 = left, 1 = right) of interleaved stereo.
double Rms(const std::vector<float>& stereo, int channel) {
    double sum = 0;
    for (size_t i = channel; i < stereo.size(); i += 2) {
        sum += stereo[i] * stereo[i];
    }
    return std::sqrt(2 * sum / stereo.size());
}

// Frequency of a steady tone from its upward zero crossings.
double ToneFrequency(const std::vector<float>& stereo, int channel) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 2 + channel; i < stereo.size(); i += 2) {
        if (stereo[i - 2] < 0 && stereo[i] >= 0) {
            last = (i - 2) / 2 + stereo[i - 2] / (stereo[i - 2] - stereo[i]);
            crossings += first < 0 ? 0 : 1;
            first = first < 0 ? last : first;
        }
    }
    return crossings == 0 ? 0 : crossings * 48000 / (last - first);
}

class Sound : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "sound");
        player.mode = SoundMode::Panned;
        ASSERT_EQ(player.InitDevice() + menu.InitDevice(), 2);
        player.AddSound(Asset("tone.snz", MonoClip(kTone)), 3);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        EXPECT_EQ(allocations.load(), 0);  // in any Render
    }

    // Writes the file; answers its path as a scene registers it.
    std::string Asset(const std::string& name, const Bytes& bytes) {
        Write((dir / "sound" / name).string(), bytes);
        return Path(name);
    }
    std::string Path(const std::string& name) { return dir.string() + "\\sound\\" + name; }
    platform::SoundBuffer* Clip(const std::string& name) { return fakes.audio.Find(Path(name)); }
    std::vector<float> Render(int frames) {
        std::vector<float> out(2 * frames);
        counting = true;
        for (int done = 0; done < frames; done += 256) {
            fakes.audio.Render(out.data() + 2 * done, std::min(256, frames - done));
        }
        counting = false;
        return out;
    }

    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zk-sound-" + std::to_string(::getpid()));
    FakeServices fakes;
    CSoundPlay player{fakes.services}, menu{fakes.services};  // menu: centred
};

// First in the file: the whole binary may run in one process.
TEST_F(Sound, AttacksArePlacedBySideAndHeightBeforeTheyStart) {
    // x, y, rate heard, silent channel; first: the clip's own rate x 1.1, see SetFrequency.
    const float cases[][4] = {{-1, 1, 24255, 1},  {-1, 1, 24200, 1}, {1, 1, 24200, 0},
                              {-1, -1, 13200, 1}, {1, -1, 13200, 0}, {0, 0, 22050, -1}};
    for (const auto& c : cases) {
        player.PlayAt(3, c[0], c[1]);
        EXPECT_EQ(fakes.audio.TakeJournal().back().kind, SoundEvent::Kind::Play);  // placed first
        auto out = Render(9600);
        for (int channel = 0; channel < 2; ++channel) {
            double tone = channel == c[3] ? 0 : 1000.0 * c[2] / 22050;
            EXPECT_NEAR(ToneFrequency(out, channel), tone, 2) << c[0] << c[1];
            EXPECT_EQ(Rms(out, channel) == 0, channel == c[3]);
        }
    }
    menu.AddSound(Path("tone.snz"), 0);  // the menu's player hears everything centred
    menu.PlayAt(0, -1, 1);
    auto out = Render(4800);
    EXPECT_NEAR(Rms(out, 0), Rms(out, 1), 1e-6);
}

TEST_F(Sound, VolumeAndPanInHundredthsOfADecibel) {
    // Pan, volume, each channel's gain; the last is clamped to full left, full volume.
    const double cases[][4] = {{0, -600, 0.501, 0.501},
                               {2000, 0, 0.1, 1},
                               {-2000, -600, 0.501, 0.0501},
                               {0, -10000, 0, 0},
                               {-30000, 500, 1, 0}};
    player.Play(3, 1);
    platform::SoundBuffer* buffer = Clip("tone.snz");
    for (const auto& c : cases) {
        buffer->SetPan(c[0]);
        buffer->SetVolume(c[1]);
        auto out = Render(4800);
        EXPECT_NEAR(Rms(out, 0) * std::sqrt(8.0), c[2], 0.003) << c[0] << " " << c[1];
        EXPECT_NEAR(Rms(out, 1) * std::sqrt(8.0), c[3], 0.003) << c[0] << " " << c[1];
    }
    EXPECT_FALSE(buffer->SetFrequency(99) || buffer->SetFrequency(200001));  // rate unchanged
    EXPECT_EQ(buffer->GetFrequency(), 22050u);
}

TEST_F(Sound, OnceStopsAtTheEndLoopWrapsWithoutAClick) {
    player.AddSound(Asset("short.snz", MonoClip(Sine16(500, 22050, 4410))), 4);  // 9600 frames out
    player.Play(4, 0);
    auto out = Render(9600 + 512);
    EXPECT_EQ(Clip("short.snz")->GetStatus(), 0u);
    EXPECT_GT(Rms({out.begin(), out.begin() + 2 * 9000}, 0), 0.3);
    EXPECT_EQ(Rms({out.begin() + 2 * 9700, out.end()}, 0), 0.0);

    // Looped seamlessly: no step between frames steeper than the tone's own slope.
    player.Play(4, 1);
    auto looped = Render(48000);
    for (size_t i = 2; i < looped.size(); i += 2) {
        ASSERT_LT(std::fabs(looped[i] - looped[i - 2]), 0.5 * 2 * M_PI * 500 / 48000 * 1.05) << i;
    }
    EXPECT_EQ(Clip("short.snz")->GetStatus(), platform::kStatusPlaying | platform::kStatusLooping);
}

TEST_F(Sound, PlayRestartsFromTheBeginningOnceOrLooping) {
    ASSERT_EQ(player.Play(3, 0), 1);
    auto first = Render(4800);
    ASSERT_EQ(player.Play(3, 0), 1);  // while still playing once
    EXPECT_EQ(Render(4800), first);
    ASSERT_EQ(player.Play(3, 1), 1);
    Render(4800);
    EXPECT_EQ(Clip("tone.snz")->GetStatus(), platform::kStatusPlaying | platform::kStatusLooping);
    ASSERT_EQ(player.Play(3, 0), 1);  // while looping: rewinds, now once
    EXPECT_EQ(Render(4800), first);
}

TEST_F(Sound, VolumesAreRememberedPerIdAndAppliedOnEveryPlay) {
    player.SetVolume(3, -500);  // not loaded yet: not remembered
    player.Play(3, 0);
    EXPECT_EQ(Clip("tone.snz")->GetVolume(), -1);  // a fresh clip of the game
    player.SetVolume(3, -900);
    Clip("tone.snz")->SetVolume(0);
    player.Play(3, 0);
    EXPECT_EQ(Clip("tone.snz")->GetVolume(), -900);
    player.SetVolume(3, 0);  // 0 means nothing remembered: never applied again
    Clip("tone.snz")->SetVolume(-300);
    player.Play(3, 0);
    EXPECT_EQ(Clip("tone.snz")->GetVolume(), -300);

    theSoundVolume.Remember(199, -1234);  // the menu's fresh clips take the remembered volume
    theSoundVolume.Remember(200, -5);     // outside the table: not kept
    menu.AddSound(Asset("a.snz", MonoClip(kTone)), 199);
    menu.AddSound(Asset("b.snz", MonoClip(kTone)), 198);
    ASSERT_EQ(menu.Play(199, 0) + menu.Play(198, 0), 2);
    EXPECT_EQ(std::pair(Clip("a.snz")->GetVolume(), Clip("b.snz")->GetVolume()),
              std::pair(-1234, 0));
    EXPECT_EQ(theSoundVolume.Remembered(200), 0);
}

TEST_F(Sound, WithoutAnOutputOrAClipNothingPlays) {
    fakes.audio.available = false;
    CSoundPlay silent(fakes.services);
    EXPECT_EQ(silent.InitDevice(), 0);
    silent.AddSound(Path("tone.snz"), 0);
    EXPECT_EQ(silent.Play(0, 0), 0);
    EXPECT_EQ(player.LoadSound(5), 0);  // never registered: nothing to load
    EXPECT_EQ(player.Play(5, 0) + player.Play(250, 0), 0);
    EXPECT_TRUE(fakes.audio.TakeJournal().empty());
}

TEST_F(Sound, RefusedFilesShowTheirMessageOnceForTheRun) {
    Bytes fmt18 = Format(1, 1, 22050, 16);
    Put16(fmt18, 0);
    Bytes badAlign = fmt18;
    badAlign[12] = 4;
    const Bytes fmt = Chunk("fmt ", fmt18), data = Chunk("data", kTone);
    const std::string notWave = "これはWAVファイルではありません",
                      noData = "dataチャンクが見つかりません";
    struct Case {
        Bytes file;
        std::string text = "", caption = "";  // no text: refused silently
    } cases[] = {
        {Riff({fmt, data}, "AVI "), notWave, " lol "},
        {Chunk("RIFX", Bytes(20, 0)), notWave, " lol "},
        {Riff({data}), "fmt チャンクが見つかりません"},
        // A 16-byte "fmt " chunk ending the file: the 18-byte record cannot be read.
        {Riff({Chunk("fmt ", Format(1, 1, 22050, 16))}), "WAVフォーマットの読み込み失敗"},
        {Riff({Chunk("fmt ", Format(3, 1, 22050, 32)), data}),
         "リニアPCMフォーマットを想定しています"},
        {Riff({Chunk("fmt ", Format(1, 2, 22050, 16)), data}),
         "音源はモノラルである必要があります"},
        {Riff({fmt, Chunk("LIST", Bytes(4, 'x'))}), noData},
        {Riff({data, fmt}), noData},  // the search goes on from "fmt "
        {Bytes{'R', 'I', 'F'}},
        {Riff({Chunk("fmt ", Format(1, 1, 22050, 24)), data})},  // the mixer refuses
        {Riff({Chunk("fmt ", Format(1, 0, 22050, 16)), data})},
        {Riff({Chunk("fmt ", Format(1, 1, 99, 16)), data})},
        {Riff({Chunk("fmt ", Format(1, 1, 200001, 16)), data})},
        {Riff({Chunk("fmt ", badAlign), data})},
        {Riff({fmt, Chunk("data", {})})},
    };
    int id = 10;
    for (const Case& c : cases) {
        const std::string name = std::to_string(id) + ".snz";
        player.AddSound(Asset(name, c.file), id);
        menu.AddSound(Path(name), id);  // a later scene plays it too
        EXPECT_EQ(player.Play(id, 0) + player.Play(id, 0) + menu.Play(id, 0), 0) << id;
        auto shown = std::exchange(fakes.messages.shown, {});
        ASSERT_EQ(shown.size(), c.text.empty() ? 0u : 1u) << id;
        for (const auto& message : shown) {
            EXPECT_EQ(message.text + "|" + message.caption,
                      c.text + "\n" + (dir / "sound" / name).string() + "|" + c.caption);
        }
        ++id;
    }
    player.AddSound(Path("missing.snz"), 100);
    EXPECT_EQ(player.Play(100, 0), 0);
    EXPECT_TRUE(fakes.messages.shown.empty() && fakes.audio.TakeJournal().empty());
}

TEST_F(Sound, FilesAsOtherToolsWriteThem) {
    // Extra chunks before "fmt ", an 18-byte format chunk, an odd-sized chunk
    // with its pad byte (8-bit silence); data cut short by the file's end, and
    // sizes a streaming writer left unknown.
    Bytes fmt18 = Format(1, 1, 100, 8);
    Put16(fmt18, 0);
    const Bytes whole = MonoClip(kTone), cut(whole.begin(), whole.end() - 1000);
    Bytes streamed = whole;  // both sizes left unknown, as a streaming writer leaves them
    std::fill_n(streamed.begin() + 4, 4, 0xFF);
    std::fill_n(streamed.end() - kTone.size() - 4, 4, 0xFF);
    Bytes other = Riff({Chunk("LIST", Bytes(5, 'i')), Chunk("fmt ", fmt18),
                        Chunk("fact", Bytes(4, 0)), Chunk("data", Bytes(801, 128))});
    player.AddSound(Asset("0.snz", other), 0);
    player.AddSound(Asset("1.snz", cut), 1);
    player.AddSound(Asset("2.snz", streamed), 2);
    ASSERT_EQ(player.Play(0, 0) + player.Play(1, 0) + player.Play(2, 0), 3);
    EXPECT_EQ(Clip("0.snz")->Bytes(), 801u);
    EXPECT_EQ(Clip("0.snz")->Format().samplesPerSec, 100u);
    EXPECT_EQ(Clip("1.snz")->Bytes(), kTone.size() - 1000);
    EXPECT_EQ(Clip("2.snz")->Bytes(), kTone.size());
    player.AddSound(Asset("5.snz", streamed), 5);  // but minutes of it are refused, silently
    std::filesystem::resize_file(dir / "sound" / "5.snz", (64 << 20) + 100);
    EXPECT_EQ(player.Play(5, 0), 0);
    player.Stop(1);
    player.Stop(2);
    EXPECT_EQ(Rms(Render(256), 0), 0.0);  // unsigned 8-bit 128 is silence
    EXPECT_TRUE(fakes.messages.shown.empty());
}

// A loaded clip holds its floats once, beside the file's bytes read once: a
// 60 MB 8-bit clip took 530 MB, 8.8 times the file, through silence made only
// to be replaced and a second float copy.
TEST_F(Sound, ALoadedClipCostsItsFloatsAndTheFileOnce) {
    const uint32_t frames = 24 << 20;  // 8-bit mono: one byte a frame
    {
        const Bytes head = Riff({Chunk("fmt ", Format(1, 1, 22050, 8)), Chunk("data", {}, frames)});
        std::ofstream file(dir / "sound" / "long.snz", std::ios::binary);
        file.write(reinterpret_cast<const char*>(head.data()),
                   static_cast<std::streamsize>(head.size()));
        const std::string megabyte(1 << 20, '\x80');
        for (uint32_t written = 0; written < frames; written += megabyte.size()) {
            file << megabyte;
        }
    }
    player.AddSound(Path("long.snz"), 7);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(player.Play(7, 0), 1);
    getrusage(RUSAGE_SELF, &after);
    ASSERT_NE(Clip("long.snz"), nullptr);
    EXPECT_EQ(Clip("long.snz")->Bytes(), frames);
    EXPECT_LT((after.ru_maxrss - before.ru_maxrss) * 1024.0, 6.0 * frames);  // 4 + 1 and the rest
    player.Stop(7);
}

// Everything the mixer writes stays within the ceiling, however many loud
// voices sound; a quiet mix is the exact sum of its voices, also after the
// limiter has acted and let go.
TEST_F(Sound, TheMixStaysUnderTheCeilingAndAQuietMixIsTheExactSum) {
    std::vector<std::unique_ptr<platform::SoundBuffer>> voices;
    auto voice = [&](const Bytes& samples, uint32_t rate) {
        voices.push_back(fakes.audio.CreateSoundBuffer(
            {static_cast<uint32_t>(samples.size()), {1, 1, rate, rate * 2, 2, 16}, ""}));
        voices.back()->CopyIn(samples.data(), samples.size());
        voices.back()->Play(true);
    };
    // At the output's own rate each output frame is one sample of the clip.
    const Bytes a = Sine16(440, 48000, 48000, 0.5), b = Sine16(660, 48000, 48000, 0.35);
    auto sample = [](const Bytes& clip, size_t i) {
        return static_cast<int16_t>(clip[2 * i] | (clip[2 * i + 1] << 8)) / 32768.0f;
    };
    auto expectExactSum = [&](const char* when) {
        for (auto& v : voices) {
            v->SetCurrentPosition(0);
        }
        auto out = Render(4800);
        for (size_t i = 0; i < 4800; ++i) {
            const float sum = 0.0f + sample(a, i) + sample(b, i);
            ASSERT_TRUE(out[2 * i] == sum && out[2 * i + 1] == sum) << when << " frame " << i;
        }
    };
    voice(a, 48000);
    voice(b, 48000);
    expectExactSum("before");

    Bytes square;
    for (int i = 0; i < 22050; ++i) {
        Put16(square, (i / 25) % 2 ? 0x8000 : 0x7FFF);  // full scale, 441 Hz
    }
    const int32_t pans[] = {-10000, 0, 10000, 3000};
    for (int i = 0; i < 30; ++i) {
        voice(square, 13200 + 1000 * (i % 12));
        voices.back()->SetPan(pans[i % 4]);
    }
    auto loud = Render(24000);
    float peak = 0.0f;
    for (float x : loud) {
        ASSERT_TRUE(std::isfinite(x));
        peak = std::max(peak, std::fabs(x));
    }
    EXPECT_LE(peak, platform::PeakLimiter::kCeiling);
    EXPECT_GT(peak, 0.99f * platform::PeakLimiter::kCeiling);

    voices.resize(2);
    Render(48000);  // the limiter lets go
    expectExactSum("after");
}

// The limiter itself: one gain for both channels, so a side stays a side;
// what is under the ceiling at unity gain is not touched, bit for bit, be it
// a denormal; what is not finite becomes silence.
TEST(PeakLimiter, BringsPeaksToTheCeilingWithOneGainAndNothingElse) {
    const float c = platform::PeakLimiter::kCeiling, inf = INFINITY, nan = NAN, tiny = 1e-40f;
    struct Case {
        std::vector<float> in;
        bool untouched;
    } cases[] = {
        {{0.5f, -0.5f, c, -c, 0.0f, 0.3f}, true},
        {{tiny, -tiny, tiny, 0.0f}, true},
        {{1.5f, 0.0f, 3.0f, 0.0f, -2.0f, 0.0f, 1.2f, 0.6f}, false},
        {{nan, 0.5f, inf, -inf, 0.5f, nan, 1e30f, -3e38f, 2.0f, 1.0f}, false},
    };
    for (const Case& test : cases) {
        platform::PeakLimiter limiter(48000);
        std::vector<float> out = test.in;
        limiter.Process(out.data(), static_cast<int>(out.size() / 2));
        if (test.untouched) {
            EXPECT_EQ(std::memcmp(out.data(), test.in.data(), out.size() * sizeof(float)), 0);
            continue;
        }
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_TRUE(std::isfinite(out[i]) && std::fabs(out[i]) <= c) << i << ": " << out[i];
            EXPECT_EQ(out[i] == 0.0f, test.in[i] == 0.0f || !std::isfinite(test.in[i])) << i;
        }
        EXPECT_EQ(out[out.size() - 2], 2 * out.back());  // the last frame: left twice right
    }

    // Held for 10 ms after the last loud frame, then back within 1 dB by
    // 150 ms and to unity by 1 s.
    platform::PeakLimiter limiter(48000);
    std::vector<float> burst(2 * 4800, 2.0f), quiet(2 * 48000, 0.25f);
    limiter.Process(burst.data(), 4800);
    const float held = limiter.Gain();
    EXPECT_NEAR(held, c / 2, 1e-6);
    limiter.Process(quiet.data(), 470);
    EXPECT_EQ(limiter.Gain(), held);
    limiter.Process(quiet.data(), 7200 - 470);
    EXPECT_TRUE(limiter.Gain() > 0.891f && limiter.Gain() < 1.0f) << limiter.Gain();
    limiter.Process(quiet.data(), 48000 - 7200);
    EXPECT_EQ(limiter.Gain(), 1.0f);
}

// An output that cannot be opened (here SDL's file driver with nowhere to
// write) says so, once and for all, and the game runs silent.
TEST(SdlAudioOutput, ThatCannotOpenStaysClosed) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/nonexistent/zankoruc/out.raw", 1);
    platform::SdlAudioOutput output;
    EXPECT_FALSE(output.Open());
    EXPECT_FALSE(output.Open());
    EXPECT_EQ(output.CreateSoundBuffer({}), nullptr);
}

}  // namespace
