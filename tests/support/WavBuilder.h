#pragma once
// Builds RIFF WAVE files byte by byte, so the tests can write exactly the
// files a bad asset pack might hold.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace wav {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(Bytes& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}

inline Bytes Chunk(const char* id, const Bytes& payload, uint32_t declared = UINT32_MAX) {
    Bytes b;
    PutId(b, id);
    Put32(b, declared == UINT32_MAX ? payload.size() : declared);
    b.insert(b.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) {
        b.push_back(0);
    }
    return b;
}

inline Bytes Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes b;
    uint16_t align = channels * (bits / 8);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE") {
    Bytes body;
    PutId(body, form);
    for (const Bytes& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
    }
    return Chunk("RIFF", body);
}

inline Bytes Sine16(double hz, uint32_t rate, uint32_t frames, double amplitude = 0.5) {
    Bytes b;
    for (uint32_t i = 0; i < frames; ++i) {
        double v = amplitude * std::sin(2.0 * M_PI * hz * i / rate);
        Put16(b, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    }
    return b;
}

inline Bytes MonoClip(const Bytes& samples, uint32_t rate = 22050) {
    return Riff({Chunk("fmt ", Format(1, 1, rate, 16)), Chunk("data", samples)});
}

inline void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace wav
