#pragma once
// Loudness as listeners hear it, in LUFS (loudness units relative to full
// scale), measured by libebur128, the reference implementation of ITU-R
// BS.1770-4 that EBU R128 builds on. Its two steps, in short:
//
// - K-weighting: a high shelf (+4 dB above about 1.5 kHz, the head's effect
//   on what reaches the ear) and a high pass (below about 100 Hz counts
//   less), then the mean square in blocks of 400 ms that overlap by 75 %:
//   L = -0.691 + 10 log10(mean square).
// - Gating, so pauses do not pull a clip's level down: blocks under
//   -70 LUFS are left out, then those more than 10 LU under the mean of the
//   rest, and the mean of what remains is the integrated loudness.
//
// A clip shorter than one block (a short number, a stroke) has no gated
// block; its loudness is the same K-weighted measure over the whole clip.
#include "Clip.h"

namespace assets {

// The integrated loudness of a clip at the pack's rate; -infinity for
// silence or an empty clip.
double LoudnessLufs(const Samples& clip);

// Scales the clip to `lufs`. Where a sample would then pass `maxPeakDb`
// dBFS, a look-ahead limiter brings the peaks around it down smoothly (see
// LimitPeaks), and the clip is raised once more by what that cost.
void NormalizeLoudness(Samples& clip, double lufs, double maxPeakDb);

// Lowers the clip wherever a sample passes `ceiling` (linear), and only
// there, so that none does. Offline, so it looks ahead: the gain at each
// sample is the running minimum of the gain every sample within 2 ms needs,
// averaged over the same 2 ms. Each value of that average is at most the
// gain the sample itself needs (every minimum it averages includes that
// sample), so no sample passes the ceiling, and the gain moves in ramps of
// 2 ms rather than in steps, which would click.
void LimitPeaks(Samples& clip, float ceiling);

}  // namespace assets
