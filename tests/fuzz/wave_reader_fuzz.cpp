// Fuzz target: any bytes as a ".snz" file, read as the loader reads it, and
// what it accepts turned into a mixer buffer and played for a period.
#include <vector>

#include "platform/audio/AudioMixer.h"
#include "platform/files/RiffReader.h"
#include "sound/WaveClipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::RiffReader file;
    WaveClip clip;
    if (!file.OpenMemory(data, size) || ReadWaveClip(file, clip) != WaveReadResult::Ok) {
        return 0;
    }
    static platform::AudioMixer mixer;
    auto buffer = mixer.CreateBuffer({static_cast<uint32_t>(clip.samples.size()), clip.format, ""});
    if (buffer) {
        buffer->CopyIn(clip.samples.data(), clip.samples.size());
        buffer->SetFrequency(200000);
        buffer->Play(true);
        std::vector<float> out(2 * platform::AudioMixer::kPeriodFrames);
        mixer.Render(out.data(), platform::AudioMixer::kPeriodFrames);
    }
    return 0;
}
