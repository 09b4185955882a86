#pragma once
// Our software mixer: it renders every playing sound buffer into stereo float
// frames at 48000 Hz and passes the sum through the master bus's peak limiter
// (PeakLimiter.h), so nothing it writes passes -1 dBFS. The audio output's
// callback asks it for one period at a time; tests call Render themselves and
// measure what comes out.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/PeakLimiter.h"
#include "platform/audio/SoundBuffer.h"
#include "platform/audio/WaveFormat.h"

namespace platform {

class AudioMixer {
  public:
    static constexpr int kOutputRate = 48000;
    // The frames tests and benchmarks render at a time. The output asks for
    // whatever count its device wants.
    static constexpr int kPeriodFrames = 256;
    static constexpr size_t kMaxVoices = 1024;

    AudioMixer();
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    // A new buffer for the description, or null when the format cannot be
    // played (not 8- or 16-bit mono-or-more PCM with a consistent block
    // align, a rate outside 100..200000 Hz, no bytes) or the mixer is full.
    // The mixer outlives its buffers.
    std::unique_ptr<SoundBuffer> CreateBuffer(const BufferDescription& description);

    // Writes `frames` stereo frames (left, right interleaved): the sum of
    // every playing buffer, limited to the ceiling. Allocates nothing and
    // touches no file: it runs on the audio thread, one caller at a time.
    void Render(float* out, int frames);

    // Whether any buffer is playing: an output that has stopped asking for
    // periods is only missed while there is something to hear.
    bool AnyPlaying();

  private:
    // One clip as the mixer sees it. Written by the game thread under the
    // mixer's lock, read by the audio thread under the same lock.
    struct Voice {
        BufferDescription description;
        std::vector<float> samples;  // the clip's frames, converted to -1..1
        uint32_t frameCount = 0;     // 0 until CopyIn: a buffer never filled plays nothing
        bool playing = false;
        bool looping = false;
        double position = 0.0;   // in source frames, fractional between two frames
        uint32_t frequency = 0;  // 0 = the clip's own rate
        int32_t volume = 0;
        int32_t pan = 0;
    };
    class Buffer;

    void RenderVoiceLocked(Voice& voice, float* out, int frames);

    std::mutex mutex;
    std::vector<Voice*> voices;        // capacity reserved up front: Render never grows it
    PeakLimiter limiter{kOutputRate};  // Render's alone: needs no lock
};

}  // namespace platform
