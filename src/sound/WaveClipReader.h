#pragma once
// Reading a ".snz" sound file: a plain RIFF WAVE file holding mono linear PCM.
// The samples are taken exactly as stored.
#include <cstdint>
#include <vector>

#include "platform/audio/WaveFormat.h"
#include "platform/files/RiffReader.h"

enum class WaveReadResult {
    Ok,
    NoHeader,        // the first chunk header cannot be read (silent)
    NotWave,         // the first chunk is not "RIFF" with form "WAVE"
    NoFormatChunk,   // no "fmt " chunk inside the form
    FormatTooShort,  // fewer than 18 bytes of format record
    NotLinearPcm,    // format tag other than 1
    NotMono,         // more than one channel
    SkipFailed,      // cannot move past the "fmt " chunk (silent)
    NoDataChunk,     // no "data" chunk after the "fmt " chunk
    DataTooLarge,    // the "data" chunk holds more than any sane clip (silent)
};

struct WaveClip {
    platform::WaveFormat format;  // as read
    std::vector<uint8_t> samples;
};

// Clips larger than this are refused: 64 MiB is minutes of audio, far beyond
// any clip of the game. Counted in the bytes the file holds, so a damaged size
// field never claims the memory.
constexpr uint32_t kMaxClipBytes = 64u * 1024u * 1024u;

// Reads the open file from its start. A "data" chunk that declares more bytes
// than the file holds (0xFFFFFFFF from a streaming writer) gives the bytes
// that are there.
WaveReadResult ReadWaveClip(platform::RiffReader& file, WaveClip& clip);
