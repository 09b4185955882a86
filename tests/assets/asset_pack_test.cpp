// The generated game directory, checked through the game's own loaders: the
// names the menu and the duel register, the clips' format and timing, the
// swing heard high and low through the real mixer, and the pictures.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "FakeServices.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Picture.h"
#include "platform/ui/Window.h"
#include "sound/CSoundPlay.h"

namespace {

namespace fs = std::filesystem;

const std::string kGameDir = ZANKORUC_GAME_DIR;

// ---- the names the scenes register ------------------------------------

// The menu's sounds in id order 0..8.
std::vector<std::string> MenuSounds() {
    return {
        "\\sound\\menu\\Title.snz",  "\\sound\\menu\\tutorial.snz", "\\sound\\menu\\easy.snz",
        "\\sound\\menu\\normal.snz", "\\sound\\menu\\hard.snz",     "\\sound\\menu\\NetRecord.snz",
        "\\sound\\menu\\update.snz", "\\sound\\menu\\end.snz",      "\\sound\\opning.snz"};
}

// The duel's sounds in id order 0..140.
std::vector<std::string> GameSounds() {
    std::vector<std::string> names = {
        "asiato",  "huri",   "kin", "sasu1", "sasu2",  "chance", "win",      "GameOver", "yourwin",
        "youlose", "winner", "iza", "mairu", "kakugo", "uwaa",   "yarareta", "munen"};
    for (int n = 1; n <= 5; ++n) {
        names.push_back("damage" + std::to_string(n));
    }
    for (int n = 1; n <= 19; ++n) {
        names.push_back("text\\" + std::to_string(n));
    }
    for (int n = 1; n <= 100; ++n) {
        names.push_back("no\\" + std::to_string(n));
    }
    for (std::string& name : names) {
        name = "\\sound\\" + name + ".snz";
    }
    return names;
}

std::vector<std::string> Pictures() {
    return {"\\image\\sam1.imz", "\\image\\sam2.imz", "\\image\\sam3.imz", "\\image\\sam4.imz",
            "\\image\\sam5.imz", "\\image\\sam6.imz", "\\image\\sam7.imz", "\\image\\ude.imz"};
}

// "\sound\menu\Title.snz" -> "<game>/sound/menu/Title.snz", letter case kept.
std::string FileOf(const std::string& assetName) {
    std::string path = assetName;
    std::replace(path.begin(), path.end(), '\\', '/');
    return kGameDir + path;
}

// ---- reading a clip as stored -------------------------------------------

struct RawClip {
    bool plainLayout = false;  // RIFF, WAVE, a 16-byte "fmt " chunk, then "data"
    uint16_t formatTag = 0, channels = 0, blockAlign = 0, bits = 0;
    uint32_t rate = 0, byteRate = 0, dataBytes = 0;
    std::vector<float> samples;  // -1..1

    double Seconds() const { return static_cast<double>(samples.size()) / rate; }
};

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}
bool Tag(const std::vector<uint8_t>& b, size_t at, const char* tag) {
    return std::equal(tag, tag + 4, b.begin() + at);
}

RawClip ReadClip(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RawClip clip;
    if (b.size() < 44) {
        return clip;
    }
    clip.plainLayout = Tag(b, 0, "RIFF") && U32(b, 4) == b.size() - 8 && Tag(b, 8, "WAVE") &&
                       Tag(b, 12, "fmt ") && U32(b, 16) == 16 && Tag(b, 36, "data") &&
                       U32(b, 40) == b.size() - 44;
    clip.formatTag = U16(b, 20);
    clip.channels = U16(b, 22);
    clip.rate = U32(b, 24);
    clip.byteRate = U32(b, 28);
    clip.blockAlign = U16(b, 32);
    clip.bits = U16(b, 34);
    clip.dataBytes = U32(b, 40);
    for (size_t at = 44; at + 1 < b.size(); at += 2) {
        clip.samples.push_back(static_cast<int16_t>(U16(b, at)) / 32768.0f);
    }
    return clip;
}

double PeakDb(const std::vector<float>& s) {
    float peak = 0;
    for (float v : s) {
        peak = std::max(peak, std::fabs(v));
    }
    return 20.0 * std::log10(std::max(peak, 1e-9f));
}

double RmsDb(const std::vector<float>& s, size_t from = 0, size_t count = SIZE_MAX) {
    count = std::min(count, s.size() - from);
    double sum = 0;
    for (size_t i = from; i < from + count; ++i) {
        sum += static_cast<double>(s[i]) * s[i];
    }
    return 10.0 * std::log10(std::max(sum / count, 1e-18));
}

