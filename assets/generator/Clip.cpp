#include "Clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

namespace assets {

double PeakDb(const Samples& clip) {
    float peak = 0.0f;
    for (float s : clip) {
        peak = std::max(peak, std::fabs(s));
    }
    return peak > 0.0f ? 20.0 * std::log10(peak) : -200.0;
}

double RmsDb(const Samples& clip) {
    double sum = 0.0;
    for (float s : clip) {
        sum += static_cast<double>(s) * s;
    }
    if (clip.empty() || sum <= 0.0) {
        return -200.0;
    }
    return 10.0 * std::log10(sum / clip.size());
}

void NormalizePeak(Samples& clip, double peakDb) {
    double current = PeakDb(clip);
    if (current <= -200.0) {
        return;
    }
    float gain = static_cast<float>(std::pow(10.0, (peakDb - current) / 20.0));
    for (float& s : clip) {
        s *= gain;
    }
}

void TrimSilence(Samples& clip, float threshold, double keepMs) {
    size_t first = 0;
    while (first < clip.size() && std::fabs(clip[first]) < threshold) {
        ++first;
    }
    if (first == clip.size()) {
        return;
    }
    size_t last = clip.size();
    while (last > first && std::fabs(clip[last - 1]) < threshold) {
        --last;
    }
    size_t keep = static_cast<size_t>(MsToFrames(keepMs));
    size_t begin = first > keep ? first - keep : 0;
    size_t end = std::min(clip.size(), last + static_cast<size_t>(MsToFrames(30)));
    clip = Samples(clip.begin() + begin, clip.begin() + end);
    FadeEdges(clip, static_cast<double>(first - begin) * 1000.0 / kRate, 30.0);
}

Samples Resample(const Samples& input, int fromRate, int toRate) {
    if (fromRate == toRate || input.empty()) {
        return input;
    }
    const double ratio = static_cast<double>(fromRate) / toRate;
    // Below the lower of the two Nyquist frequencies, with some margin.
    const double cutoff = 0.95 * std::min(1.0, static_cast<double>(toRate) / fromRate);
    const int halfTaps = 24;
    const double reach = halfTaps / cutoff;
    size_t outCount = static_cast<size_t>(input.size() / ratio);
    Samples out(outCount);
    for (size_t n = 0; n < outCount; ++n) {
        double centre = n * ratio;
        int from = static_cast<int>(std::ceil(centre - reach));
        int to = static_cast<int>(std::floor(centre + reach));
        double sum = 0.0;
        for (int k = std::max(from, 0); k <= std::min(to, static_cast<int>(input.size()) - 1);
             ++k) {
            double x = k - centre;
            double arg = std::numbers::pi * cutoff * x;
            double sinc = std::fabs(arg) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / (reach + 1.0));
            sum += input[k] * cutoff * sinc * window;
        }
        out[n] = static_cast<float>(sum);
    }
    return out;
}

void Append(Samples& clip, const Samples& tail, double gapMs) {
    if (!clip.empty()) {
        clip.resize(clip.size() + MsToFrames(gapMs), 0.0f);
    }
    clip.insert(clip.end(), tail.begin(), tail.end());
}

void MixInto(Samples& target, const Samples& source, int at, float gain) {
    if (at < 0) {
        at = 0;
    }
    if (target.size() < source.size() + at) {
        target.resize(source.size() + at, 0.0f);
    }
    for (size_t i = 0; i < source.size(); ++i) {
        target[at + i] += source[i] * gain;
    }
}

void FadeEdges(Samples& clip, double inMs, double outMs) {
    size_t in = std::min(clip.size(), static_cast<size_t>(MsToFrames(inMs)));
    for (size_t i = 0; i < in; ++i) {
        clip[i] *= static_cast<float>(i) / in;
    }
    size_t out = std::min(clip.size(), static_cast<size_t>(MsToFrames(outMs)));
    for (size_t i = 0; i < out; ++i) {
        clip[clip.size() - 1 - i] *= static_cast<float>(i) / out;
    }
}

namespace {

void PutU16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(value & 0xFF);
    bytes.push_back(value >> 8);
}

void PutU32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back((value >> shift) & 0xFF);
    }
}

void PutTag(std::vector<uint8_t>& bytes, const char* tag) {
    bytes.insert(bytes.end(), tag, tag + 4);
}

}  // namespace

bool WriteWave(const std::string& path, const Samples& clip) {
    const uint32_t dataBytes = static_cast<uint32_t>(clip.size() * 2);
    std::vector<uint8_t> bytes;
    bytes.reserve(44 + dataBytes);
    PutTag(bytes, "RIFF");
    PutU32(bytes, 4 + 8 + 16 + 8 + dataBytes);
    PutTag(bytes, "WAVE");
    PutTag(bytes, "fmt ");
    PutU32(bytes, 16);
    PutU16(bytes, 1);          // linear PCM
    PutU16(bytes, 1);          // mono
    PutU32(bytes, kRate);      // frames per second
    PutU32(bytes, kRate * 2);  // bytes per second
    PutU16(bytes, 2);          // block align
    PutU16(bytes, 16);         // bits per sample
    PutTag(bytes, "data");
    PutU32(bytes, dataBytes);
    for (float s : clip) {
        // Round to the nearest step; anything beyond full scale is held at it.
        long value = std::lround(static_cast<double>(s) * 32767.0);
        value = std::clamp(value, -32767L, 32767L);
        PutU16(bytes, static_cast<uint16_t>(static_cast<int16_t>(value)));
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace assets
