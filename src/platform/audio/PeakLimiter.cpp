#include "platform/audio/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace platform {
namespace {

constexpr double kHoldSeconds = 0.010;
constexpr double kReleaseSeconds = 0.060;
// Within 0.001 dB of unity the gain is unity again, so a quiet mix that
// follows a loud one is once more passed bit for bit.
constexpr float kUnitySnap = 0.99988487f;  // 10^(-0.001/20)
// -120 dB: far under anything audible, and never a denormal.
constexpr float kMinGain = 1e-6f;

}  // namespace

// An exponential release: after n frames the remaining distance to unity is
// (1 - step)^n of what it was, so with step = 1 - e^(-1 / (tau * rate)) it
// falls to 1/e in tau seconds.
PeakLimiter::PeakLimiter(int sampleRate)
    : holdFrames(static_cast<int>(kHoldSeconds * sampleRate)),
      releaseStep(static_cast<float>(1.0 - std::exp(-1.0 / (kReleaseSeconds * sampleRate)))) {}

void PeakLimiter::Process(float* interleaved, int frames) {
    for (int frame = 0; frame < frames; ++frame) {
        float& left = interleaved[2 * frame];
        float& right = interleaved[2 * frame + 1];
        // The common case, written so that a NaN fails it: nothing to do.
        if (gain == 1.0f && std::fabs(left) <= kCeiling && std::fabs(right) <= kCeiling) {
            continue;
        }
        if (!std::isfinite(left)) {
            left = 0.0f;
        }
        if (!std::isfinite(right)) {
            right = 0.0f;
        }
        const float peak = std::max(std::fabs(left), std::fabs(right));
        const float needed = peak > kCeiling ? kCeiling / peak : 1.0f;

        float released = gain;
        if (holdLeft > 0) {
            --holdLeft;
        } else {
            released += (1.0f - released) * releaseStep;
            if (released >= kUnitySnap) {
                released = 1.0f;
            }
        }
        // A frame that reaches the ceiling even at the released gain sets the
        // gain and starts the hold anew.
        if (needed <= released) {
            gain = std::max(needed, kMinGain);
            holdLeft = holdFrames;
        } else {
            gain = released;
        }
        left = std::clamp(left * gain, -kCeiling, kCeiling);
        right = std::clamp(right * gain, -kCeiling, kCeiling);
    }
}

}  // namespace platform
