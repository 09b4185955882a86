#include "sound/CSoundPlay.h"

#include <thread>

#include "platform/files/AssetPath.h"
#include "platform/ui/MessageBox.h"
#include "sound/CSoundVolume.h"
#include "sound/WaveClipReader.h"

namespace {

// Process-wide: one device per mode slot (0 = 3D, 1 = pan) and the one 3D
// listener. Made by the first player that needs them, never released, so the
// next scene finds them ready.
platform::AudioDevice* devices[2] = {nullptr, nullptr};
platform::Listener3D* listener = nullptr;

// The base frequency of the first frequency setting in the process; see
// SetFrequency.
uint32_t rememberedBaseFrequency = 0;

const char* MessageFor(WaveReadResult result) {
    switch (result) {
        case WaveReadResult::NotWave:
            return "これはWAVファイルではありません";
        case WaveReadResult::NoFormatChunk:
            return "fmt チャンクが見つかりません";
        case WaveReadResult::FormatTooShort:
            return "WAVフォーマットの読み込み失敗";
        case WaveReadResult::NotLinearPcm:
            return "リニアPCMフォーマットを想定しています";
        case WaveReadResult::NotMono:
            return "音源はモノラルである必要があります";
        case WaveReadResult::NoDataChunk:
            return "dataチャンクが見つかりません";
        default:
            return nullptr;  // silent failures
    }
}

constexpr int kSuccess = 0;
constexpr int kFailure = -1;

}  // namespace

CSoundPlay::CSoundPlay() = default;

CSoundPlay::CSoundPlay(platform::Services& services) : services(&services) {}

int CSoundPlay::InitDevice() {
    if (mode != 0 && mode != 1) {
        return 0;
    }
    outputOpen = services != nullptr && services->audio.Open();
    return outputOpen ? 1 : 0;
}

bool CSoundPlay::HasOutput() const {
    return services != nullptr ? outputOpen : Device() != nullptr;
}

std::unique_ptr<platform::SoundBuffer> CSoundPlay::NewBuffer(
    const platform::BufferDescription& description) {
    if (services != nullptr) {
        return services->audio.CreateSoundBuffer(description);
    }
    return Device()->CreateSoundBuffer(description);
}

CSoundPlay::~CSoundPlay() {
    for (Slot& slot : slots) {
        if (slot.buffer) {
            slot.buffer->Stop();
            slot.buffer.reset();
        }
        slot.has3D = false;
    }
    paths.clear();
    ids.clear();
}

platform::AudioDevice* CSoundPlay::Device() const {
    return mode == 0 || mode == 1 ? devices[mode] : nullptr;
}

int CSoundPlay::InitDevice(platform::Window* window) {
    if (window == nullptr) {
        return 1;
    }
    if (mode != 0 && mode != 1) {
        return 0;
    }
    if (devices[mode] != nullptr) {
        return 1;
    }
    // Our output has no exclusive cooperative level to refuse, so a device
    // that opens is ready.
    devices[mode] = platform::AudioDevice::Create().release();
    return devices[mode] != nullptr ? 1 : 0;
}

void CSoundPlay::AddSound(const std::string& path, uint32_t id) {
    paths.push_back(path);
    ids.push_back(id);
}

bool CSoundPlay::SoundFileExists(const std::string& path) {
    return !platform::FindAssetFile(path).empty();
}

