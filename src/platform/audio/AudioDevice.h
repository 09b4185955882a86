#pragma once
// Our DirectSound device: it creates sound buffers that play through the
// process's one audio output. The output is SDL's audio subsystem at 48000 Hz
// stereo float with periods of 256 frames, opened by the first device; every
// device shares it and its mixer.
#include <memory>

#include "platform/audio/AudioMixer.h"
#include "platform/audio/SoundBuffer.h"

namespace platform {

// The 3D listener of the output. Stored for completeness: no clip is ever
// positioned, so every 3D clip sits at the listener.
struct Listener3D {
    float x = 0, y = 0, z = 0;
    float dopplerFactor = 1.0f;
    float distanceFactor = 1.0f;
};

class AudioDevice {
  public:
    // A device on the default output, or null when no output can be opened
    // (no sound card, no audio server): the game then runs silent.
    static std::unique_ptr<AudioDevice> Create();

    // A buffer of the description, or null when refused.
    std::unique_ptr<SoundBuffer> CreateSoundBuffer(const BufferDescription& description);
    // The output's listener, as a primary buffer with the 3D control gives it.
    Listener3D* Listener();

    // Tests: devices then render into a mixer that only Render drives, with
    // no audio hardware. Must be called before the first Create.
    static void UseOfflineOutput();
    // The mixer behind every device (the offline one in tests), or null
    // before the output was opened.
    static AudioMixer* OutputMixer();

  private:
    AudioDevice() = default;
};

}  // namespace platform
