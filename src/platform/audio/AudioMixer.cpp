#include "platform/audio/AudioMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {
namespace {

// Hundredths of a decibel to a linear gain: 10^(cB / 2000). The bottom of the
// scale, -10000, is silence rather than -100 dB, so a clip set there is gone.
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

// The mixer's sound buffer. Every control changes a few fields of its voice
// under the mixer's lock; the audio thread picks the change up at its next
// period.
class AudioMixer::Buffer final : public SoundBuffer {
  public:
    Buffer(AudioMixer& mixer, Voice* voice) : mixer(mixer), voice(voice) {}
    ~Buffer() override {
        {
            std::lock_guard<std::mutex> lock(mixer.mutex);
            auto& list = mixer.voices;
            list.erase(std::remove(list.begin(), list.end(), voice), list.end());
        }
        delete voice;
    }

    bool CopyIn(const void* data, size_t bytes) override {
        if (bytes > voice->description.bufferBytes) {
            return false;
        }
        // Convert outside the lock, then swap the samples in. This is the only
        // copy of the clip the voice holds (a float per frame, four times an
        // 8-bit file): the buffer had none before.
        const WaveFormat& format = voice->description.format;
        const size_t frames = bytes / format.blockAlign;
        const auto* raw = static_cast<const uint8_t*>(data);
        const int bytesPerSample = format.bitsPerSample / 8;
        std::vector<float> converted(voice->description.bufferBytes / format.blockAlign, 0.0f);
        for (size_t frame = 0; frame < frames; ++frame) {
            // A clip with more than one channel is heard as the mean of them.
            float sum = 0.0f;
            for (int channel = 0; channel < format.channels; ++channel) {
                const uint8_t* sample = raw + frame * format.blockAlign + channel * bytesPerSample;
                if (bytesPerSample == 1) {
                    sum += (static_cast<int>(sample[0]) - 128) / 128.0f;  // 8-bit is unsigned
                } else {
                    int16_t value = static_cast<int16_t>(sample[0] | (sample[1] << 8));
                    sum += value / 32768.0f;
                }
            }
            converted[frame] = sum / format.channels;
        }
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->samples.swap(converted);
        voice->frameCount = static_cast<uint32_t>(voice->samples.size());
        return true;
    }
    uint32_t Bytes() const override { return voice->description.bufferBytes; }
    const WaveFormat& Format() const override { return voice->description.format; }

    bool Play(bool looping) override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->playing = true;
        voice->looping = looping;
        return true;
    }
    bool Stop() override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->playing = false;
        return true;
    }
    bool SetCurrentPosition(uint32_t bytes) override {
        if (bytes > voice->description.bufferBytes) {
            return false;
        }
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->position = bytes / voice->description.format.blockAlign;
        return true;
    }
    uint32_t GetCurrentPosition() const override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        return static_cast<uint32_t>(voice->position) * voice->description.format.blockAlign;
    }
    uint32_t GetStatus() const override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        if (!voice->playing) {
            return 0;
        }
        return kStatusPlaying | (voice->looping ? kStatusLooping : 0);
    }

    bool SetFrequency(uint32_t hz) override {
        if (hz != kFrequencyOriginal && (hz < kFrequencyMin || hz > kFrequencyMax)) {
            return false;
        }
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->frequency = hz;
        return true;
    }
    uint32_t GetFrequency() const override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        return voice->frequency != 0 ? voice->frequency : voice->description.format.samplesPerSec;
    }
    bool SetVolume(int32_t volume) override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->volume = std::clamp(volume, kVolumeMin, kVolumeMax);
        return true;
    }
    int32_t GetVolume() const override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        return voice->volume;
    }
    bool SetPan(int32_t pan) override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        voice->pan = std::clamp(pan, kPanLeft, kPanRight);
        return true;
    }
    int32_t GetPan() const override {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        return voice->pan;
    }

  private:
    AudioMixer& mixer;
    Voice* voice;  // owned; shared with the mixer's voice list while registered
};

AudioMixer::AudioMixer() {
    voices.reserve(kMaxVoices);
}

std::unique_ptr<SoundBuffer> AudioMixer::CreateBuffer(const BufferDescription& description) {
    if (!FormatPlayable(description)) {
        return nullptr;
    }
    auto voice = std::make_unique<Voice>();
    voice->description = description;
    voice->description.name.clear();  // never played by name: keep the voice small
    // No samples until CopyIn: silence of the clip's length would only be
    // replaced there, and would double what loading a clip takes at its peak.
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (voices.size() >= kMaxVoices) {
            return nullptr;
        }
        voices.push_back(voice.get());
    }
    return std::make_unique<Buffer>(*this, voice.release());
}

void AudioMixer::Render(float* out, int frames) {
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (Voice* voice : voices) {
            if (voice->playing) {
                RenderVoiceLocked(*voice, out, frames);
            }
        }
    }
    limiter.Process(out, frames);
}

bool AudioMixer::AnyPlaying() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(voices.begin(), voices.end(), [](const Voice* v) { return v->playing; });
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
    if (voice.pan < 0) {
        right *= CentibelsToGain(voice.pan);
    } else if (voice.pan > 0) {
        left *= CentibelsToGain(-voice.pan);
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

}  // namespace platform
