#pragma once
// A sound buffer: one mono clip of linear PCM that the mixer can play, with
// the controls its description asked for (frequency, volume, pan or 3D).
// Every operation may be called from the game's thread while the audio thread
// renders; each takes the mixer's lock for a few field updates only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/audio/WaveFormat.h"

namespace platform {

class AudioMixer;
struct Voice;

class SoundBuffer {
  public:
    ~SoundBuffer();  // stops the clip and takes it out of the mixer
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // Copies `bytes` bytes of samples into the buffer from its start, as a
    // lock of the whole buffer followed by an unlock would. False when they do
    // not fit.
    bool CopyIn(const void* data, size_t bytes);
    uint32_t Bytes() const;
    const WaveFormat& Format() const;
    uint32_t Flags() const;

    // Starts at the current position; `looping` wraps at the end.
    bool Play(bool looping);
    // Stops; the position stays where it stopped.
    bool Stop();
    // Position in bytes from the start of the clip.
    bool SetCurrentPosition(uint32_t bytes);
    uint32_t GetCurrentPosition() const;
    // kStatusPlaying, with kStatusLooping when looping; 0 when stopped.
    uint32_t GetStatus() const;

    // Playback rate in Hz, 100..200000, or 0 for the clip's own rate; refused
    // without the frequency control or out of range. Get answers the rate in
    // use, the clip's own when 0 was set.
    bool SetFrequency(uint32_t hz);
    uint32_t GetFrequency() const;
    // Hundredths of a decibel, clamped to -10000 (silence)..0 (full).
    bool SetVolume(int32_t volume);
    int32_t GetVolume() const;
    // Hundredths of a decibel taken off the opposite channel, clamped to
    // -10000 (full left)..10000 (full right); refused without the pan control.
    bool SetPan(int32_t pan);
    int32_t GetPan() const;

    // The 3D control; refused on a buffer without it. The clip is never given
    // a position, so it stays at the listener and is heard centred.
    bool Has3D() const;
    bool SetMinDistance(float distance);
    bool SetMaxDistance(float distance);
    float MinDistance() const;
    float MaxDistance() const;

    // A label for the journal (the loader sets the file path).
    void SetName(const std::string& name);
    const std::string& Name() const;

  private:
    friend class AudioMixer;
    SoundBuffer(AudioMixer& mixer, Voice* voice);

    AudioMixer& mixer;
    Voice* voice;  // owned; shared with the mixer's voice list while registered
};

}  // namespace platform
