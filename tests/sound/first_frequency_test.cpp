// The first frequency setting of the process reads the clip's own rate and
// uses it in place of the one asked for; every later setting is as asked.
#include "SoundFixture.h"

namespace {

class FirstFrequency : public SoundFixture {};

TEST_F(FirstFrequency, TakesTheClipRateOnceThenObeys) {
    CSoundPlay player;
    player.mode = 1;
    ASSERT_EQ(player.InitDevice(&window), 1);
    player.AddSound(Asset("swing.snz", wav::MonoClip(wav::Sine16(500, 22050, 2205))), 10);

    player.PlayAt(10, -1, 1);                              // asks for high: 24200 Hz
    EXPECT_EQ(player.Buffer(10)->GetFrequency(), 24255u);  // 22050 x 1.1
    EXPECT_EQ(player.Buffer(10)->GetPan(), -10000);

    player.PlayAt(10, -1, 1);
    EXPECT_EQ(player.Buffer(10)->GetFrequency(), 24200u);
    player.SetFrequency(10, 0);
    EXPECT_EQ(player.Buffer(10)->GetFrequency(), 22050u);
}

}  // namespace
