#pragma once
// The format record of a sound clip and the DirectSound-style flags and status
// bits our sound buffers speak.
#include <cstdint>

namespace platform {

struct WaveFormat {
    uint16_t formatTag = 0;  // 1 = linear PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// Capability flags of a buffer description (the values DirectSound gives them).
constexpr uint32_t kCapsPrimaryBuffer = 0x001;
constexpr uint32_t kCapsCtrl3D = 0x010;
constexpr uint32_t kCapsCtrlFrequency = 0x020;
constexpr uint32_t kCapsCtrlPan = 0x040;
constexpr uint32_t kCapsCtrlVolume = 0x080;
constexpr uint32_t kCapsCtrlFx = 0x200;

// Status bits of a playing buffer.
constexpr uint32_t kStatusPlaying = 0x1;
constexpr uint32_t kStatusLooping = 0x4;

// Volume and pan in hundredths of a decibel; frequency in Hz.
constexpr int32_t kVolumeMin = -10000;  // silence
constexpr int32_t kVolumeMax = 0;       // full
constexpr int32_t kPanLeft = -10000;
constexpr int32_t kPanRight = 10000;
constexpr uint32_t kFrequencyOriginal = 0;  // the clip's own rate
constexpr uint32_t kFrequencyMin = 100;
constexpr uint32_t kFrequencyMax = 200000;

enum class Algorithm3D { Default, HrtfFull };

struct BufferDescription {
    uint32_t flags = 0;
    uint32_t bufferBytes = 0;
    WaveFormat format;
    Algorithm3D algorithm = Algorithm3D::Default;
};

}  // namespace platform