// Milliseconds before the first sample that reaches -30 dBFS.
double LeadingSilenceMs(const RawClip& clip) {
    size_t i = 0;
    while (i < clip.samples.size() && std::fabs(clip.samples[i]) < 0.0316f) {
        ++i;
    }
    return 1000.0 * i / clip.rate;
}

// Power-weighted mean frequency of a signal, through a zero-padded FFT.
double SpectralCentroid(const std::vector<double>& signal, double rate) {
    size_t n = 1;
    while (n < signal.size()) {
        n <<= 1;
    }
    std::vector<std::complex<double>> x(n);
    std::copy(signal.begin(), signal.end(), x.begin());
    for (size_t i = 1, j = 0; i < n; ++i) {  // bit-reversal permutation
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(x[i], x[j]);
        }
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi / len);
        for (size_t start = 0; start < n; start += len) {
            std::complex<double> w = 1.0;
            for (size_t k = 0; k < len / 2; ++k) {
                std::complex<double> a = x[start + k], b = x[start + k + len / 2] * w;
                x[start + k] = a + b;
                x[start + k + len / 2] = a - b;
                w *= step;
            }
        }
    }
    double weighted = 0, total = 0;
    for (size_t k = 1; k < n / 2; ++k) {
        double power = std::norm(x[k]);
        weighted += power * k * rate / n;
        total += power;
    }
    return total > 0 ? weighted / total : 0.0;
}

double SpectralCentroid(const std::vector<float>& signal, double rate) {
    return SpectralCentroid(std::vector<double>(signal.begin(), signal.end()), rate);
}

// Median pitch of the voiced stretches of a spoken clip: for each 40 ms frame
// that is loud enough, the lag (50..400 Hz) where the frame best matches
// itself shifted.
double MedianPitch(const RawClip& clip) {
    const int frame = static_cast<int>(clip.rate / 25), hop = frame / 2;
    const int minLag = static_cast<int>(clip.rate / 400), maxLag = static_cast<int>(clip.rate / 50);
    std::vector<double> pitches;
    for (size_t start = 0; start + frame + maxLag < clip.samples.size(); start += hop) {
        const float* x = clip.samples.data() + start;
        if (RmsDb(clip.samples, start, frame) < -30.0) {
            continue;
        }
        double best = 0.0;
        int bestLag = 0;
        for (int lag = minLag; lag <= maxLag; ++lag) {
            double cross = 0, a = 0, b = 0;
            for (int i = 0; i < frame; ++i) {
                cross += x[i] * x[i + lag];
                a += x[i] * x[i];
                b += x[i + lag] * x[i + lag];
            }
            double match = cross / std::sqrt(a * b + 1e-12);
            if (match > best) {
                best = match;
                bestLag = lag;
            }
        }
        if (best > 0.6) {
            pitches.push_back(static_cast<double>(clip.rate) / bestLag);
        }
    }
    if (pitches.empty()) {
        return 0.0;
    }
    std::sort(pitches.begin(), pitches.end());
    return pitches[pitches.size() / 2];
}

// ---- what each clip must be ---------------------------------------------

enum class Kind { Voice, Effect, Music };

struct Rule {
    Kind kind;
    double minSeconds, maxSeconds;
};

// Lengths follow from the game's waits: a battle cry fits its 1000 ms pause,
// a tutorial page's voice ends before the next page speaks (5000 ms), an
// enemy's number fits its 1500 ms approach, the swing is short enough for
// the fastest 400 ms answer window.
Rule RuleFor(const std::string& name) {
    auto is = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (name == "\\sound\\opning.snz")
        return {Kind::Music, 20.0, 40.0};
    if (name == "\\sound\\menu\\Title.snz")
        return {Kind::Voice, 1.0, 6.0};
    if (is("\\sound\\menu\\"))
        return {Kind::Voice, 0.2, 2.0};
    if (is("\\sound\\text\\"))
        return {Kind::Voice, 0.5, 4.8};
    if (is("\\sound\\no\\"))
        return {Kind::Voice, 0.2, 1.4};
    if (is("\\sound\\damage"))
        return {Kind::Voice, 0.5, 2.5};
    if (name == "\\sound\\asiato.snz")
        return {Kind::Effect, 2.0, 3.0};
    if (name == "\\sound\\huri.snz")
        return {Kind::Effect, 0.3, 0.5};
    if (name == "\\sound\\kin.snz")
        return {Kind::Effect, 0.3, 2.0};
    if (name == "\\sound\\sasu1.snz" || name == "\\sound\\sasu2.snz")
        return {Kind::Effect, 0.1, 1.0};
    if (name == "\\sound\\chance.snz")
        return {Kind::Effect, 0.3, 2.0};
    if (name == "\\sound\\winner.snz")
        return {Kind::Voice, 0.5, 3.0};
    for (const char* cry : {"iza", "mairu", "kakugo"}) {
        if (name == std::string("\\sound\\") + cry + ".snz")
            return {Kind::Voice, 0.2, 1.0};
    }
    for (const char* cry : {"uwaa", "yarareta", "munen"}) {
        if (name == std::string("\\sound\\") + cry + ".snz")
            return {Kind::Voice, 0.2, 1.5};
    }
    return {Kind::Voice, 0.2, 2.5};  // win, yourwin, youlose, GameOver
}

