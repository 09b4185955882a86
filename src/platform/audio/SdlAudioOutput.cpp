#include "platform/audio/SdlAudioOutput.h"

#include <SDL.h>

#include <chrono>
#include <cstring>

namespace platform {
namespace {

// The watchdog's rhythm: how often it looks, how long a playing output may
// stay without a callback before it counts as gone, how often it tries to
// open again once it is gone, and how many callbacks show that a new stream
// flows (before that, a silence is the server starting up).
constexpr auto kWatchEvery = std::chrono::milliseconds(100);
constexpr int64_t kSilentCallbackMs = 500;
constexpr auto kRetryEvery = std::chrono::milliseconds(200);
constexpr uint32_t kSteadyCallbacks = 8;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How the stream introduces itself to the sound server. A value the player
// set in the environment wins (SDL reads the environment before hints of
// default priority).
void SetStreamHints() {
    SDL_SetHintWithPriority(SDL_HINT_APP_NAME, "ZankoruC", SDL_HINT_DEFAULT);
    SDL_SetHintWithPriority(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ZankoruC", SDL_HINT_DEFAULT);
    SDL_SetHintWithPriority(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Game sound", SDL_HINT_DEFAULT);
    // Only the PipeWire backend passes a role on, and PipeWire spells its
    // roles capitalised ("Game", as its policy modules match them).
    // PulseAudio's lowercase "game" comes from PULSE_PROP (SoundServerEnvironment).
    SDL_SetHintWithPriority(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "Game", SDL_HINT_DEFAULT);
    // SIGTERM and SIGINT belong to the window's GLib loop. SDL would turn them
    // into quit events nobody reads if it ever found them unhandled, say when
    // the watchdog starts SDL's audio again.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_DEFAULT);
}

// Drivers that write to a file or to nothing never lose their device, and a
// reopened disk driver would start its file anew.
bool DriverCanBeLost() {
    const char* driver = SDL_GetCurrentAudioDriver();
    return driver != nullptr && std::strcmp(driver, "disk") != 0 &&
           std::strcmp(driver, "dummy") != 0;
}

}  // namespace

void SdlAudioOutput::Render(void* self, uint8_t* stream, int length) {
    auto* output = static_cast<SdlAudioOutput*>(self);
    output->lastCallback.store(NowMs(), std::memory_order_relaxed);
    output->callbacks.fetch_add(1, std::memory_order_relaxed);
    output->mixer.Render(reinterpret_cast<float*>(stream),
                         length / static_cast<int>(2 * sizeof(float)));
}

SdlAudioOutput::~SdlAudioOutput() {
    if (watchdog.joinable()) {
        {
            std::lock_guard<std::mutex> lock(watchMutex);
            stopping = true;
        }
        wake.notify_all();
        watchdog.join();
    }
    CloseDevice();
}

bool SdlAudioOutput::Open() {
    if (tried) {
        return opened;
    }
    tried = true;
    SetStreamHints();
    opened = OpenDevice();
    // Nothing to watch on a machine with no output at all: the game stays
    // silent, as it was at the start.
    if (opened && DriverCanBeLost()) {
        watchdog = std::thread([this] { Watch(); });
    }
    return opened;
}

bool SdlAudioOutput::OpenDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = AudioMixer::kOutputRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = kDeviceFrames;
    wanted.callback = Render;
    wanted.userdata = this;
    // No changes allowed: SDL converts to whatever the hardware wants, so the
    // mixer always renders 48000 Hz stereo float.
    SDL_AudioSpec obtained{};
    callbacks.store(0);
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    lastCallback.store(NowMs());
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void SdlAudioOutput::CloseDevice() {
    if (device != 0) {
        SDL_CloseAudioDevice(device);  // waits for the callback to return
        device = 0;
        // Quitting SDL's audio lets the next start choose the driver again:
        // the server that comes back may not be the one that went.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SdlAudioOutput::DeviceLost() {
    // SDL marks the device stopped when its backend gives up on it (a
    // removed device, a server that closed the connection).
    if (SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED) {
        return true;
    }
    // A backend stuck on a server that no longer answers calls nothing: the
    // sound the game plays goes nowhere. A new stream is let off until it
    // flows: a server may take a second to start pulling from it (an idle
    // PulseAudio sink first finishes the long sleep it was in).
    return callbacks.load() >= kSteadyCallbacks &&
           NowMs() - lastCallback.load() > kSilentCallbackMs && mixer.AnyPlaying();
}

void SdlAudioOutput::Watch() {
    std::unique_lock<std::mutex> lock(watchMutex);
    while (!stopping) {
        const auto pause = device != 0 ? kWatchEvery : kRetryEvery;
        if (wake.wait_for(lock, pause, [this] { return stopping; })) {
            break;
        }
        // Closing and opening wait on SDL's audio thread and the server; the
        // destructor is the only one that waits for this lock meanwhile.
        lock.unlock();
        if (device != 0 && DeviceLost()) {
            CloseDevice();
        }
        if (device == 0) {
            OpenDevice();
        }
        lock.lock();
    }
    // SDL keeps the error text of a failed open per thread; this thread is
    // not one of SDL's, so SDL would never free it.
    SDL_TLSCleanup();
}

std::unique_ptr<SoundBuffer> SdlAudioOutput::CreateSoundBuffer(
    const BufferDescription& description) {
    return opened ? mixer.CreateBuffer(description) : nullptr;
}

}  // namespace platform
