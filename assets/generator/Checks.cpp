#include "Checks.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "LevelPlan.h"
#include "Loudness.h"
#include "manifest/AssetManifest.h"

namespace assets {
namespace {

struct Limits {
    double minSeconds, maxSeconds;
    bool music = false;
};

// Clips are written at their group's loudness (LevelPlan.h) with their peaks
// at most at -1 dBFS; a sample above -0.5 dBFS is a fault of the generator.
// The music's peaks stay well under that too, since the menu speaks over it.
constexpr double kMaxPeakDb = -0.5;
constexpr double kMaxMusicPeakDb = -6.0;
// The game's timing starts with the sound: the first sample reaching
// -30 dBFS comes within 50 ms.
constexpr float kAudibleLevel = 0.0316f;
constexpr double kMaxLeadingSilenceMs = 50.0;
// The music loops: its first and last tenth of a second both sound.
constexpr double kMinMusicEdgeRmsDb = -45.0;
// Two effects whose spectral centroids are closer than this ratio sound alike.
constexpr double kMinCentroidRatio = 1.25;
// The enemy's voice: this far under the narrator's median pitch.
constexpr double kMaxEnemyPitchRatio = 0.85;

// Lengths follow from the game's waits: a battle cry fits its 1000 ms pause,
// a tutorial page's voice ends before the next page speaks (5000 ms), an
// enemy's number fits its 1500 ms approach, the swing is short enough for
// the fastest 400 ms answer window.
Limits GameClipLimits(int clip) {
    using namespace manifest;
    if (clip >= kFirstNumber) {
        return {0.2, 1.4};
    }
    if (clip >= kFirstText) {
        return {0.5, 4.8};
    }
    if (clip >= kFirstDamage) {
        return {0.5, 2.5};
    }
    if (clip >= kFirstFall) {
        return {0.2, 1.5};
    }
    if (clip >= kFirstBattleCry) {
        return {0.2, 1.0};
    }
    switch (clip) {
        case kFootsteps:
            return {2.0, 3.0};
        case kSwing:
            return {0.3, 0.5};
        case kClang:
        case kChance:
            return {0.3, 2.0};
        case kStrike:
        case kStab:
            return {0.1, 1.0};
        case kWinner:
            return {0.5, 3.0};
        default:  // win, yourwin, youlose, GameOver
            return {0.2, 2.5};
    }
}

const std::map<std::string, Limits>& LimitsByFile() {
    static const std::map<std::string, Limits> limits = [] {
        std::map<std::string, Limits> all;
        for (int id = 0; id <= manifest::kMenuMusic; ++id) {
            all[MenuFile(id)] = id == manifest::kMenuMusic   ? Limits{20.0, 40.0, true}
                                : id == manifest::kMenuTitle ? Limits{1.0, 6.0}
                                                             : Limits{0.2, 2.0};
        }
        for (int clip = 0; clip < manifest::kGameClips; ++clip) {
            all[GameFile(clip)] = GameClipLimits(clip);
        }
        return all;
    }();
    return limits;
}

// `value` with `decimals` digits after the point, for the messages.
std::string Num(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double RmsDbOf(const Samples& clip, size_t from, size_t count) {
    return RmsDb(Samples(clip.begin() + from, clip.begin() + from + count));
}

// A looping clip must not click where its end runs into its start: that
// step is no larger than the steps the music makes anyway (its 99th
// percentile).
std::string CheckLoop(const Samples& music) {
    const size_t tenth = static_cast<size_t>(kRate / 10);
    double head = RmsDbOf(music, 0, tenth), tail = RmsDbOf(music, music.size() - tenth, tenth);
    if (head < kMinMusicEdgeRmsDb || tail < kMinMusicEdgeRmsDb) {
        return "its first and last 0.1 s must both reach " + Num(kMinMusicEdgeRmsDb, 0) +
               " dB RMS, or the loop has a gap; they are " + Num(head, 1) + " and " + Num(tail, 1) +
               " dB";
    }
    std::vector<float> steps;
    for (size_t i = 1; i < music.size(); ++i) {
        steps.push_back(std::fabs(music[i] - music[i - 1]));
    }
    std::sort(steps.begin(), steps.end());
    float usual = steps[steps.size() * 99 / 100];
    float seam = std::fabs(music.front() - music.back());
    if (seam > usual) {
        return "the loop's seam steps by " + Num(seam, 4) +
               ", more than the music's own steps (99th percentile " + Num(usual, 4) +
               "): it clicks";
    }
    return "";
}

// Power-weighted mean frequency, through a zero-padded FFT.
double SpectralCentroid(const Samples& signal) {
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
        weighted += power * k * kRate / n;
        total += power;
    }
    return total > 0 ? weighted / total : 0.0;
}

// Median pitch of the voiced stretches of a spoken clip: for each 40 ms frame
// that is loud enough, the lag (50..400 Hz) where the frame best matches
// itself shifted. 0 when nothing sounds voiced.
double MedianPitch(const Samples& clip) {
    const int frame = kRate / 25, hop = frame / 2, minLag = kRate / 400, maxLag = kRate / 50;
    std::vector<double> pitches;
    for (size_t start = 0; start + frame + maxLag < clip.size(); start += hop) {
        const float* x = clip.data() + start;
        if (RmsDbOf(clip, start, frame) < -30.0) {
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
            pitches.push_back(static_cast<double>(kRate) / bestLag);
        }
    }
    if (pitches.empty()) {
        return 0.0;
    }
    std::sort(pitches.begin(), pitches.end());
    return pitches[pitches.size() / 2];
}

// A clip louder or quieter than its group's level by more than the
// tolerance: the message names the clip, its level and the plan's.
std::string CheckLevel(const std::string& file, const Samples& clip) {
    LevelGroup group;
    if (!GroupOfFile(file, group)) {
        return "";
    }
    const GroupLevel plan = LevelOf(group);
    const double lufs = LoudnessLufs(clip);
    if (std::fabs(lufs - plan.lufs) <= kLevelTolerance) {
        return "";
    }
    return file + " measures " + Num(lufs, 1) + " LUFS, " +
           (lufs > plan.lufs ? "louder" : "quieter") + " than the level plan allows for the " +
           plan.name + " (" + Num(plan.lufs, 1) + " LUFS, within " + Num(kLevelTolerance, 0) +
           " LU)";
}

}  // namespace

std::string CheckClip(const std::string& file, const Samples& clip) {
    auto found = LimitsByFile().find(file);
    if (found == LimitsByFile().end()) {
        return "";
    }
    const Limits& limits = found->second;
    const double seconds = static_cast<double>(clip.size()) / kRate;
    if (seconds < limits.minSeconds || seconds > limits.maxSeconds) {
        return file + " lasts " + Num(seconds, 2) + " s; it must last " +
               Num(limits.minSeconds, 2) + " to " + Num(limits.maxSeconds, 2) + " s";
    }
    size_t silent = 0;
    while (silent < clip.size() && std::fabs(clip[silent]) < kAudibleLevel) {
        ++silent;
    }
    const double silentMs = 1000.0 * static_cast<double>(silent) / kRate;
    if (silentMs > kMaxLeadingSilenceMs) {
        return file + " starts after " + Num(silentMs, 0) + " ms of silence; at most " +
               Num(kMaxLeadingSilenceMs, 0) + " ms, since the game's timing starts with the sound";
    }
    const double peak = PeakDb(clip);
    if (peak >= kMaxPeakDb) {
        return file + " peaks at " + Num(peak, 2) + " dBFS; it must stay under " +
               Num(kMaxPeakDb, 1) + " dBFS";
    }
    std::string level = CheckLevel(file, clip);
    if (!level.empty()) {
        return level;
    }
    if (limits.music) {
        if (peak >= kMaxMusicPeakDb) {
            return file + " peaks at " + Num(peak, 2) + " dBFS; the music must stay under " +
                   Num(kMaxMusicPeakDb, 1) + " dBFS";
        }
        std::string loop = CheckLoop(clip);
        if (!loop.empty()) {
            return file + ": " + loop;
        }
    }
    return "";
}

std::vector<std::string> CheckClipsTogether(const std::map<std::string, Samples>& clips) {
    std::vector<std::string> failures;
    auto clipOf = [&](const std::string& file) -> const Samples& {
        static const Samples none;
        auto found = clips.find(file);
        return found != clips.end() ? found->second : none;
    };

    // The music under every voice, the swing over the music and not far over
    // any voice: measured, not taken from the plan, so a fault in the scaling
    // shows too.
    const std::string music = MenuFile(manifest::kMenuMusic), swing = GameFile(manifest::kSwing);
    const double musicLufs = LoudnessLufs(clipOf(music)), swingLufs = LoudnessLufs(clipOf(swing));
    for (const auto& [file, clip] : clips) {
        LevelGroup group;
        if (!GroupOfFile(file, group) || group != LevelGroup::Voice) {
            continue;
        }
        const double voice = LoudnessLufs(clip);
        if (musicLufs > voice - kMusicUnderVoices) {
            failures.push_back(music + " measures " + Num(musicLufs, 1) + " LUFS; it must stay " +
                               Num(kMusicUnderVoices, 0) + " LU under " + file + " (" +
                               Num(voice, 1) + " LUFS)");
        }
        if (swingLufs > voice + kSwingOverVoices) {
            failures.push_back(swing + " measures " + Num(swingLufs, 1) +
                               " LUFS; it must not pass " + file + " (" + Num(voice, 1) +
                               " LUFS) by more than " + Num(kSwingOverVoices, 0) + " LU");
        }
    }
    if (swingLufs < musicLufs + kSwingOverMusic) {
        failures.push_back(swing + " measures " + Num(swingLufs, 1) + " LUFS; it must pass " +
                           music + " (" + Num(musicLufs, 1) + " LUFS) by " +
                           Num(kSwingOverMusic, 0) + " LU to be heard through it");
    }

    const int effects[] = {manifest::kClang, manifest::kStrike, manifest::kStab};
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            double first = SpectralCentroid(clipOf(GameFile(effects[a])));
            double second = SpectralCentroid(clipOf(GameFile(effects[b])));
            if (std::max(first, second) < kMinCentroidRatio * std::min(first, second)) {
                failures.push_back(GameFile(effects[a]) + " and " + GameFile(effects[b]) +
                                   " sound alike: their spectral centroids (" + Num(first, 0) +
                                   " and " + Num(second, 0) + " Hz) must be " +
                                   Num(kMinCentroidRatio, 2) + " times apart");
            }
        }
    }

    std::vector<double> narrator;
    for (int page = 0; page < manifest::kTutorialPages; ++page) {
        narrator.push_back(MedianPitch(clipOf(GameFile(manifest::kFirstText + page))));
    }
    std::sort(narrator.begin(), narrator.end());
    const double narratorPitch = narrator[narrator.size() / 2];
    if (narratorPitch <= 0.0) {
        failures.push_back("the narrator's pitch is not found in the tutorial's clips");
        return failures;
    }
    const double highest = kMaxEnemyPitchRatio * narratorPitch;
    for (int clip = manifest::kFirstBattleCry; clip < manifest::kFirstDamage; ++clip) {
        double pitch = MedianPitch(clipOf(GameFile(clip)));
        if (pitch <= 0.0 || pitch >= highest) {
            failures.push_back(GameFile(clip) + " is spoken at " + Num(pitch, 0) +
                               " Hz; the enemy must speak under " + Num(highest, 0) + " Hz (" +
                               Num(kMaxEnemyPitchRatio, 2) + " of the narrator's " +
                               Num(narratorPitch, 0) + " Hz)");
        }
    }
    return failures;
}

}  // namespace assets