std::vector<std::string> AllSounds() {
    std::vector<std::string> all = MenuSounds();
    for (const std::string& name : GameSounds()) {
        all.push_back(name);
    }
    return all;
}

// ---- the tests ------------------------------------------------------------

TEST(AssetPack, HoldsExactlyTheFilesTheGameLoadsWithTheirLetterCase) {
    ASSERT_EQ(MenuSounds().size(), 9u);
    ASSERT_EQ(GameSounds().size(), 141u);
    std::set<std::string> expected;
    for (const std::string& name : AllSounds()) {
        expected.insert(FileOf(name));
    }
    for (const std::string& name : Pictures()) {
        expected.insert(FileOf(name));
    }
    for (const std::string& file : expected) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    // Nothing else: a second file differing only in case would make the
    // case-insensitive lookup ambiguous.
    for (const auto& entry : fs::recursive_directory_iterator(kGameDir)) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(expected.count(entry.path().string()), 1u) << entry.path();
        }
    }
}

TEST(AssetPack, EveryClipLoadsThroughTheGamesPlayer) {
    FakeServices fakes;
    // The menu's player, centred, and the duel's, panned, registered as the
    // two scenes register them.
    struct Scene {
        SoundMode mode;
        std::vector<std::string> sounds;
    } scenes[] = {{SoundMode::Centred, MenuSounds()}, {SoundMode::Panned, GameSounds()}};
    for (const Scene& scene : scenes) {
        CSoundPlay player(fakes.services);
        player.mode = scene.mode;
        ASSERT_EQ(player.InitDevice(), 1);
        for (size_t id = 0; id < scene.sounds.size(); ++id) {
            player.AddSound(kGameDir + scene.sounds[id], static_cast<uint32_t>(id));
        }
        for (size_t id = 0; id < scene.sounds.size(); ++id) {
            const std::string& name = scene.sounds[id];
            ASSERT_EQ(player.Play(static_cast<int>(id), 0), 1) << name;
            platform::SoundBuffer* buffer = fakes.audio.Find(kGameDir + name);
            ASSERT_NE(buffer, nullptr) << name;
            const platform::WaveFormat& format = buffer->Format();
            EXPECT_EQ(format.formatTag, 1) << name;
            EXPECT_EQ(format.channels, 1) << name;
            EXPECT_EQ(format.samplesPerSec, 22050u) << name;
            EXPECT_EQ(format.bitsPerSample, 16) << name;
            EXPECT_EQ(format.blockAlign, 2) << name;
            EXPECT_EQ(format.avgBytesPerSec, 44100u) << name;
            EXPECT_EQ(buffer->Bytes(), ReadClip(FileOf(name)).dataBytes) << name;
            player.Stop(static_cast<int>(id));
        }
    }
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST(AssetPack, ClipsHaveTheirLengthLevelAndAPromptStart) {
    for (const std::string& name : AllSounds()) {
        RawClip clip = ReadClip(FileOf(name));
        ASSERT_TRUE(clip.plainLayout) << name;
        ASSERT_EQ(clip.rate, 22050u) << name;
        ASSERT_EQ(clip.channels, 1) << name;
        ASSERT_EQ(clip.bits, 16) << name;
        Rule rule = RuleFor(name);
        EXPECT_GE(clip.Seconds(), rule.minSeconds) << name;
        EXPECT_LE(clip.Seconds(), rule.maxSeconds) << name;
        // The game's timing starts with the sound.
        EXPECT_LE(LeadingSilenceMs(clip), 50.0) << name;
        double peak = PeakDb(clip.samples);
        EXPECT_LT(peak, -0.5) << name << " clips";
        if (rule.kind != Kind::Music) {
            EXPECT_GT(peak, -4.0) << name << " is too quiet";
        }
    }
}

TEST(AssetPack, MusicStaysUnderTheMenuVoicesAndLoopsWithoutASeam) {
    RawClip music = ReadClip(FileOf("\\sound\\opning.snz"));
    ASSERT_GT(music.samples.size(), 22050u);
    double musicRms = RmsDb(music.samples);
    for (const std::string& name : MenuSounds()) {
        if (name != "\\sound\\opning.snz") {
            EXPECT_LT(musicRms, RmsDb(ReadClip(FileOf(name)).samples) - 4.0) << name;
        }
    }
    EXPECT_LT(PeakDb(music.samples), -6.0);

    // No gap: the last and the first tenth of a second both sound.
    const size_t tenth = 2205;
    EXPECT_GT(RmsDb(music.samples, music.samples.size() - tenth, tenth), -45.0);
    EXPECT_GT(RmsDb(music.samples, 0, tenth), -45.0);
    // No click: the step from the last sample to the first is no larger than
    // the steps the music makes anyway.
    std::vector<float> steps;
    for (size_t i = 1; i < music.samples.size(); ++i) {
        steps.push_back(std::fabs(music.samples[i] - music.samples[i - 1]));
    }
    std::sort(steps.begin(), steps.end());
    float seam = std::fabs(music.samples.front() - music.samples.back());
    EXPECT_LE(seam, steps[steps.size() * 99 / 100]);
}

TEST(AssetPack, StrokesAndClangAreToldApartBySound) {
    double kin = SpectralCentroid(ReadClip(FileOf("\\sound\\kin.snz")).samples, 22050);
    double kill = SpectralCentroid(ReadClip(FileOf("\\sound\\sasu1.snz")).samples, 22050);
    double hit = SpectralCentroid(ReadClip(FileOf("\\sound\\sasu2.snz")).samples, 22050);
    auto apart = [](double a, double b) { return std::max(a, b) / std::min(a, b); };
    EXPECT_GT(apart(kin, kill), 1.25) << kin << " " << kill;
    EXPECT_GT(apart(kin, hit), 1.25) << kin << " " << hit;
    EXPECT_GT(apart(kill, hit), 1.25) << kill << " " << hit;
}

// The enemy's cries are spoken low, well under the narrator's voice.
TEST(AssetPack, EnemyShoutsBelowTheNarratorsVoice) {
    std::vector<double> narrator;
    for (int n = 1; n <= 19; ++n) {
        narrator.push_back(
            MedianPitch(ReadClip(FileOf("\\sound\\text\\" + std::to_string(n) + ".snz"))));
    }
    std::sort(narrator.begin(), narrator.end());
    double narratorPitch = narrator[narrator.size() / 2];
    ASSERT_GT(narratorPitch, 0.0);
    for (const char* cry : {"iza", "mairu", "kakugo", "uwaa", "yarareta", "munen"}) {
        double pitch = MedianPitch(ReadClip(FileOf(std::string("\\sound\\") + cry + ".snz")));
        ::testing::Test::RecordProperty(cry, std::to_string(pitch));
        EXPECT_GT(pitch, 0.0) << cry;
        EXPECT_LT(pitch, 0.85 * narratorPitch)
            << cry << " against the narrator's " << narratorPitch;
    }
    ::testing::Test::RecordProperty("narrator", std::to_string(narratorPitch));
}

// The swing played high (24200 Hz) and low (13200 Hz) through the player and
// the real mixer: its whole spectrum moves by the ratio of the two rates.
TEST(AssetPack, SwingPlayedHighAndLowMovesByTheRateRatio) {
    FakeServices fakes;
    CSoundPlay player(fakes.services);
    player.mode = SoundMode::Panned;
    ASSERT_EQ(player.InitDevice(), 1);
    player.AddSound(kGameDir + "\\sound\\huri.snz", 1);
    FakeAudioOutput* mixer = &fakes.audio;
    // The process's first frequency setting plays at the clip's own rate
    // whatever is asked; take it before measuring.
    player.PlayAt(1, 1, 1);
    player.Stop(1);

    auto playAndMeasure = [&](float x, float y, int channel) {
        player.PlayAt(1, x, y);
        EXPECT_EQ(fakes.audio.Find(kGameDir + "\\sound\\huri.snz")->GetFrequency(),
                  y > 0 ? 24200u : 13200u);
        const int frames = 48000;  // longer than the swing at either rate
        std::vector<float> out(2 * frames);
        for (int done = 0; done < frames; done += platform::AudioMixer::kPeriodFrames) {
            mixer->Render(out.data() + 2 * done,
                          std::min(platform::AudioMixer::kPeriodFrames, frames - done));
        }
        player.Stop(1);
        std::vector<double> heard(frames);
        for (int i = 0; i < frames; ++i) {
            heard[i] = out[2 * i + channel];
        }
        return SpectralCentroid(heard, platform::AudioMixer::kOutputRate);
    };
    double high = playAndMeasure(-1, 1, 0);  // upper left: left speaker, high
    double low = playAndMeasure(1, -1, 1);   // lower right: right speaker, low
    ::testing::Test::RecordProperty("centroid_high_hz", std::to_string(high));
    ::testing::Test::RecordProperty("centroid_low_hz", std::to_string(low));
    double expected = 24200.0 / 13200.0;
    EXPECT_NEAR(high / low, expected, 0.1 * expected) << high << " Hz against " << low << " Hz";
}

// The enemy's pictures are drawn over black; the arm is drawn over them with
// pure black transparent.
TEST(AssetPack, PicturesLoadThroughTheGamesLoader) {
    for (const std::string& name : Pictures()) {
        platform::Picture picture;
        ASSERT_TRUE(picture.Load(kGameDir + name)) << name;
        EXPECT_GE(picture.Width(), 300) << name;
        EXPECT_LE(picture.Width(), 420) << name;
        EXPECT_GE(picture.Height(), 360) << name;
        EXPECT_LE(picture.Height(), 480) << name;
    }
    platform::Picture enemy, arm;
    ASSERT_TRUE(enemy.Load(kGameDir + "\\image\\sam1.imz"));
    ASSERT_TRUE(arm.Load(kGameDir + "\\image\\ude.imz"));
    EXPECT_EQ(arm.Width() * enemy.Height(), arm.Height() * enemy.Width()) << "same shape";
}

struct PixelCount {
    long black = 0, dark = 0, other = 0;
    bool edgesBlack = true;  // top row and both side columns
};

PixelCount CountPixels(const std::string& name) {
    platform::Picture picture;
    PixelCount count;
    if (!picture.Load(kGameDir + name)) {
        return count;
    }
    auto* pixbuf = static_cast<GdkPixbuf*>(picture.NativePixbuf());
    int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            int brightest = std::max({p[0], p[1], p[2]});
            bool black = brightest == 0;
            if (black) {
                ++count.black;
            } else if (brightest < 24) {
                ++count.dark;
            } else {
                ++count.other;
            }
            if (!black && (y == 0 || x == 0 || x == width - 1)) {
                count.edgesBlack = false;
            }
        }
    }
    return count;
}

