#pragma once
// The desktop's audio output: SDL's default device at 48000 Hz stereo float,
// whose callback asks the mixer for each period. A watchdog thread notices
// when the device or the sound server goes away and opens the default output
// again once there is one; the mixer, and so every buffer, voice and position,
// lives on meanwhile.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/audio/AudioMixer.h"
#include "platform/audio/AudioOutput.h"

namespace platform {

class SdlAudioOutput final : public AudioOutput {
  public:
    // The frames SDL asks for at each callback, 10.7 ms at 48 kHz. SDL hands
    // this figure on to the server as the whole latency it asks for: the
    // PulseAudio backend sets the stream's target length (tlength) to one such
    // period, with PA_STREAM_ADJUST_LATENCY; the PipeWire backend asks for
    // node.latency = frames/48000. 256 frames gave PulseAudio 3-4 ms of buffer
    // and the music broke up on a busy machine; 1024 took key release to
    // sound past 25 ms. On PulseAudio the server's buffer is asked for on its
    // own as well (PULSE_LATENCY_MSEC, see SoundServerEnvironment).
    static constexpr int kDeviceFrames = 512;

    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;  // stops the watchdog, closes the device; every buffer must be gone
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    // Opens the device on the first call. A machine without one (no sound
    // card, no sound server) is asked once: every later call answers false at
    // once and the game stays silent. Once it has opened, it stays "open" for
    // the game even while a lost server is being waited for.
    bool Open() override;
    std::unique_ptr<SoundBuffer> CreateSoundBuffer(const BufferDescription& description) override;

  private:
    static void Render(void* self, uint8_t* stream, int length);
    bool OpenDevice();   // SDL's audio and its default device; false leaves neither
    void CloseDevice();  // waits for SDL's audio thread
    bool DeviceLost();
    void Watch();

    AudioMixer mixer;
    bool tried = false;
    bool opened = false;  // the game's view: the first Open succeeded
    // SDL's device id, 0 while closed. Only the game thread's first Open and
    // then the watchdog (or the destructor, once the watchdog is gone) touch it.
    uint32_t device = 0;
    std::atomic<int64_t> lastCallback{0};  // steady clock, milliseconds
    std::atomic<uint32_t> callbacks{0};    // since the device opened

    std::thread watchdog;
    std::mutex watchMutex;
    std::condition_variable wake;
    bool stopping = false;  // under watchMutex
};

}  // namespace platform
