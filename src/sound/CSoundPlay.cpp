#include "sound/CSoundPlay.h"

#include <set>

#include "platform/files/AssetPath.h"
#include "platform/files/RiffReader.h"
#include "shared/DisplayText.h"
#include "sound/CSoundVolume.h"
#include "sound/WaveClipReader.h"

namespace {

// The base frequency of the first frequency setting in the process; see
// SetFrequency.
uint32_t rememberedBaseFrequency = 0;

// What the player is told about a clip the game cannot use, with the caption
// of its box. The other failures stay silent.
struct LoadMessage {
    WaveReadResult result;
    const char* text;
    const char* caption;
};
constexpr LoadMessage kLoadMessages[] = {
    {WaveReadResult::NotWave, "これはWAVファイルではありません", " lol "},
    {WaveReadResult::NoFormatChunk, "fmt チャンクが見つかりません", ""},
    {WaveReadResult::FormatTooShort, "WAVフォーマットの読み込み失敗", ""},
    {WaveReadResult::NotLinearPcm, "リニアPCMフォーマットを想定しています", ""},
    {WaveReadResult::NotMono, "音源はモノラルである必要があります", ""},
    {WaveReadResult::NoDataChunk, "dataチャンクが見つかりません", ""},
};

// A fresh clip of the game starts one hundredth of a decibel below full: the
// game's per-file volume list has always been empty, and its "not listed"
// answer, -1, is applied as the volume (and remembered like any other).
constexpr int32_t kUnlistedClipVolume = -1;

// The files refused, and the player told of it, kept for the whole run: a
// refused swing sound is played at every swing, and a modal box (or a fresh
// read of the file) at each would bury the duel. One entry per clip file at
// most.
std::set<std::string> refusedFiles;

constexpr int kSuccess = 0;
constexpr int kFailure = -1;

}  // namespace

CSoundPlay::CSoundPlay(platform::Services& services) : services(services) {}

CSoundPlay::~CSoundPlay() {
    for (auto& buffer : slots) {
        if (buffer) {
            buffer->Stop();
            buffer.reset();
        }
    }
}

int CSoundPlay::InitDevice() {
    outputOpen = services.audio.Open();
    return outputOpen ? 1 : 0;
}

void CSoundPlay::AddSound(const std::string& path, uint32_t id) {
    paths.push_back(path);
    ids.push_back(id);
}

int CSoundPlay::LoadSound(int id) {
    size_t index = 0;
    while (index < ids.size() && ids[index] != static_cast<uint32_t>(id)) {
        ++index;
    }
    if (index == ids.size() || !ValidId(id) || !outputOpen) {
        return kSuccess;  // never registered: nothing to load
    }
    const std::string& path = paths[index];
    // The file that exists, whatever the letter case of its relative part.
    const std::string file = platform::FindAssetFile(path);
    if (file.empty()) {
        return kFailure;
    }
    if (refusedFiles.count(file) != 0) {
        return kFailure;  // refused and told already: not read again at every play
    }
    platform::RiffReader reader;
    if (!reader.Open(file)) {
        return kFailure;
    }
    WaveClip clip;
    WaveReadResult result = ReadWaveClip(reader, clip);
    reader.Close();
    if (result != WaveReadResult::Ok) {
        refusedFiles.insert(file);
        for (const LoadMessage& message : kLoadMessages) {
            if (message.result == result) {
                // The path on its own line says which of the game's files to replace.
                services.messages.Show(std::string(message.text) + "\n" + DisplayText(file),
                                       message.caption);
            }
        }
        return kFailure;
    }

    platform::BufferDescription description;
    description.bufferBytes = static_cast<uint32_t>(clip.samples.size());
    description.format = clip.format;
    description.name = path;
    auto& buffer = slots[id];
    buffer.reset();
    // A format the output cannot play is refused here, silently.
    buffer = services.audio.CreateSoundBuffer(description);
    if (!buffer) {
        return kFailure;
    }
    buffer->CopyIn(clip.samples.data(), clip.samples.size());
    // The menu's clips keep the volume last set for their id in this process.
    SetVolume(id, mode == SoundMode::Panned ? kUnlistedClipVolume : theSoundVolume.Remembered(id));
    return kSuccess;
}

int CSoundPlay::Play(int id, int loop) {
    if (!ValidId(id)) {
        return 0;
    }
    if (!slots[id] && outputOpen) {
        LoadSound(id);
    }
    if (!outputOpen || !slots[id]) {
        return 0;
    }
    platform::SoundBuffer& buffer = *slots[id];
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
    if (!ValidId(id)) {
        return;
    }
    // The clip is placed before it starts: the audio thread mixes between any
    // two calls, and a swing whose first period came from the wrong side or
    // at the wrong pitch would tell the player a wrong attack.
    if (!slots[id] && outputOpen) {
        LoadSound(id);
    }
    if (!slots[id]) {
        return;  // no output, or refused: Play must not read the file a second time
    }
    if (mode == SoundMode::Panned) {
        slots[id]->SetPan(x < 0 ? platform::kPanLeft : x > 0 ? platform::kPanRight : 0);
    }
    // High 22000 and low 12000, scaled by 1.1 below: 24200 Hz and 13200 Hz.
    SetFrequency(id, y > 0 ? 22000 : y < 0 ? 12000 : 0);
    Play(id, 0);
}

void CSoundPlay::SetFrequency(int id, uint32_t hz) {
    if (!ValidId(id) || !slots[id]) {
        return;
    }
    platform::SoundBuffer& buffer = *slots[id];
    // The first frequency setting of the process reads the buffer's own rate
    // and plays at that rate instead of the one asked for; later calls use
    // `hz`. Harmless with 22050 Hz clips: the first sound plays a little high.
    if (rememberedBaseFrequency == 0) {
        rememberedBaseFrequency = buffer.GetFrequency();
        hz = rememberedBaseFrequency;
    }
    buffer.SetFrequency(static_cast<uint32_t>(hz * 1.1));
}

void CSoundPlay::SetVolume(int id, int32_t volume) {
    if (!ValidId(id) || !slots[id]) {
        return;
    }
    slots[id]->SetVolume(volume);
    theSoundVolume.Remember(id, volume);  // remembered even if the buffer refused it
}

void CSoundPlay::Stop(int id) {
    if (ValidId(id) && slots[id]) {
        slots[id]->Stop();
    }
}