TEST(AssetPack, PicturesStandOnBlackAndTheArmLeavesNoDarkFringe) {
    for (const std::string& name : Pictures()) {
        PixelCount count = CountPixels(name);
        EXPECT_TRUE(count.edgesBlack) << name << " would show a frame on the black window";
        long all = count.black + count.dark + count.other;
        ASSERT_GT(all, 0) << name;
        EXPECT_GT(count.other, all / 20) << name << " is nearly empty";
    }
    // The arm's own pixels must stay visible where the colour key removes
    // black: none of them black, none nearly black (a dark halo).
    PixelCount arm = CountPixels("\\image\\ude.imz");
    EXPECT_EQ(arm.dark, 0);
    EXPECT_GT(arm.black, arm.other) << "the arm covers only part of the enemy";
}

TEST(AssetPack, IconIsRendered) {
    GError* error = nullptr;
    GdkPixbuf* icon = gdk_pixbuf_new_from_file(ZANKORUC_ICON_FILE, &error);
    ASSERT_NE(icon, nullptr) << (error != nullptr ? error->message : "");
    EXPECT_EQ(gdk_pixbuf_get_width(icon), 128);
    EXPECT_EQ(gdk_pixbuf_get_height(icon), 128);
    g_object_unref(icon);
}

// Same sources, same bytes: running the generator again writes every file
// exactly as the build did.
TEST(AssetPack, GeneratorRepeatsItselfByteForByte) {
    fs::path again = fs::temp_directory_path() / ("zk-assets-again-" + std::to_string(::getpid()));
    fs::remove_all(again);
    std::string command = std::string("\"") + ZANKORUC_ASSET_GENERATOR + "\" \"" +
                          ZANKORUC_ASSET_SOURCES + "\" \"" + again.string() + "/game\" \"" +
                          ZANKORUC_ICON_SOURCE + "\" \"" + again.string() +
                          "/icon.png\" > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    auto bytes = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kGameDir)) {
        if (entry.is_regular_file()) {
            fs::path twin = again / "game" / fs::relative(entry.path(), kGameDir);
            EXPECT_EQ(bytes(entry.path()), bytes(twin)) << twin;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 158);
    EXPECT_EQ(bytes(ZANKORUC_ICON_FILE), bytes(again / "icon.png"));
    fs::remove_all(again);
}

}  // namespace
