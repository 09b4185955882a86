#pragma once
// A mono clip as the generator builds it: float samples at the pack's rate,
// nominally -1..1. Written out as 16-bit PCM RIFF WAVE, the only form the
// game's loader reads.
#include <string>
#include <vector>

namespace assets {

// Every clip of the pack plays at this rate; the game's high and low attacks
// (24200 Hz and 13200 Hz) are heard relative to it.
constexpr int kRate = 22050;

using Samples = std::vector<float>;

inline int MsToFrames(double ms) {
    return static_cast<int>(ms * kRate / 1000.0 + 0.5);
}

// Scales the clip so that its highest absolute sample sits at `peakDb` dBFS.
void NormalizePeak(Samples& clip, double peakDb);
// Highest absolute sample, as dBFS (-200 for a silent clip).
double PeakDb(const Samples& clip);
double RmsDb(const Samples& clip);

// Cuts what stays below `threshold` at the start (keeping `keepMs` before the
// first loud sample, faded in) and at the end (keeping a short fade-out).
void TrimSilence(Samples& clip, float threshold, double keepMs);

// Linear-phase windowed-sinc resampling, for synthesizers that answer at
// another rate than the pack's.
Samples Resample(const Samples& input, int fromRate, int toRate);

// Appends `tail` to `clip` after `gapMs` of silence.
void Append(Samples& clip, const Samples& tail, double gapMs);

// Adds `source` into `target` from frame `at`, growing `target` as needed.
void MixInto(Samples& target, const Samples& source, int at, float gain);

// Short fades at both ends so the clip starts and stops without a click.
void FadeEdges(Samples& clip, double inMs, double outMs);

// Writes the clip as RIFF WAVE: mono, 16-bit PCM, kRate, a 16-byte "fmt "
// chunk followed by the "data" chunk. False when the file cannot be written.
bool WriteWave(const std::string& path, const Samples& clip);

}  // namespace assets
