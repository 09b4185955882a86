#pragma once
// Measures rendered stereo output: channel energy and the frequency of a tone.
#include <cmath>
#include <vector>

namespace measure {

// Root mean square of one channel (0 = left, 1 = right) of interleaved stereo.
inline double Rms(const std::vector<float>& stereo, int channel) {
    double sum = 0;
    size_t n = stereo.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        sum += stereo[2 * i + channel] * stereo[2 * i + channel];
    }
    return n == 0 ? 0 : std::sqrt(sum / n);
}

inline double Peak(const std::vector<float>& stereo, int channel) {
    double peak = 0;
    for (size_t i = channel; i < stereo.size(); i += 2) {
        peak = std::max(peak, static_cast<double>(std::fabs(stereo[i])));
    }
    return peak;
}

// Frequency of a steady tone from its upward zero crossings, interpolated
// between samples.
inline double ToneFrequency(const std::vector<float>& stereo, int channel, double rate) {
    double first = -1, last = -1;
    int crossings = 0;
    size_t n = stereo.size() / 2;
    for (size_t i = 1; i < n; ++i) {
        float a = stereo[2 * (i - 1) + channel], b = stereo[2 * i + channel];
        if (a < 0 && b >= 0) {
            double at = (i - 1) + a / (a - b);
            if (first < 0) {
                first = at;
            } else {
                ++crossings;
            }
            last = at;
        }
    }
    return crossings == 0 ? 0 : crossings * rate / (last - first);
}

}  // namespace measure
