#include "Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace assets {

double LoudnessLufs(const Samples& clip) {
    if (clip.empty()) {
        return -HUGE_VAL;
    }
    ebur128_state* meter = ebur128_init(1, kRate, EBUR128_MODE_I);
    if (meter == nullptr) {
        return -HUGE_VAL;
    }
    const unsigned long blockFrames = kRate * 4 / 10;
    const unsigned long clipMs = static_cast<unsigned long>(clip.size() * 1000 / kRate);
    double lufs = -HUGE_VAL;
    // The meter keeps the last 400 ms (one block) for its window measure:
    // enough for a clip shorter than a block, the only one that needs it.
    bool measured = ebur128_add_frames_float(meter, clip.data(), clip.size()) == EBUR128_SUCCESS;
    if (measured && clip.size() >= blockFrames) {
        measured = ebur128_loudness_global(meter, &lufs) == EBUR128_SUCCESS;
    } else if (measured) {
        measured = ebur128_loudness_window(meter, std::max(clipMs, 1ul), &lufs) == EBUR128_SUCCESS;
    }
    ebur128_destroy(&meter);
    return measured ? lufs : -HUGE_VAL;
}

void NormalizeLoudness(Samples& clip, double lufs, double maxPeakDb) {
    const float ceiling = static_cast<float>(std::pow(10.0, maxPeakDb / 20.0));
    for (int pass = 0; pass < 2; ++pass) {
        const double measured = LoudnessLufs(clip);
        if (!std::isfinite(measured)) {
            return;  // silence stays silence; the checks report it
        }
        const float gain = static_cast<float>(std::pow(10.0, (lufs - measured) / 20.0));
        for (float& s : clip) {
            s *= gain;
        }
        LimitPeaks(clip, ceiling);
    }
}

void LimitPeaks(Samples& clip, float ceiling) {
    const int reach = MsToFrames(2.0);
    const int n = static_cast<int>(clip.size());
    std::vector<float> needed(clip.size());
    bool any = false;
    for (int i = 0; i < n; ++i) {
        const float level = std::fabs(clip[i]);
        needed[i] = level > ceiling ? ceiling / level : 1.0f;
        any = any || level > ceiling;
    }
    if (!any) {
        return;
    }
    std::vector<float> least(clip.size());
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - reach), to = std::min(n - 1, i + reach);
        least[i] = *std::min_element(needed.begin() + from, needed.begin() + to + 1);
    }
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - reach), to = std::min(n - 1, i + reach);
        double sum = 0.0;
        for (int j = from; j <= to; ++j) {
            sum += least[j];
        }
        // Rounding may leave the mean a hair above the least gain: the clamp holds the line.
        const float gain = std::min(static_cast<float>(sum / (to - from + 1)), needed[i]);
        clip[i] *= gain;
    }
}

}  // namespace assets
