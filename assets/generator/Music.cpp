#include "Music.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "Dsp.h"

namespace assets {
namespace {

constexpr int kEighth = kRate * 60 / 90 / 2;  // 90 beats a minute, counted in eighths
constexpr int kBar = 8 * kEighth;
constexpr int kBars = 10;
constexpr double kTonicHz = 293.66;  // D4

// A note on the plucked string: position in eighths from the start of the
// piece, pitch in semitones above D4, strength 0..1.
struct Pluck {
    int eighth;
    int semitone;
    float strength;
};

// The melody, in the miyako-bushi scale on D (D Eb G A Bb): two phrases that
// climb, a high answer and a tremolo on D5 that leads back to the start.
std::vector<Pluck> Melody() {
    const int bar[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 72};
    return {
        {bar[0] + 0, 12, 1.0f}, {bar[0] + 0, 0, 0.5f},   {bar[0] + 2, 7, 0.8f},
        {bar[0] + 3, 8, 0.7f},  {bar[0] + 4, 7, 0.85f},  {bar[0] + 6, 5, 0.8f},

        {bar[1] + 0, 7, 0.9f},  {bar[1] + 4, 0, 0.8f},   {bar[1] + 5, 1, 0.7f},
        {bar[1] + 6, 5, 0.8f},

        {bar[2] + 0, 7, 0.95f}, {bar[2] + 2, 8, 0.8f},   {bar[2] + 3, 12, 0.8f},
        {bar[2] + 4, 13, 0.9f}, {bar[2] + 6, 12, 0.8f},

        {bar[3] + 0, 8, 0.9f},  {bar[3] + 2, 7, 0.8f},   {bar[3] + 4, 5, 0.9f},
        {bar[3] + 6, 5, 0.4f},

        {bar[4] + 0, 5, 0.85f}, {bar[4] + 1, 7, 0.7f},   {bar[4] + 2, 8, 0.8f},
        {bar[4] + 3, 7, 0.7f},  {bar[4] + 4, 5, 0.85f},  {bar[4] + 6, 1, 0.8f},

        {bar[5] + 0, 0, 0.95f}, {bar[5] + 0, -12, 0.5f}, {bar[5] + 4, -5, 0.7f},
        {bar[5] + 6, 0, 0.8f},

        {bar[6] + 0, 5, 0.85f}, {bar[6] + 2, 7, 0.8f},   {bar[6] + 4, 12, 0.9f},
        {bar[6] + 5, 13, 0.8f}, {bar[6] + 6, 17, 0.9f},

        {bar[7] + 0, 19, 1.0f}, {bar[7] + 2, 17, 0.8f},  {bar[7] + 3, 13, 0.75f},
        {bar[7] + 4, 12, 0.9f},

        {bar[8] + 0, 8, 0.9f},  {bar[8] + 2, 7, 0.8f},   {bar[8] + 3, 5, 0.75f},
        {bar[8] + 4, 1, 0.85f}, {bar[8] + 6, 0, 0.8f},

        {bar[9] + 0, 0, 0.9f},  {bar[9] + 0, -12, 0.6f}, {bar[9] + 4, 12, 0.45f},
        {bar[9] + 5, 12, 0.5f}, {bar[9] + 6, 12, 0.55f}, {bar[9] + 7, 12, 0.65f},
    };
}

// Low strings: the root of each bar, then its octave on the half bar.
std::vector<Pluck> Bass() {
    const int roots[kBars] = {-12, -12, -16, -19, -19, -12, -19, -17, -16, -12};
    std::vector<Pluck> notes;
    for (int b = 0; b < kBars; ++b) {
        notes.push_back({8 * b, roots[b], 0.75f});
        notes.push_back({8 * b + 4, roots[b] + 12, 0.45f});
    }
    return notes;
}

// The big drum ("don") and the rim ("ka"), bar by bar; the last bar rolls
// into the first.
struct Beat {
    int eighth;
    bool rim;
    float strength;
};

std::vector<Beat> Drums() {
    std::vector<Beat> beats;
    for (int b = 0; b < kBars - 1; ++b) {
        int at = 8 * b;
        beats.push_back({at + 0, false, 1.0f});
        beats.push_back({at + 2, true, 0.5f});
        beats.push_back({at + 3, false, 0.55f});
        beats.push_back({at + 4, false, 0.85f});
        beats.push_back({at + 6, false, 0.55f});
        beats.push_back({at + 7, true, 0.4f});
    }
    int last = 8 * (kBars - 1);
    beats.push_back({last + 0, false, 1.0f});
    beats.push_back({last + 2, false, 0.55f});
    beats.push_back({last + 3, true, 0.5f});
    beats.push_back({last + 4, false, 0.65f});
    beats.push_back({last + 5, false, 0.72f});
    beats.push_back({last + 6, false, 0.82f});
    beats.push_back({last + 7, false, 0.95f});
    return beats;
}

// A plucked string (Karplus-Strong): a burst of noise circulating in a tuned
// delay line whose loop filter dulls and damps it. A first-order all-pass
// supplies the fraction of a sample that keeps high notes in tune.
Samples PluckString(double hz, float strength, NoiseRandom& random) {
    const double seconds = 3.0;
    const double period = kRate / hz;
    const int delay = static_cast<int>(std::floor(period - 0.5 - 0.1));
    const double fraction = period - 0.5 - delay;
    const double allpass = (1.0 - fraction) / (1.0 + fraction);
    const double ringSeconds = hz < 200.0 ? 3.0 : 2.2;
    const double loopGain = std::pow(0.001, 1.0 / (hz * ringSeconds));

    // A bright pick: the excitation is only lightly smoothed.
    std::vector<double> line(delay, 0.0);
    double smooth = 0.0;
    const double pick = 0.35 + 0.5 * strength;
    for (int i = 0; i < delay; ++i) {
        smooth += pick * (random.Bipolar() - smooth);
        line[i] = smooth;
    }
    Samples out(MsToFrames(seconds * 1000.0));
    double previous = 0.0, apIn = 0.0, apOut = 0.0;
    int head = 0;
    for (size_t n = 0; n < out.size(); ++n) {
        double value = line[head];
        double averaged = 0.5 * (value + previous);
        previous = value;
        double shifted = allpass * averaged + apIn - allpass * apOut;
        apIn = averaged;
        apOut = shifted;
        line[head] = loopGain * shifted;
        head = (head + 1) % delay;
        out[n] = static_cast<float>(value) * strength;
    }
    // The pick touches the string for a moment before it snaps (no click);
    // the last moments fade out so nothing is cut off where the note ends.
    FadeEdges(out, 1.5, 300.0);
    return out;
}

Samples Drum(float strength, NoiseRandom& random) {
    Samples out(MsToFrames(1200.0), 0.0f);
    Oscillator body;
    Biquad skin = Biquad::LowPass(800.0, 0.7);
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = 62.0 + 58.0 * std::exp(-t / 0.04);
        out[i] = strength *
                 (RiseCurve(t, 0.002) * Decay(t, 0.3) * body.Next(hz) +
                  0.8f * RiseCurve(t, 0.001) * Decay(t, 0.02) * skin.Process(random.Bipolar()));
    }
    FadeEdges(out, 0.0, 100.0);
    return out;
}

Samples Rim(float strength, NoiseRandom& random) {
    Samples out(MsToFrames(150.0), 0.0f);
    Oscillator wood;
    Biquad crack = Biquad::BandPass(2200.0, 3.0);
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        out[i] = strength * (1.5f * Decay(t, 0.012) * crack.Process(random.Bipolar()) +
                             0.4f * Decay(t, 0.02) * wood.Next(1800.0));
    }
    FadeEdges(out, 1.0, 20.0);
    return out;
}

