#pragma once
// The format record of a sound clip, the description a sound buffer is made
// from, and the units its controls speak.
#include <cstdint>
#include <string>

namespace platform {

// As stored in a clip's "fmt " chunk.
struct WaveFormat {
    uint16_t formatTag = 0;  // 1 = linear PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

struct BufferDescription {
    uint32_t bufferBytes = 0;
    WaveFormat format;
    std::string name;  // what the clip is called (its file path); playback ignores it
};

// Status bits of a sound buffer.
constexpr uint32_t kStatusPlaying = 0x1;
constexpr uint32_t kStatusLooping = 0x4;

// Volume and pan are the game's own units, hundredths of a decibel (the scale
// DirectSound used, which the game's values were chosen on); frequency in Hz.
constexpr int32_t kVolumeMin = -10000;  // silence
constexpr int32_t kVolumeMax = 0;       // full
constexpr int32_t kPanLeft = -10000;
constexpr int32_t kPanRight = 10000;
constexpr uint32_t kFrequencyOriginal = 0;  // the clip's own rate
constexpr uint32_t kFrequencyMin = 100;
constexpr uint32_t kFrequencyMax = 200000;

}  // namespace platform
