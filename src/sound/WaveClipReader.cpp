#include "sound/WaveClipReader.h"

using platform::MakeFourCC;
using platform::MmioChunk;
using platform::MmioFile;

WaveReadResult ReadWaveClip(MmioFile& file, WaveClip& clip) {
    MmioChunk riff;
    if (!file.Descend(riff, nullptr, 0)) {
        return WaveReadResult::NoHeader;
    }
    if (riff.id != MakeFourCC('R', 'I', 'F', 'F') ||
        riff.formType != MakeFourCC('W', 'A', 'V', 'E')) {
        return WaveReadResult::NotWave;
    }

    MmioChunk fmt;
    fmt.id = MakeFourCC('f', 'm', 't', ' ');
    if (!file.Descend(fmt, &riff, MmioFile::kFindChunk)) {
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
    format.extraSize = 0;
    if (format.formatTag != 1) {
        return WaveReadResult::NotLinearPcm;
    }
    if (format.channels > 1) {
        return WaveReadResult::NotMono;
    }
    if (!file.Ascend(fmt)) {
        return WaveReadResult::AscendFailed;
    }

    // Searched onward from the end of "fmt ": a "data" chunk before it is not found.
    MmioChunk data;
    data.id = MakeFourCC('d', 'a', 't', 'a');
    if (!file.Descend(data, &riff, MmioFile::kFindChunk)) {
        return WaveReadResult::NoDataChunk;
    }
    if (data.size > kMaxClipBytes) {
        return WaveReadResult::DataTooLarge;
    }
    uint64_t available = file.Size() > data.dataOffset ? file.Size() - data.dataOffset : 0;
    size_t bytes = data.size < available ? data.size : static_cast<size_t>(available);
    clip.samples.resize(bytes);
    file.Seek(data.dataOffset);
    clip.samples.resize(file.Read(clip.samples.data(), bytes));
    return WaveReadResult::Ok;
}
