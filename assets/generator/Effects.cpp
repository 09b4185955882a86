#include "Effects.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "Dsp.h"

namespace assets {
namespace {

constexpr double kPi = std::numbers::pi;

// One crunch of a foot on gravel: many tiny stone clicks, dense at the start
// of the crunch and thinning out, each a few milliseconds of decaying noise.
void AddCrunch(Samples& excitation, double start, double duration, int grains, float gain,
               NoiseRandom& random) {
    for (int g = 0; g < grains; ++g) {
        double offset = duration * std::pow(random.Unit(), 1.6);
        float amplitude =
            gain * static_cast<float>((1.0 - offset / duration) * random.Range(0.15, 1.0));
        int at = MsToFrames((start + offset) * 1000.0);
        int length = MsToFrames(random.Range(1.0, 5.0));
        double tau = length / 3.0;
        for (int i = 0; i < length && at + i < static_cast<int>(excitation.size()); ++i) {
            excitation[at + i] +=
                amplitude * random.Bipolar() * static_cast<float>(std::exp(-i / tau));
        }
    }
}

// A damped sine whose pitch falls from `fromHz` towards `toHz`: the body of
// drums and of heavy impacts.
void AddThump(Samples& clip, double start, double fromHz, double toHz, double pitchTau,
              double decayTau, float gain) {
    Oscillator body;
    int at = MsToFrames(start * 1000.0);
    int length = MsToFrames(decayTau * 7000.0);
    for (int i = 0; i < length && at + i < static_cast<int>(clip.size()); ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = toHz + (fromHz - toHz) * std::exp(-t / pitchTau);
        clip[at + i] += gain * RiseCurve(t, 0.002) * Decay(t, decayTau) * body.Next(hz);
    }
}

// A ringing partial: a sine with its own decay.
void AddPartial(Samples& clip, double start, double hz, float gain, double tau, double phase) {
    int at = MsToFrames(start * 1000.0);
    for (int i = 0; at + i < static_cast<int>(clip.size()); ++i) {
        double t = static_cast<double>(i) / kRate;
        float envelope = RiseCurve(t, 0.0015) * Decay(t, tau);
        if (envelope < 1e-5f && t > 0.01) {
            break;
        }
        clip[at + i] += gain * envelope * static_cast<float>(std::sin(2.0 * kPi * hz * t + phase));
    }
}

}  // namespace

Samples MakeFootsteps() {
    const double length = 2.5;
    NoiseRandom random(11);
    Samples excitation(MsToFrames(length * 1000.0), 0.0f);
    Samples body(excitation.size(), 0.0f);
    // A slow, steady walk: a step every half second, the first at once.
    double t = 0.004;
    for (int step = 0; t < length - 0.3; ++step) {
        float gain = step % 2 == 0 ? 1.0f : 0.85f;          // the two feet differ a little
        AddCrunch(excitation, t, 0.14, 120, gain, random);  // heel
        AddCrunch(excitation, t + 0.09, 0.12, 70, 0.65f * gain, random);  // rolling onto the toe
        AddThump(body, t, 120.0, 70.0, 0.02, 0.035, 0.35f * gain);
        t += 0.5 + random.Range(-0.02, 0.02);
    }
    // The stones' clicks: a low-mid crunch and a brighter rattle.
    Biquad crunch = Biquad::BandPass(1800.0, 0.9);
    Biquad rattle = Biquad::BandPass(4200.0, 1.2);
    Biquad dust = Biquad::HighPass(700.0, 0.7);
    Samples clip(excitation.size());
    for (size_t i = 0; i < clip.size(); ++i) {
        float e = excitation[i];
        clip[i] =
            0.9f * crunch.Process(e) + 0.6f * rattle.Process(e) + 0.25f * dust.Process(e) + body[i];
    }
    FadeEdges(clip, 0.5, 20.0);
    return clip;
}

Samples MakeSwing() {
    const double length = 0.42;
    const double whistleHz = 900.0;
    NoiseRandom random(23);
    Biquad whoosh = Biquad::BandPass(500.0, 1.2);
    Biquad whistle = Biquad::BandPass(whistleHz, 25.0);
    Biquad smooth = Biquad::LowPass(6000.0, 0.7);
    Oscillator tone;
    Samples clip(MsToFrames(length * 1000.0));
    for (size_t i = 0; i < clip.size(); ++i) {
        double p = static_cast<double>(i) / clip.size();
        // The blade passes closest a little before the middle; its pitch
        // rises as it comes and falls as it goes, like any passing sound.
        double closeness = std::sin(kPi * std::pow(p, 0.85));
        float envelope = static_cast<float>(std::pow(closeness, 1.5));
        double pitch = whistleHz * (1.0 + 0.08 * closeness);
        if (i % 16 == 0) {
            whoosh.Retune(Biquad::BandPass(500.0 + 1500.0 * closeness, 1.2));
            whistle.Retune(Biquad::BandPass(pitch, 25.0));
        }
        float noise = random.Bipolar();
        float broad = whoosh.Process(noise);
        float narrow = whistle.Process(noise);
        float sine = tone.Next(pitch);
        clip[i] = smooth.Process(envelope * (0.55f * broad + 1.3f * narrow + 0.28f * sine));
    }
    FadeEdges(clip, 0.5, 10.0);
    return clip;
}

Samples MakeClang() {
    const double length = 1.6;
    const double baseHz = 1250.0;
    NoiseRandom random(37);
    Samples clip(MsToFrames(length * 1000.0), 0.0f);
    // Inharmonic partials of a steel blade; the first two lie close together
    // and beat, which makes the ring shimmer.
    const double ratios[] = {1.0, 1.0035, 1.59, 2.14, 2.71, 3.42, 4.11, 5.23};
    const float gains[] = {1.0f, 0.6f, 0.75f, 0.5f, 0.55f, 0.35f, 0.3f, 0.2f};
    const double taus[] = {0.5, 0.45, 0.34, 0.28, 0.22, 0.15, 0.11, 0.08};
    for (int k = 0; k < 8; ++k) {
        AddPartial(clip, 0.0, baseHz * ratios[k], gains[k], taus[k], random.Range(0.0, 2.0 * kPi));
    }
    // The hit itself: a sharp click and a short scrape of edge on edge.
    Biquad click = Biquad::HighPass(3000.0, 0.7);
    Biquad scrape = Biquad::BandPass(5200.0, 2.0);
    for (size_t i = 0; i < clip.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        float noise = random.Bipolar();
        clip[i] += 1.6f * Decay(t, 0.0015) * click.Process(noise);
        clip[i] += 1.2f * Decay(t, 0.03) * scrape.Process(noise);
    }
    FadeEdges(clip, 0.0, 300.0);
    return clip;
}

Samples MakeKillStroke() {
    const double length = 0.5;
    NoiseRandom random(41);
    Samples clip(MsToFrames(length * 1000.0), 0.0f);
    // A fast, bright slash...
    const double slash = 0.11;
    Biquad swish = Biquad::BandPass(2500.0, 2.0);
    for (int i = 0; i < MsToFrames(slash * 1000.0); ++i) {
        double p = static_cast<double>(i) / MsToFrames(slash * 1000.0);
        if (i % 16 == 0) {
            swish.Retune(Biquad::BandPass(2500.0 + 3500.0 * p, 2.0));
        }
        clip[i] += 1.8f * static_cast<float>(std::sin(kPi * p)) * swish.Process(random.Bipolar());
    }
    // ...then the cut: a wet tearing burst and a soft body blow.
    const double cut = 0.09;
    Biquad tear = Biquad::BandPass(1900.0, 1.5);
    Biquad wet = Biquad::LowPass(450.0, 0.9);
    for (int i = MsToFrames(cut * 1000.0); i < static_cast<int>(clip.size()); ++i) {
        double t = static_cast<double>(i) / kRate - cut;
        float noise = random.Bipolar();
        clip[i] += 1.4f * Decay(t, 0.05) * tear.Process(noise);
        clip[i] += 1.6f * Decay(t, 0.09) * wet.Process(noise);
    }
    AddThump(clip, cut, 140.0, 60.0, 0.03, 0.06, 0.5f);
    FadeEdges(clip, 0.5, 40.0);
    return clip;
}

Samples MakeEnemyStroke() {
    const double length = 0.65;
    NoiseRandom random(43);
    Samples clip(MsToFrames(length * 1000.0), 0.0f);
    // A heavy, low swing...
    const double swing = 0.16;
    Biquad swish = Biquad::BandPass(350.0, 1.5);
    for (int i = 0; i < MsToFrames(swing * 1000.0); ++i) {
        double p = static_cast<double>(i) / MsToFrames(swing * 1000.0);
        if (i % 16 == 0) {
            swish.Retune(Biquad::BandPass(350.0 + 550.0 * p, 1.5));
        }
        clip[i] += 1.2f * static_cast<float>(std::sin(kPi * std::pow(p, 0.7))) *
                   swish.Process(random.Bipolar());
    }
    // ...that lands: a deep boom and a dull, gritty crunch.
    const double impact = 0.13;
    AddThump(clip, impact, 105.0, 45.0, 0.03, 0.16, 1.0f);
    Biquad dull = Biquad::LowPass(1200.0, 0.8);
    for (int i = MsToFrames(impact * 1000.0); i < static_cast<int>(clip.size()); ++i) {
        double t = static_cast<double>(i) / kRate - impact;
        float crunch = dull.Process(random.Bipolar()) * Decay(t, 0.05);
        clip[i] += 0.9f * std::tanh(3.0f * crunch);
    }
    FadeEdges(clip, 0.5, 60.0);
    return clip;
}

Samples MakeChanceChime() {
    const double length = 1.3;
    NoiseRandom random(47);
    Samples clip(MsToFrames(length * 1000.0), 0.0f);
    // A quick rising run of bells, D6 F6 G6 A6 C7 D7, the last one ringing on.
    const double notes[] = {1174.7, 1396.9, 1568.0, 1760.0, 2093.0, 2349.3};
    for (int n = 0; n < 6; ++n) {
        double start = 0.06 * n;
        double tau = n == 5 ? 0.45 : 0.22;
        float gain = 0.6f + 0.08f * n;
        AddPartial(clip, start, notes[n], gain, tau, 0.0);
        AddPartial(clip, start, notes[n] * 2.0, 0.3f * gain, tau * 0.6,
                   random.Range(0.0, 2.0 * kPi));
        AddPartial(clip, start, notes[n] * 3.01, 0.15f * gain, tau * 0.4,
                   random.Range(0.0, 2.0 * kPi));
    }
    FadeEdges(clip, 0.0, 60.0);
    return clip;
}

Samples MakeFanfare() {
    // A short call of bright brass: G4 C5 E5 G5, then C6 held over E5 and G5.
    struct Note {
        double start, length, hz;
        float gain;
    };
    const Note notes[] = {
        {0.00, 0.10, 392.00, 0.8f},  {0.11, 0.10, 523.25, 0.8f}, {0.22, 0.10, 659.25, 0.8f},
        {0.33, 0.14, 783.99, 0.9f},  {0.48, 0.55, 1046.5, 1.0f}, {0.48, 0.55, 659.25, 0.45f},
        {0.48, 0.55, 783.99, 0.45f},
    };
    Samples clip(MsToFrames(1100.0), 0.0f);
    for (const Note& note : notes) {
        int at = MsToFrames(note.start * 1000.0);
        int frames = MsToFrames(note.length * 1000.0);
        int release = MsToFrames(40.0);
        double phase = 0.0;
        for (int i = 0; i < frames + release && at + i < static_cast<int>(clip.size()); ++i) {
            double t = static_cast<double>(i) / kRate;
            // The tone brightens as the player blows into it, then settles.
            double bright = 0.35 + 0.45 * RiseCurve(t, 0.04) - 0.15 * RiseCurve(t - 0.04, 0.3);
            double vibrato = 1.0 + 0.004 * std::sin(2.0 * kPi * 5.5 * t) * RiseCurve(t, 0.2);
            phase += 2.0 * kPi * note.hz * vibrato / kRate;
            double value = 0.0;
            for (int k = 1; k * note.hz < 6000.0; ++k) {
                value += std::pow(bright, k - 1) / k * std::sin(k * phase);
            }
            float envelope = RiseCurve(t, 0.015);
            if (i >= frames) {
                envelope *= 1.0f - static_cast<float>(i - frames) / release;
            }
            clip[at + i] += note.gain * envelope * static_cast<float>(value);
        }
    }
    return clip;
}

}  // namespace assets
