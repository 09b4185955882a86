#include "platform/audio/SdlAudioOutput.h"

#include <SDL.h>

namespace platform {
namespace {

void SDLCALL RenderCallback(void* userdata, Uint8* stream, int length) {
    auto* mixer = static_cast<AudioMixer*>(userdata);
    mixer->Render(reinterpret_cast<float*>(stream), length / static_cast<int>(2 * sizeof(float)));
}

}  // namespace

SdlAudioOutput::~SdlAudioOutput() {
    if (device != 0) {
        SDL_CloseAudioDevice(device);  // waits for the callback to return
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SdlAudioOutput::Open() {
    if (tried) {
        return device != 0;
    }
    tried = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = AudioMixer::kOutputRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = AudioMixer::kPeriodFrames;
    wanted.callback = RenderCallback;
    wanted.userdata = &mixer;
    // No changes allowed: SDL converts to whatever the hardware wants, so the
    // mixer always renders 48000 Hz stereo float periods of 256 frames.
    SDL_AudioSpec obtained{};
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(device, 0);
    return true;
}

std::unique_ptr<SoundBuffer> SdlAudioOutput::CreateSoundBuffer(
    const BufferDescription& description) {
    return device != 0 ? mixer.CreateBuffer(description) : nullptr;
}

}  // namespace platform
