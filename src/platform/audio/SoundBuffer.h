#pragma once
// A sound buffer: one clip of linear PCM that the output can play, with its
// playback rate, volume and pan. The game thread calls it while the audio
// thread renders.
#include <cstddef>
#include <cstdint>

#include "platform/audio/WaveFormat.h"

namespace platform {

class SoundBuffer {
  public:
    virtual ~SoundBuffer() = default;  // stops the clip

    // Copies `bytes` bytes of samples in from the buffer's start. False when
    // they do not fit.
    virtual bool CopyIn(const void* data, size_t bytes) = 0;
    virtual uint32_t Bytes() const = 0;
    virtual const WaveFormat& Format() const = 0;

    // Starts at the current position; `looping` wraps at the end.
    virtual bool Play(bool looping) = 0;
    // Stops; the position stays where it stopped.
    virtual bool Stop() = 0;
    // Position in bytes from the start of the clip.
    virtual bool SetCurrentPosition(uint32_t bytes) = 0;
    virtual uint32_t GetCurrentPosition() const = 0;
    // kStatusPlaying, with kStatusLooping when looping; 0 when stopped.
    virtual uint32_t GetStatus() const = 0;

    // Playback rate in Hz, 100..200000, or 0 for the clip's own rate; refused
    // out of range. Get answers the rate in use, the clip's own when 0 was set.
    virtual bool SetFrequency(uint32_t hz) = 0;
    virtual uint32_t GetFrequency() const = 0;
    // Hundredths of a decibel, clamped to -10000 (silence)..0 (full).
    virtual bool SetVolume(int32_t volume) = 0;
    virtual int32_t GetVolume() const = 0;
    // Hundredths of a decibel taken off the opposite channel, clamped to
    // -10000 (full left)..10000 (full right).
    virtual bool SetPan(int32_t pan) = 0;
    virtual int32_t GetPan() const = 0;
};

}  // namespace platform