int CSoundPlay::LoadSound(int id) {
    size_t index = 0;
    while (index < ids.size() && ids[index] != static_cast<uint32_t>(id)) {
        ++index;
    }
    if (index == ids.size() || !ValidId(id) || !HasOutput()) {
        return kSuccess;  // never registered: nothing to load
    }
    const std::string& path = paths[index];
    // The file that exists, whatever the letter case of its relative part.
    const std::string file = platform::FindAssetFile(path);
    if (file.empty()) {
        return kFailure;
    }
    platform::MmioFile reader;
    if (!reader.Open(file)) {
        return kFailure;
    }
    WaveClip clip;
    WaveReadResult result = ReadWaveClip(reader, clip);
    reader.Close();
    if (result != WaveReadResult::Ok) {
        if (const char* message = MessageFor(result)) {
            const char* caption = result == WaveReadResult::NotWave ? " lol " : "";
            if (services != nullptr) {
                services->messages.Show(message, caption);
            } else {
                platform::ShowMessageBox(message, caption);
            }
        }
        return kFailure;
    }

    platform::BufferDescription description;
    description.bufferBytes = static_cast<uint32_t>(clip.samples.size());
    description.format = clip.format;
    if (mode == 0) {
        description.flags = platform::kCapsCtrl3D | platform::kCapsCtrlFrequency |
                            platform::kCapsCtrlVolume | platform::kCapsCtrlFx;
        description.algorithm = platform::Algorithm3D::HrtfFull;
    } else {
        description.flags =
            platform::kCapsCtrlFrequency | platform::kCapsCtrlPan | platform::kCapsCtrlVolume;
    }

    Slot& slot = slots[id];
    slot.buffer.reset();
    slot.has3D = false;
    // A format the device cannot play is refused here, silently.
    slot.buffer = NewBuffer(description);
    if (!slot.buffer) {
        return kFailure;
    }
    slot.buffer->SetName(path);
    slot.buffer->CopyIn(clip.samples.data(), clip.samples.size());

    if (mode == 1) {
        std::string name =
            path.substr(path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\') + 1);
        SetVolume(id, theSoundVolume.FindVolumeByName(name));
        return kSuccess;
    }
    slot.has3D = slot.buffer->Has3D();
    slot.buffer->SetMinDistance(1.0f);
    slot.buffer->SetMaxDistance(3.0f);
    if (listener == nullptr && Device() != nullptr) {
        // Once per process: the listener sits at the origin.
        listener = Device()->Listener();
        listener->x = listener->y = listener->z = 0.0f;
        listener->dopplerFactor = 10.0f;
        listener->distanceFactor = 1.0f;
    }
    SetVolume(id, theSoundVolume.Remembered(id));
    return kSuccess;
}

int CSoundPlay::Play(int id, int loop) {
    if (!ValidId(id)) {
        return 0;
    }
    Slot& slot = slots[id];
    if (!slot.buffer && HasOutput()) {
        LoadSound(id);
    }
    if (!HasOutput() || !slot.buffer) {
        return 0;
    }
    platform::SoundBuffer& buffer = *slot.buffer;
    if (buffer.GetStatus() == platform::kStatusPlaying) {
        buffer.Stop();
        buffer.SetCurrentPosition(0);
    }
    buffer.SetCurrentPosition(0);  // every play starts the clip from its beginning
    int32_t remembered = theSoundVolume.Remembered(id);
    if (remembered != 0) {
        SetVolume(id, remembered);
    }
    buffer.Play(loop == 1);
    return 1;
}

void CSoundPlay::PlayAt(int id, float x, float y) {
    if (id < 0 || !ValidId(id)) {
        return;
    }
    // The clip is placed before it starts: the audio thread mixes between any
    // two calls, and a swing whose first period came from the wrong side or
    // at the wrong pitch would tell the player a wrong attack.
    if (!slots[id].buffer && HasOutput()) {
        LoadSound(id);
    }
    if (slots[id].buffer) {
        slots[id].buffer->SetPan(x < 0 ? platform::kPanLeft : x > 0 ? platform::kPanRight : 0);
    }
    // High 22000 and low 12000, scaled by 1.1 below: 24200 Hz and 13200 Hz.
    SetFrequency(id, y > 0 ? 22000 : y < 0 ? 12000 : 0);
    Play(id, 0);
}

void CSoundPlay::SetFrequency(int id, uint32_t hz) {
    if (!ValidId(id) || !slots[id].buffer) {
        return;
    }
    platform::SoundBuffer& buffer = *slots[id].buffer;
    // The first frequency setting of the process reads the buffer's own rate
    // and plays at that rate instead of the one asked for; later calls use
    // `hz`. Harmless with 22050 Hz clips: the first sound plays a little high.
    if (rememberedBaseFrequency == 0) {
        rememberedBaseFrequency = buffer.GetFrequency();
        hz = rememberedBaseFrequency;
    }
    buffer.SetFrequency(static_cast<uint32_t>(hz * 1.1));
    std::this_thread::yield();
}

void CSoundPlay::SetVolume(int id, int32_t volume) {
    if (!ValidId(id)) {
        return;
    }
    Slot& slot = slots[id];
    if (!slot.buffer || (mode == 0 && !slot.has3D)) {
        return;
    }
    slot.buffer->SetVolume(volume);
    theSoundVolume.Remember(id, volume);  // remembered even if the buffer refused it
}

void CSoundPlay::Stop(int id) {
    if (ValidId(id) && slots[id].buffer) {
        slots[id].buffer->Stop();
    }
}

platform::SoundBuffer* CSoundPlay::Buffer(int id) const {
    return ValidId(id) ? slots[id].buffer.get() : nullptr;
}
