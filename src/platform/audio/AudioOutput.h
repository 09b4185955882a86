#pragma once
// Where the game's sound buffers play: one output for the whole program.
// The desktop's is SdlAudioOutput; tests use an offline one they render by
// hand.
#include <memory>

#include "platform/audio/SoundBuffer.h"
#include "platform/audio/WaveFormat.h"

namespace platform {

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // Opens the output the first time it is asked; true once it is open.
    // False when there is no output at all (no sound card, no sound server):
    // the game then runs silent.
    virtual bool Open() = 0;
    // A buffer of the description, or null when the output is not open or
    // the format cannot be played. The output outlives every buffer it made.
    virtual std::unique_ptr<SoundBuffer> CreateSoundBuffer(
        const BufferDescription& description) = 0;
};

}  // namespace platform
