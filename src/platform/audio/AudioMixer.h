#pragma once
// Our software mixer: it renders every playing sound buffer into stereo float
// frames at 48000 Hz. On a desktop the audio device's callback asks it for one
// period at a time; tests call Render themselves and measure what comes out.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/SoundBuffer.h"
#include "platform/audio/WaveFormat.h"

namespace platform {

// One clip as the mixer sees it. Written by the game thread under the mixer's
// lock, read by the audio thread under the same lock.
struct Voice {
    BufferDescription description;
    std::vector<float> samples;  // the clip's frames, converted to -1..1
    uint32_t frameCount = 0;
    std::string name;

    bool playing = false;
    bool looping = false;
    double position = 0.0;   // in source frames, fractional between two frames
    uint32_t frequency = 0;  // 0 = the clip's own rate
    int32_t volume = 0;
    int32_t pan = 0;
    float minDistance = 1.0f;
    float maxDistance = 1000000000.0f;
};

// One control call on a buffer, kept for tests that check what was played.
struct SoundEvent {
    enum class Kind { Play, Stop, Position, Frequency, Volume, Pan };
    Kind kind;
    std::string name;   // the buffer's name: the clip's file path
    int64_t value = 0;  // Play: 1 when looping; the others: the value set
};

class AudioMixer {
  public:
    static constexpr int kOutputRate = 48000;
    static constexpr int kPeriodFrames = 256;
    static constexpr size_t kMaxVoices = 1024;

    AudioMixer();
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    // A new buffer for the description, or null when the format cannot be
    // played (not 8- or 16-bit mono-or-more PCM with a consistent block
    // align, a rate outside 100..200000 Hz, no bytes) or the mixer is full.
    std::unique_ptr<SoundBuffer> CreateBuffer(const BufferDescription& description);

    // Adds `frames` stereo frames (left, right interleaved) of every playing
    // buffer into `out`, which it first clears. Allocates nothing and touches
    // no file: it runs on the audio thread.
    void Render(float* out, int frames);

    // Tests: keep a journal of control calls.
    void SetJournalEnabled(bool enabled);
    std::vector<SoundEvent> TakeJournal();
    // Number of buffers playing now.
    int PlayingCount();

  private:
    friend class SoundBuffer;
    void RecordLocked(SoundEvent::Kind kind, const Voice& voice, int64_t value);
    void RenderVoiceLocked(Voice& voice, float* out, int frames);

    std::mutex mutex;
    std::vector<Voice*> voices;  // capacity reserved up front: Render never grows it
    bool journalEnabled = false;
    std::vector<SoundEvent> journal;
};

}  // namespace platform
