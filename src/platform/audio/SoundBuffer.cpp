#include "platform/audio/SoundBuffer.h"

#include <algorithm>
#include <cstring>

#include "platform/audio/AudioMixer.h"

namespace platform {

// Every control below changes a few fields of the voice under the mixer's
// lock; the audio thread picks the change up at its next period.

SoundBuffer::SoundBuffer(AudioMixer& mixer, Voice* voice) : mixer(mixer), voice(voice) {}

SoundBuffer::~SoundBuffer() {
    {
        std::lock_guard<std::mutex> lock(mixer.mutex);
        auto& list = mixer.voices;
        list.erase(std::remove(list.begin(), list.end(), voice), list.end());
    }
    delete voice;
}

bool SoundBuffer::CopyIn(const void* data, size_t bytes) {
    if (bytes > voice->description.bufferBytes) {
        return false;
    }
    // Convert outside the lock, then swap the samples in.
    const WaveFormat& format = voice->description.format;
    const size_t frames = bytes / format.blockAlign;
    const auto* raw = static_cast<const uint8_t*>(data);
    const int bytesPerSample = format.bitsPerSample / 8;
    std::vector<float> converted(voice->frameCount, 0.0f);
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
    return true;
}

uint32_t SoundBuffer::Bytes() const {
    return voice->description.bufferBytes;
}
const WaveFormat& SoundBuffer::Format() const {
    return voice->description.format;
}
uint32_t SoundBuffer::Flags() const {
    return voice->description.flags;
}

bool SoundBuffer::Play(bool looping) {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->playing = true;
    voice->looping = looping;
    mixer.RecordLocked(SoundEvent::Kind::Play, *voice, looping ? 1 : 0);
    return true;
}

bool SoundBuffer::Stop() {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->playing = false;
    mixer.RecordLocked(SoundEvent::Kind::Stop, *voice, 0);
    return true;
}

bool SoundBuffer::SetCurrentPosition(uint32_t bytes) {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    if (bytes > voice->description.bufferBytes) {
        return false;
    }
    voice->position = bytes / voice->description.format.blockAlign;
    mixer.RecordLocked(SoundEvent::Kind::Position, *voice, bytes);
    return true;
}

uint32_t SoundBuffer::GetCurrentPosition() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    return static_cast<uint32_t>(voice->position) * voice->description.format.blockAlign;
}

uint32_t SoundBuffer::GetStatus() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    if (!voice->playing) {
        return 0;
    }
    return kStatusPlaying | (voice->looping ? kStatusLooping : 0);
}

bool SoundBuffer::SetFrequency(uint32_t hz) {
    if ((Flags() & kCapsCtrlFrequency) == 0) {
        return false;
    }
    if (hz != kFrequencyOriginal && (hz < kFrequencyMin || hz > kFrequencyMax)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->frequency = hz;
    mixer.RecordLocked(SoundEvent::Kind::Frequency, *voice, hz);
    return true;
}

uint32_t SoundBuffer::GetFrequency() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    return voice->frequency != 0 ? voice->frequency : voice->description.format.samplesPerSec;
}

bool SoundBuffer::SetVolume(int32_t volume) {
    if ((Flags() & kCapsCtrlVolume) == 0) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->volume = std::clamp(volume, kVolumeMin, kVolumeMax);
    mixer.RecordLocked(SoundEvent::Kind::Volume, *voice, voice->volume);
    return true;
}

int32_t SoundBuffer::GetVolume() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    return voice->volume;
}

bool SoundBuffer::SetPan(int32_t pan) {
    if ((Flags() & kCapsCtrlPan) == 0) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->pan = std::clamp(pan, kPanLeft, kPanRight);
    mixer.RecordLocked(SoundEvent::Kind::Pan, *voice, voice->pan);
    return true;
}

int32_t SoundBuffer::GetPan() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    return voice->pan;
}

bool SoundBuffer::Has3D() const {
    return (Flags() & kCapsCtrl3D) != 0;
}

bool SoundBuffer::SetMinDistance(float distance) {
    if (!Has3D() || !(distance > 0.0f)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->minDistance = distance;
    return true;
}

bool SoundBuffer::SetMaxDistance(float distance) {
    if (!Has3D() || !(distance > 0.0f)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->maxDistance = distance;
    return true;
}

float SoundBuffer::MinDistance() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    return voice->minDistance;
}

float SoundBuffer::MaxDistance() const {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    return voice->maxDistance;
}

void SoundBuffer::SetName(const std::string& name) {
    std::lock_guard<std::mutex> lock(mixer.mutex);
    voice->name = name;
}

const std::string& SoundBuffer::Name() const {
    return voice->name;
}

}  // namespace platform
