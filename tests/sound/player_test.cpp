// The sound player as the scenes use it: placing attacks left or right, high
// or low, restarting clips and keeping their volumes.
#include "SignalMeasure.h"
#include "SoundFixture.h"

namespace {

class Player : public SoundFixture {
  protected:
    void SetUp() override {
        SoundFixture::SetUp();
        player.mode = 1;
        ASSERT_EQ(player.InitDevice(&window), 1);
        player.AddSound(Asset("tone.snz", wav::MonoClip(wav::Sine16(1000, 22050, 22050))), 3);
        player.AddSound(Asset("short.snz", wav::MonoClip(wav::Sine16(1000, 22050, 2205))), 4);
        // The process's first frequency setting plays at the clip's own rate;
        // take it here so the tests see the settled behaviour.
        player.PlayAt(4, 0, 0);
        player.Stop(4);
    }
    std::vector<float> Render(int frames) {
        std::vector<float> out(2 * frames);
        for (int done = 0; done < frames; done += platform::AudioMixer::kPeriodFrames) {
            Mixer().Render(out.data() + 2 * done,
                           std::min(platform::AudioMixer::kPeriodFrames, frames - done));
        }
        return out;
    }
    CSoundPlay player;
};

TEST_F(Player, AttacksArePlacedBySideAndHeight) {
    struct Case {
        float x, y;
        int32_t pan;
        uint32_t frequency;
        int loudChannel;  // -1 = both
    } cases[] = {
        {-1, 1, -10000, 24200, 0}, {1, 1, 10000, 24200, 1}, {-1, -1, -10000, 13200, 0},
        {1, -1, 10000, 13200, 1},  {0, 0, 0, 22050, -1},
    };
    for (const Case& c : cases) {
        player.PlayAt(3, c.x, c.y);
        platform::SoundBuffer* buffer = player.Buffer(3);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->GetPan(), c.pan);
        EXPECT_EQ(buffer->GetFrequency(), c.frequency);
        EXPECT_EQ(buffer->GetStatus(), platform::kStatusPlaying);
        auto out = Render(9600);
        double expectedTone = 1000.0 * c.frequency / 22050;
        if (c.loudChannel < 0) {
            EXPECT_NEAR(measure::Rms(out, 0), measure::Rms(out, 1), 1e-6);
        } else {
            EXPECT_EQ(measure::Peak(out, 1 - c.loudChannel), 0.0) << c.x << "," << c.y;
            EXPECT_NEAR(measure::ToneFrequency(out, c.loudChannel, 48000), expectedTone, 2);
        }
    }
    player.PlayAt(-1, 1, 1);  // a negative id does nothing
}

TEST_F(Player, PlayRestartsFromTheBeginningOnceOrLooping) {
    ASSERT_EQ(player.Play(3, 0), 1);
    auto first = Render(4800);
    ASSERT_EQ(player.Play(3, 0), 1);  // while still playing once
    auto again = Render(4800);
    for (size_t i = 0; i < first.size(); ++i) {
        ASSERT_FLOAT_EQ(first[i], again[i]) << i;
    }

    ASSERT_EQ(player.Play(3, 1), 1);
    Render(4800);
    EXPECT_EQ(player.Buffer(3)->GetStatus(), platform::kStatusPlaying | platform::kStatusLooping);
    ASSERT_EQ(player.Play(3, 0), 1);  // while looping: rewinds, now once
    EXPECT_EQ(player.Buffer(3)->GetStatus(), platform::kStatusPlaying);
    EXPECT_EQ(player.Buffer(3)->GetCurrentPosition(), 0u);
}

TEST_F(Player, StopKeepsThePositionAndTheNextPlayRewinds) {
    player.Stop(7);  // never played: nothing happens
    player.Play(3, 1);
    Render(9600);
    player.Stop(3);
    EXPECT_EQ(player.Buffer(3)->GetStatus(), 0u);
    EXPECT_GT(player.Buffer(3)->GetCurrentPosition(), 0u);
    player.Play(3, 0);
    EXPECT_EQ(player.Buffer(3)->GetCurrentPosition(), 0u);
}

TEST_F(Player, OncePlayedClipEndsByItself) {
    player.Play(4, 0);
    Render(4800 + 512);  // 0.1 s clip
    EXPECT_EQ(player.Buffer(4)->GetStatus(), 0u);
    EXPECT_EQ(measure::Peak(Render(1024), 0), 0.0);
}

TEST_F(Player, RememberedVolumesFollowEveryPlay) {
    player.Play(3, 0);
    player.SetVolume(3, -900);
    player.Buffer(3)->SetVolume(0);  // as if something else had changed it
    player.Play(3, 0);
    EXPECT_EQ(player.Buffer(3)->GetVolume(), -900);

    // 0 means nothing remembered and is never re-applied.
    player.SetVolume(3, 0);
    player.Buffer(3)->SetVolume(-300);
    player.Play(3, 0);
    EXPECT_EQ(player.Buffer(3)->GetVolume(), -300);

    // Ids above 100 have their own entries: none spills into another id.
    player.AddSound(AssetPath("tone.snz"), 150);
    player.Play(150, 0);
    player.SetVolume(150, -1234);
    EXPECT_EQ(theSoundVolume.Remembered(150), -1234);
    EXPECT_EQ(theSoundVolume.Remembered(49), 0);
    theSoundVolume.Remember(200, -5);  // outside the table: ignored
    EXPECT_EQ(theSoundVolume.Remembered(200), 0);
}

TEST_F(Player, VolumeOnAnUnloadedIdIsNotRemembered) {
    player.SetVolume(3, -500);  // not yet played, so not loaded
    EXPECT_EQ(theSoundVolume.Remembered(3), 0);
}

TEST_F(Player, DestroyingThePlayerSilencesItsClips) {
    {
        CSoundPlay scene;
        scene.mode = 1;
        scene.InitDevice(&window);
        scene.AddSound(AssetPath("tone.snz"), 0);
        scene.Play(0, 1);
        EXPECT_GT(measure::Rms(Render(2400), 0), 0.1);
    }
    EXPECT_EQ(measure::Peak(Render(2400), 0), 0.0);
}

TEST_F(Player, DevicesOutliveThePlayers) {
    CSoundPlay later;
    later.mode = 1;
    EXPECT_EQ(later.InitDevice(&window), 1);
    EXPECT_EQ(later.InitDevice(nullptr), 1);
    later.AddSound(AssetPath("tone.snz"), 0);
    EXPECT_EQ(later.Play(0, 0), 1);
}

TEST_F(Player, JournalShowsWhatWasPlayedWithItsPlace) {
    Mixer().SetJournalEnabled(true);
    player.PlayAt(3, -1, -1);
    auto journal = Mixer().TakeJournal();
    Mixer().SetJournalEnabled(false);
    using Kind = platform::SoundEvent::Kind;
    auto find = [&](Kind kind) {
        for (const auto& e : journal) {
            if (e.kind == kind) {
                return e.value;
            }
        }
        return int64_t{-1};
    };
    EXPECT_EQ(find(Kind::Play), 0);
    EXPECT_EQ(find(Kind::Pan), -10000);
    EXPECT_EQ(find(Kind::Frequency), 13200);
    EXPECT_EQ(journal.front().name, AssetPath("tone.snz"));
    // Placed before it starts, so no period of it is mixed centred or at the
    // rate of its previous play.
    EXPECT_EQ(journal.back().kind, Kind::Play);
}

}  // namespace
