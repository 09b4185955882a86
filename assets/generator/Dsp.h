#pragma once
// The few signal-processing parts the effects and the music are made of:
// a seeded noise source, a two-pole filter and a sine oscillator. All of them
// are plain values with no hidden state, so a clip comes out the same on
// every run.
#include <cmath>
#include <cstdint>
#include <numbers>

#include "Clip.h"

namespace assets {

// xorshift64*: our own generator, so the noise does not depend on the C
// library's rand() (which the game itself seeds and uses).
class NoiseRandom {
  public:
    explicit NoiseRandom(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}

    uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [-1, 1).
    float Bipolar() { return static_cast<float>(Unit() * 2.0 - 1.0); }
    // Uniform in [low, high).
    double Range(double low, double high) { return low + (high - low) * Unit(); }

  private:
    uint64_t state;
};

// A biquad section (the audio cookbook's formulas), direct form I.
class Biquad {
  public:
    static Biquad LowPass(double hz, double q);
    static Biquad HighPass(double hz, double q);
    // Constant 0 dB peak gain band pass.
    static Biquad BandPass(double hz, double q);

    float Process(float x) {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return static_cast<float>(y);
    }
    // Moves the centre/corner while keeping the filter's memory, for sweeps.
    void Retune(const Biquad& other) {
        b0 = other.b0;
        b1 = other.b1;
        b2 = other.b2;
        a1 = other.a1;
        a2 = other.a2;
    }

  private:
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// A sine whose frequency may change from sample to sample without a jump.
class Oscillator {
  public:
    float Next(double hz) {
        float value = static_cast<float>(std::sin(phase));
        phase += 2.0 * std::numbers::pi * hz / kRate;
        if (phase > 2.0 * std::numbers::pi) {
            phase -= 2.0 * std::numbers::pi;
        }
        return value;
    }

  private:
    double phase = 0.0;
};

// exp(-t / tau) with t and tau in seconds.
inline float Decay(double seconds, double tau) {
    return static_cast<float>(std::exp(-seconds / tau));
}

// Smooth 0 -> 1 over `length` (raised cosine); 1 beyond it.
inline float RiseCurve(double t, double length) {
    if (t >= length) {
        return 1.0f;
    }
    if (t <= 0.0) {
        return 0.0f;
    }
    return static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * t / length));
}

}  // namespace assets