// Adds a note into the loop, folding whatever rings past the loop's end
// back onto its start: played in a loop, the tail of the last notes then
// sounds over the first ones, as it would in a continuous performance.
void MixAround(Samples& loop, const Samples& note, int at, float gain) {
    for (size_t i = 0; i < note.size(); ++i) {
        loop[(at + i) % loop.size()] += gain * note[i];
    }
}

// A small Schroeder room: four damped combs into two all-passes.
class Room {
  public:
    Room() {
        const int combDelays[4] = {797, 907, 1021, 1123};
        for (int k = 0; k < 4; ++k) {
            combs[k].assign(combDelays[k], 0.0f);
        }
        const int allpassDelays[2] = {347, 113};
        for (int k = 0; k < 2; ++k) {
            allpasses[k].assign(allpassDelays[k], 0.0f);
        }
    }

    float Process(float x) {
        float sum = 0.0f;
        for (int k = 0; k < 4; ++k) {
            float out = combs[k][combHeads[k]];
            damped[k] += 0.35f * (out - damped[k]);
            combs[k][combHeads[k]] = x + 0.8f * damped[k];
            combHeads[k] = (combHeads[k] + 1) % combs[k].size();
            sum += out;
        }
        float y = 0.25f * sum;
        for (int k = 0; k < 2; ++k) {
            float delayed = allpasses[k][allpassHeads[k]];
            float in = y + 0.5f * delayed;
            allpasses[k][allpassHeads[k]] = in;
            allpassHeads[k] = (allpassHeads[k] + 1) % allpasses[k].size();
            y = delayed - 0.5f * in;
        }
        return y;
    }

  private:
    std::vector<float> combs[4];
    size_t combHeads[4] = {};
    float damped[4] = {};
    std::vector<float> allpasses[2];
    size_t allpassHeads[2] = {};
};

}  // namespace

Samples MakeOpening() {
    NoiseRandom random(53);
    Samples dry(static_cast<size_t>(kBars) * kBar, 0.0f);
    for (const Pluck& note : Melody()) {
        double hz = kTonicHz * std::pow(2.0, note.semitone / 12.0);
        MixAround(dry, PluckString(hz, note.strength, random), note.eighth * kEighth, 0.55f);
    }
    for (const Pluck& note : Bass()) {
        double hz = kTonicHz * std::pow(2.0, note.semitone / 12.0);
        MixAround(dry, PluckString(hz, note.strength, random), note.eighth * kEighth, 0.45f);
    }
    for (const Beat& beat : Drums()) {
        Samples hit = beat.rim ? Rim(beat.strength, random) : Drum(beat.strength, random);
        MixAround(dry, hit, beat.eighth * kEighth, beat.rim ? 0.35f : 0.7f);
    }
    // The room is run over the loop twice and only the second round is
    // kept: its echoes then carry over the seam as they would in a real loop.
    Room room;
    Samples wet(dry.size());
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < dry.size(); ++i) {
            wet[i] = room.Process(dry[i]);
        }
    }
    Samples mix(dry.size());
    for (size_t i = 0; i < dry.size(); ++i) {
        mix[i] = dry[i] + 0.3f * wet[i];
    }
    return mix;
}

}  // namespace assets
