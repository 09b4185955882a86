#pragma once
// The desktop's audio output: SDL's default device at 48000 Hz stereo float
// with periods of 256 frames, whose callback asks the mixer for each period.
#include <cstdint>
#include <memory>

#include "platform/audio/AudioMixer.h"
#include "platform/audio/AudioOutput.h"

namespace platform {

class SdlAudioOutput final : public AudioOutput {
  public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;  // closes the device; every buffer must be gone
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    // Opens the device on the first call. A machine without one (no sound
    // card, no sound server) is asked once: every later call answers false at
    // once and the game stays silent.
    bool Open() override;
    std::unique_ptr<SoundBuffer> CreateSoundBuffer(const BufferDescription& description) override;

  private:
    AudioMixer mixer;
    uint32_t device = 0;  // SDL's device id, 0 while closed
    bool tried = false;
};

}  // namespace platform
