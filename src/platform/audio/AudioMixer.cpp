#include "platform/audio/AudioMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {
namespace {

// Hundredths of a decibel to a linear gain: 10^(cB / 2000). -10000 (and below)
// is silence, as the DirectSound scale defines it, not merely -100 dB.
float CentibelsToGain(int32_t centibels) {
    if (centibels <= kVolumeMin) {
        return 0.0f;
    }
    return static_cast<float>(std::pow(10.0, centibels / 2000.0));
}

bool FormatPlayable(const BufferDescription& description) {
    const WaveFormat& f = description.format;
    if (f.formatTag != 1 || (f.bitsPerSample != 8 && f.bitsPerSample != 16)) {
        return false;
    }
    if (f.channels == 0 || f.blockAlign != f.channels * (f.bitsPerSample / 8)) {
        return false;
    }
    return f.samplesPerSec >= kFrequencyMin && f.samplesPerSec <= kFrequencyMax &&
           description.bufferBytes > 0;
}

// Catmull-Rom interpolation through four neighbouring samples, t in [0, 1)
// between s0 and s1. Cubic, so a clip played far from its own rate keeps far
// less aliasing hiss than a straight line between samples would give.
inline float Cubic(float sm1, float s0, float s1, float s2, float t) {
    return s0 +
           0.5f * t *
               (s1 - sm1 +
                t * (2.0f * sm1 - 5.0f * s0 + 4.0f * s1 - s2 + t * (3.0f * (s0 - s1) + s2 - sm1)));
}

}  // namespace

AudioMixer::AudioMixer() {
    voices.reserve(kMaxVoices);
}

std::unique_ptr<SoundBuffer> AudioMixer::CreateBuffer(const BufferDescription& description) {
    if (!FormatPlayable(description)) {
        return nullptr;
    }
    auto voice = std::make_unique<Voice>();
    voice->description = description;
    voice->description.format.extraSize = 0;
    voice->frameCount = description.bufferBytes / description.format.blockAlign;
    voice->samples.assign(voice->frameCount, 0.0f);  // a new buffer holds silence
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (voices.size() >= kMaxVoices) {
            return nullptr;
        }
        voices.push_back(voice.get());
    }
    return std::unique_ptr<SoundBuffer>(new SoundBuffer(*this, voice.release()));
}

void AudioMixer::Render(float* out, int frames) {
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    std::lock_guard<std::mutex> lock(mutex);
    for (Voice* voice : voices) {
        if (voice->playing) {
            RenderVoiceLocked(*voice, out, frames);
        }
    }
}

void AudioMixer::RenderVoiceLocked(Voice& voice, float* out, int frames) {
    const uint32_t count = voice.frameCount;
    if (count == 0) {
        voice.playing = false;
        return;
    }
    // Gains for the period. A mono clip at the centre goes to both channels at
    // full volume; pan takes its attenuation off the opposite channel only.
    float left = CentibelsToGain(voice.volume);
    float right = left;
    if ((voice.description.flags & kCapsCtrlPan) != 0) {
        if (voice.pan < 0) {
            right *= CentibelsToGain(voice.pan);
        } else if (voice.pan > 0) {
            left *= CentibelsToGain(-voice.pan);
        }
    }
    const uint32_t rate =
        voice.frequency != 0 ? voice.frequency : voice.description.format.samplesPerSec;
    // A clip at rate f advances f / 48000 of its frames per output frame.
    const double step = static_cast<double>(rate) / kOutputRate;
    const float* s = voice.samples.data();
    const bool looping = voice.looping;
    double position = voice.position;

    // Neighbours outside the clip: a looping clip wraps round, so the seam is
    // interpolated like any other point. A once-played clip starts on its
    // first sample (no overshoot at the attack) and fades into silence after
    // its last.
    auto at = [&](int64_t index) -> float {
        if (index >= 0 && index < count) {
            return s[index];
        }
        if (!looping) {
            return index < 0 ? s[0] : 0.0f;
        }
        int64_t wrapped = index % static_cast<int64_t>(count);
        return s[wrapped < 0 ? wrapped + count : wrapped];
    };

    for (int frame = 0; frame < frames; ++frame) {
        if (position >= count) {
            if (!looping) {
                voice.playing = false;
                position = 0.0;
                break;
            }
            position = std::fmod(position, static_cast<double>(count));
        }
        const int64_t i = static_cast<int64_t>(position);
        const float t = static_cast<float>(position - static_cast<double>(i));
        float value;
        if (i >= 1 && i + 2 < count) {
            value = Cubic(s[i - 1], s[i], s[i + 1], s[i + 2], t);  // the common case
        } else {
            value = Cubic(at(i - 1), at(i), at(i + 1), at(i + 2), t);
        }
        out[2 * frame] += value * left;
        out[2 * frame + 1] += value * right;
        position += step;
    }
    voice.position = position;
}

void AudioMixer::SetJournalEnabled(bool enabled) {
    std::lock_guard<std::mutex> lock(mutex);
    journalEnabled = enabled;
    journal.clear();
}

std::vector<SoundEvent> AudioMixer::TakeJournal() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<SoundEvent> taken;
    taken.swap(journal);
    return taken;
}

int AudioMixer::PlayingCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(
        std::count_if(voices.begin(), voices.end(), [](const Voice* v) { return v->playing; }));
}

void AudioMixer::RecordLocked(SoundEvent::Kind kind, const Voice& voice, int64_t value) {
    if (journalEnabled) {
        journal.push_back({kind, voice.name, value});
    }
}

}  // namespace platform
