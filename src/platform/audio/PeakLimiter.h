#pragma once
// The master bus's safety net: no sample that leaves the mixer is louder than
// the ceiling, -1 dBFS.
//
// Why a limiter at all. Every clip of the pack has its own headroom (the
// level plan in docs/AUDIO_LEVELS.md), but the game overlaps them freely: a
// swing, the clang that answers it and a cry can sound at once, and their sum
// may pass full scale, which a sound card plays as hard clipping exactly on
// the sounds the player must judge. A fixed attenuation of the whole mix that
// made that impossible would cost every sound about 10 dB for a peak that is
// rare; the limiter only acts while the sum is too loud.
//
// The rules, chosen for a game played by ear:
//
// - Zero latency. The gain for a frame is known from that frame alone, so the
//   limiter adds nothing to the key-to-voice time. A look-ahead limiter would
//   ramp the gain down before a peak, at the price of delaying everything.
// - Instant attack. When a frame's louder channel passes the ceiling, the
//   gain drops at that frame to exactly what brings it to the ceiling. The
//   onset of a swing keeps its sharpness: nothing is smoothed ahead of it.
// - One gain for both channels (linked stereo). Left and right are scaled
//   alike, so a sound panned full left stays full left: the side of an
//   attack is never changed by what else sounds.
// - Hold, then release. After the last frame that needed it the gain holds
//   for 10 ms (longer than one period of the lowest sounds the pack plays,
//   so the gain does not ripple within a waveform), then returns towards
//   unity with a 60 ms time constant: a loud overlap passes in a fraction
//   of a second and the next swing is heard at full level.
// - A quiet mix is left untouched, bit for bit: at unity gain a frame at or
//   under the ceiling is not even written. The gain snaps to exactly 1 once
//   it is within 0.001 dB of it.
// - Whatever the input, the output is finite and within the ceiling: a NaN
//   or an infinity becomes silence, the gain never goes below -120 dB (so it
//   never becomes a denormal), and every limited sample is clamped to the
//   ceiling against the rounding of the division.
//
// Inter-sample peaks. The ceiling is on sample values. The 1 dB between it
// and full scale is room for the overshoot that a converter's reconstruction
// or a resampler adds between samples; the pack's clips are made at 22050 Hz
// and so carry nothing above 11 kHz, far below the output's 24 kHz Nyquist,
// which keeps that overshoot small (docs/PERFORMANCE.md has the measured true
// peak of a duel).
//
// Runs on the audio thread: no allocation, no lock, no system call.

namespace platform {

class PeakLimiter {
  public:
    static constexpr float kCeiling = 0.891250938f;  // 10^(-1/20): -1 dBFS

    explicit PeakLimiter(int sampleRate);

    // Limits `frames` interleaved stereo frames in place.
    void Process(float* interleaved, int frames);

    // The gain in force after the last frame processed (1 = untouched).
    float Gain() const { return gain; }

  private:
    float gain = 1.0f;
    int holdLeft = 0;  // frames the gain still holds before it releases
    int holdFrames;
    float releaseStep;  // the share of the distance to unity regained each frame
};

}  // namespace platform
