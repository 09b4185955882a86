#include "platform/audio/AudioDevice.h"

#include <SDL.h>

#include <mutex>

namespace platform {
namespace {

// The process's one audio output. It is opened by the first device and never
// closed: the audio thread may run until the process ends, so the mixer it
// reads is never destroyed either.
struct Output {
    std::mutex openMutex;
    AudioMixer* mixer = nullptr;
    Listener3D listener;
    SDL_AudioDeviceID sdlDevice = 0;
    bool offline = false;
    bool failed = false;  // tried once and found no output: stay silent quickly
};

Output& TheOutput() {
    static Output* output = new Output;
    return *output;
}

void SDLCALL RenderCallback(void* userdata, Uint8* stream, int length) {
    auto* mixer = static_cast<AudioMixer*>(userdata);
    mixer->Render(reinterpret_cast<float*>(stream), length / static_cast<int>(2 * sizeof(float)));
}

bool OpenSdlOutput(Output& output) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    output.mixer = new AudioMixer;
    SDL_AudioSpec wanted{};
    wanted.freq = AudioMixer::kOutputRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = AudioMixer::kPeriodFrames;
    wanted.callback = RenderCallback;
    wanted.userdata = output.mixer;
    // No changes allowed: SDL converts to whatever the hardware wants, so the
    // mixer always renders 48000 Hz stereo float periods of 256 frames.
    SDL_AudioSpec obtained{};
    output.sdlDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (output.sdlDevice == 0) {
        delete output.mixer;
        output.mixer = nullptr;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(output.sdlDevice, 0);
    return true;
}

}  // namespace

std::unique_ptr<AudioDevice> AudioDevice::Create() {
    Output& output = TheOutput();
    std::lock_guard<std::mutex> lock(output.openMutex);
    if (output.mixer == nullptr) {
        if (output.failed) {
            return nullptr;
        }
        if (output.offline) {
            output.mixer = new AudioMixer;
        } else if (!OpenSdlOutput(output)) {
            output.failed = true;
            return nullptr;
        }
    }
    return std::unique_ptr<AudioDevice>(new AudioDevice);
}

std::unique_ptr<SoundBuffer> AudioDevice::CreateSoundBuffer(const BufferDescription& description) {
    return TheOutput().mixer->CreateBuffer(description);
}

Listener3D* AudioDevice::Listener() {
    return &TheOutput().listener;
}

void AudioDevice::UseOfflineOutput() {
    Output& output = TheOutput();
    std::lock_guard<std::mutex> lock(output.openMutex);
    output.offline = true;
    output.failed = false;
}

AudioMixer* AudioDevice::OutputMixer() {
    Output& output = TheOutput();
    std::lock_guard<std::mutex> lock(output.openMutex);
    return output.mixer;
}

}  // namespace platform
