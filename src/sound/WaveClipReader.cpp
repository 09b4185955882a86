#include "sound/WaveClipReader.h"

using platform::MakeFourCC;
using platform::RiffChunk;
using platform::RiffReader;

WaveReadResult ReadWaveClip(RiffReader& file, WaveClip& clip) {
    RiffChunk riff;
    if (!file.ReadChunk(riff)) {
        return WaveReadResult::NoHeader;
    }
    if (riff.id != MakeFourCC('R', 'I', 'F', 'F') ||
        riff.formType != MakeFourCC('W', 'A', 'V', 'E')) {
        return WaveReadResult::NotWave;
    }

    RiffChunk fmt;
    if (!file.FindChunk(MakeFourCC('f', 'm', 't', ' '), &riff, fmt)) {
        return WaveReadResult::NoFormatChunk;
    }
    // Always 18 bytes, whatever size the chunk declares: a 16-byte chunk lends
    // its two extra bytes from what follows, and they are dropped below.
    uint8_t record[18];
    if (file.Read(record, sizeof record) < sizeof record) {
        return WaveReadResult::FormatTooShort;
    }
    auto u16 = [&](int at) { return static_cast<uint16_t>(record[at] | (record[at + 1] << 8)); };
    auto u32 = [&](int at) { return static_cast<uint32_t>(u16(at) | (u16(at + 2) << 16)); };
    platform::WaveFormat& format = clip.format;
    format.formatTag = u16(0);
    format.channels = u16(2);
    format.samplesPerSec = u32(4);
    format.avgBytesPerSec = u32(8);
    format.blockAlign = u16(12);
    format.bitsPerSample = u16(14);
    if (format.formatTag != 1) {
        return WaveReadResult::NotLinearPcm;
    }
    if (format.channels > 1) {
        return WaveReadResult::NotMono;
    }
    if (!file.SkipChunk(fmt)) {
        return WaveReadResult::SkipFailed;
    }

    // Searched onward from the end of "fmt ": a "data" chunk before it is not found.
    RiffChunk data;
    if (!file.FindChunk(MakeFourCC('d', 'a', 't', 'a'), &riff, data)) {
        return WaveReadResult::NoDataChunk;
    }
    // The clip is the bytes that are there, whatever the size field says:
    // streaming writers leave 0xFFFFFFFF in it, and a cut file claims more.
    uint64_t available = file.Size() > data.dataOffset ? file.Size() - data.dataOffset : 0;
    uint64_t bytes = data.size < available ? data.size : available;
    if (bytes > kMaxClipBytes) {
        return WaveReadResult::DataTooLarge;
    }
    clip.samples.resize(bytes);
    file.Seek(data.dataOffset);
    clip.samples.resize(file.Read(clip.samples.data(), bytes));
    return WaveReadResult::Ok;
}
