// The level plan's meter and its checks: a clip louder or quieter than its
// group's level fails the build, naming the clip and what it measures.
#include <gtest/gtest.h>

#include <cmath>

#include "Checks.h"
#include "LevelPlan.h"
#include "Loudness.h"

namespace {

using namespace assets;

Samples Sine(double hz, double seconds, double amplitude) {
    Samples clip(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < clip.size(); ++i) {
        clip[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * hz * i / kRate));
    }
    return clip;
}

// BS.1770's reference: a 997 Hz sine at full scale in one channel is
// -3.01 LUFS, so one at -20 dBFS is -23.01; as long or as short as a block.
TEST(LevelPlan, TheMeterReadsTheReferenceToneLongOrShort) {
    EXPECT_NEAR(LoudnessLufs(Sine(997, 3.0, 0.1)), -23.01, 0.05);
    EXPECT_NEAR(LoudnessLufs(Sine(997, 0.3, 0.1)), -23.01, 0.1);
    EXPECT_EQ(LoudnessLufs(Samples(kRate, 0.0f)), -HUGE_VAL);
}

TEST(LevelPlan, AClipOffItsGroupsLevelFailsWithItsNameAndLevel) {
    const std::string swing = GameFile(manifest::kSwing);
    const double level = LevelOf(LevelGroup::Swing).lufs;
    struct Case {
        double offset;  // LU from the plan's level
        std::string message;
    } cases[] = {
        {0.0, ""},
        {0.9, ""},
        {-0.9, ""},
        {2.0, swing + " measures -16.0 LUFS, louder than the level plan allows for the swing "
                      "(-18.0 LUFS, within 1 LU)"},
        {-2.0, swing + " measures -20.0 LUFS, quieter than the level plan allows for the swing "
                       "(-18.0 LUFS, within 1 LU)"},
    };
    for (const Case& c : cases) {
        Samples clip = Sine(900, 0.4, 0.1);
        const float gain = std::pow(10.0, (level + c.offset - LoudnessLufs(clip)) / 20.0);
        for (float& s : clip) {
            s *= gain;
        }
        EXPECT_EQ(CheckClip(swing, clip), c.message) << c.offset;
    }
}

// A clip whose peaks stand far above its body reaches its level all the
// same, its peaks held under the ceiling; the limiter touches only the few
// milliseconds around each peak.
TEST(LevelPlan, SharpPeaksAreLimitedOnTheWayToTheLevel) {
    const Samples body = Sine(200, 1.0, 0.01);
    Samples clip = body;
    for (int at : {1000, 5000, 5001, 15000}) {
        clip[at] = at % 2 ? -0.9f : 0.9f;
    }
    NormalizeLoudness(clip, -20.0, kClipPeakCeilingDb);
    EXPECT_NEAR(LoudnessLufs(clip), -20.0, kLevelTolerance);
    EXPECT_LE(PeakDb(clip), kClipPeakCeilingDb + 1e-4);
    const double gain = clip[3000] / body[3000];
    EXPECT_GT(gain, 10.0);
    for (int far : {100, 8000, 12000, 20000}) {
        EXPECT_NEAR(clip[far] / body[far], gain, 1e-3 * gain) << far;
    }
    EXPECT_LT(clip[1001] / body[1001], 0.9 * gain);  // next to a peak: lowered
}

}  // namespace
