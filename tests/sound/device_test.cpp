// The real audio output through SDL: with the disk driver standing in for a
// sound card, and with no usable driver (as on a machine without sound).
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "SignalMeasure.h"
#include "SoundFixture.h"

namespace {

class SdlOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        baseDir =
            std::filesystem::temp_directory_path() / ("zk-device-" + std::to_string(::getpid()));
        std::filesystem::create_directories(baseDir / "sound");
        platform::TakeShownMessages();
    }
    void TearDown() override { std::filesystem::remove_all(baseDir); }
    std::filesystem::path baseDir;
    FakeWindow window;
};

TEST_F(SdlOutput, PlaysThroughTheDiskDriver) {
    const char* file = std::getenv("ZANKORUC_DISK_FILE");
    ASSERT_NE(file, nullptr);
    wav::Write((baseDir / "sound" / "tone.snz").string(),
               wav::MonoClip(wav::Sine16(1000, 22050, 22050)));
    CSoundPlay player;
    player.mode = 1;
    ASSERT_EQ(player.InitDevice(&window), 1);
    player.AddSound(baseDir.string() + "\\sound\\tone.snz", 0);
    ASSERT_EQ(player.Play(0, 1), 1);
    player.Buffer(0)->SetPan(platform::kPanRight);
    // The disk driver writes in real time; half a second gives ~90 periods.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    player.Stop(0);

    std::vector<float> samples;
    {
        std::ifstream raw(file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(raw)), {});
        samples.resize(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    }
    ASSERT_GT(samples.size(), 2u * 48000 / 10);
    EXPECT_EQ(measure::Peak(samples, 0), 0.0);
    EXPECT_GT(measure::Rms(samples, 1), 0.1);
    EXPECT_NEAR(measure::ToneFrequency(samples, 1, 48000), 1000, 5);
}

TEST_F(SdlOutput, NoDeviceLeavesTheGameSilent) {
    wav::Write((baseDir / "sound" / "tone.snz").string(),
               wav::MonoClip(wav::Sine16(1000, 22050, 2205)));
    CSoundPlay player;
    player.mode = 1;
    EXPECT_EQ(player.InitDevice(&window), 0);
    player.AddSound(baseDir.string() + "\\sound\\tone.snz", 0);
    EXPECT_EQ(player.Play(0, 0), 0);
    player.PlayAt(0, 1, 1);
    player.SetVolume(0, -100);
    player.Stop(0);
    EXPECT_EQ(player.Buffer(0), nullptr);
    EXPECT_TRUE(platform::TakeShownMessages().empty());
    CSoundPlay menu;  // the next scene tries again, and fails as quietly
    EXPECT_EQ(menu.InitDevice(&window), 0);
}

}  // namespace
