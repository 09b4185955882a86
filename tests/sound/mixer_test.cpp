// The mixer rendered offline: what a player hears from a buffer's pan,
// volume, rate and play state.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "SignalMeasure.h"
#include "WavBuilder.h"
#include "platform/audio/AudioMixer.h"

using platform::AudioMixer;
using platform::BufferDescription;
using platform::SoundBuffer;

namespace {

constexpr int kRate = AudioMixer::kOutputRate;

BufferDescription PanBuffer(uint32_t bytes, uint32_t rate = 22050, uint16_t bits = 16) {
    BufferDescription d;
    d.flags = platform::kCapsCtrlFrequency | platform::kCapsCtrlPan | platform::kCapsCtrlVolume;
    d.bufferBytes = bytes;
    d.format.formatTag = 1;
    d.format.channels = 1;
    d.format.samplesPerSec = rate;
    d.format.bitsPerSample = bits;
    d.format.blockAlign = bits / 8;
    d.format.avgBytesPerSec = rate * d.format.blockAlign;
    return d;
}

std::unique_ptr<SoundBuffer> SineBuffer(AudioMixer& mixer, double hz, uint32_t frames,
                                        uint32_t rate = 22050) {
    wav::Bytes samples = wav::Sine16(hz, rate, frames);
    auto buffer = mixer.CreateBuffer(PanBuffer(samples.size(), rate));
    EXPECT_TRUE(buffer);
    EXPECT_TRUE(buffer->CopyIn(samples.data(), samples.size()));
    return buffer;
}

std::vector<float> Render(AudioMixer& mixer, int frames) {
    std::vector<float> out(2 * frames);
    for (int done = 0; done < frames; done += AudioMixer::kPeriodFrames) {
        int n = std::min(AudioMixer::kPeriodFrames, frames - done);
        mixer.Render(out.data() + 2 * done, n);
    }
    return out;
}

TEST(Mixer, PanPlacesTheClipInOneChannelOrBoth) {
    AudioMixer mixer;
    auto buffer = SineBuffer(mixer, 1000, 22050);
    buffer->Play(true);

    buffer->SetPan(platform::kPanLeft);
    auto left = Render(mixer, 4800);
    EXPECT_GT(measure::Rms(left, 0), 0.3);
    EXPECT_EQ(measure::Peak(left, 1), 0.0);

    buffer->SetPan(platform::kPanRight);
    auto right = Render(mixer, 4800);
    EXPECT_EQ(measure::Peak(right, 0), 0.0);
    EXPECT_GT(measure::Rms(right, 1), 0.3);

    buffer->SetPan(0);
    auto centre = Render(mixer, 4800);
    EXPECT_NEAR(measure::Rms(centre, 0), measure::Rms(centre, 1), 1e-6);
    EXPECT_NEAR(measure::Rms(centre, 0), 0.5 / std::sqrt(2.0), 0.01);

    // +2000: the left channel 20 dB down, the right untouched.
    buffer->SetPan(2000);
    auto partly = Render(mixer, 4800);
    EXPECT_NEAR(measure::Rms(partly, 0) / measure::Rms(partly, 1), 0.1, 0.002);
}

TEST(Mixer, VolumeIsHundredthsOfADecibel) {
    AudioMixer mixer;
    auto buffer = SineBuffer(mixer, 1000, 22050);
    buffer->Play(true);
    double full = measure::Rms(Render(mixer, 4800), 0);

    buffer->SetVolume(-600);
    EXPECT_NEAR(measure::Rms(Render(mixer, 4800), 0) / full, 0.501, 0.002);

    buffer->SetVolume(-10000);
    EXPECT_EQ(measure::Peak(Render(mixer, 4800), 0), 0.0);

    // Out of range values are clamped, not refused.
    EXPECT_TRUE(buffer->SetVolume(-20000));
    EXPECT_EQ(buffer->GetVolume(), -10000);
    EXPECT_TRUE(buffer->SetVolume(500));
    EXPECT_EQ(buffer->GetVolume(), 0);
}

TEST(Mixer, PlaybackRateMovesThePitchByTheRateRatio) {
    AudioMixer mixer;
    auto buffer = SineBuffer(mixer, 1000, 22050);
    buffer->Play(true);

    EXPECT_EQ(buffer->GetFrequency(), 22050u);  // 0 = the clip's own rate
    EXPECT_NEAR(measure::ToneFrequency(Render(mixer, 24000), 0, kRate), 1000, 1);

    ASSERT_TRUE(buffer->SetFrequency(24200));
    EXPECT_NEAR(measure::ToneFrequency(Render(mixer, 24000), 0, kRate), 1000.0 * 24200 / 22050, 1);
    ASSERT_TRUE(buffer->SetFrequency(13200));
    EXPECT_NEAR(measure::ToneFrequency(Render(mixer, 24000), 0, kRate), 1000.0 * 13200 / 22050, 1);

    // Outside 100..200000 Hz is refused and the rate stays.
    EXPECT_FALSE(buffer->SetFrequency(99));
    EXPECT_FALSE(buffer->SetFrequency(200001));
    EXPECT_EQ(buffer->GetFrequency(), 13200u);
    ASSERT_TRUE(buffer->SetFrequency(0));
    EXPECT_EQ(buffer->GetFrequency(), 22050u);
}

TEST(Mixer, OncePlayedClipStopsAtItsEndAndLoopingWrapsWithoutAClick) {
    AudioMixer mixer;
    // 4410 frames at 22050 Hz: 0.2 s, 9600 output frames.
    auto once = SineBuffer(mixer, 500, 4410);
    once->Play(false);
    EXPECT_EQ(once->GetStatus(), platform::kStatusPlaying);
    auto out = Render(mixer, 9600 + 512);
    EXPECT_EQ(once->GetStatus(), 0u);
    EXPECT_GT(measure::Rms({out.begin(), out.begin() + 2 * 9000}, 0), 0.3);
    EXPECT_EQ(measure::Peak({out.begin() + 2 * 9700, out.end()}, 0), 0.0);

    // A whole number of periods loops seamlessly: no step between two output
    // frames is larger than the tone's own steepest slope allows.
    auto loop = SineBuffer(mixer, 500, 4410);
    loop->Play(true);
    EXPECT_EQ(loop->GetStatus(), platform::kStatusPlaying | platform::kStatusLooping);
    auto looped = Render(mixer, 48000);
    double steepest = 0.5 * 2 * M_PI * 500 / kRate;
    double largest = 0;
    for (size_t i = 2; i < looped.size(); i += 2) {
        largest = std::max(largest, static_cast<double>(std::fabs(looped[i] - looped[i - 2])));
    }
    EXPECT_LT(largest, steepest * 1.05);
    EXPECT_EQ(loop->GetStatus(), platform::kStatusPlaying | platform::kStatusLooping);
}

TEST(Mixer, PlayIsHeardFromTheVeryNextPeriod) {
    AudioMixer mixer;
    wav::Bytes samples;
    for (int i = 0; i < 1000; ++i) {
        wav::Put16(samples, 16384);  // a constant level: audible from its first frame
    }
    auto buffer = mixer.CreateBuffer(PanBuffer(samples.size()));
    buffer->CopyIn(samples.data(), samples.size());
    Render(mixer, AudioMixer::kPeriodFrames);
    buffer->Play(false);
    auto period = Render(mixer, AudioMixer::kPeriodFrames);
    EXPECT_NEAR(period[2], 0.5, 0.01);  // the second frame is already at full level
    buffer->Stop();
    EXPECT_EQ(measure::Peak(Render(mixer, AudioMixer::kPeriodFrames), 0), 0.0);
}

TEST(Mixer, StopKeepsThePositionAndPlayResumesFromIt) {
    AudioMixer mixer;
    auto buffer = SineBuffer(mixer, 500, 22050);
    buffer->Play(false);
    Render(mixer, 4800);  // 0.1 s: 2205 source frames
    buffer->Stop();
    uint32_t stoppedAt = buffer->GetCurrentPosition();
    EXPECT_NEAR(stoppedAt, 2 * 2205, 4);
    EXPECT_EQ(measure::Peak(Render(mixer, 1024), 0), 0.0);
    EXPECT_EQ(buffer->GetCurrentPosition(), stoppedAt);

    EXPECT_TRUE(buffer->SetCurrentPosition(0));
    EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
    EXPECT_FALSE(buffer->SetCurrentPosition(buffer->Bytes() + 2));
}

TEST(Mixer, EightBitAndSixteenBitClipsSoundAlike) {
    AudioMixer mixer;
    wav::Bytes eight;
    for (int i = 0; i < 11025; ++i) {
        eight.push_back(
            static_cast<uint8_t>(128 + std::lround(63 * std::sin(2 * M_PI * 441 * i / 11025.0))));
    }
    auto buffer8 = mixer.CreateBuffer(PanBuffer(eight.size(), 11025, 8));
    ASSERT_TRUE(buffer8);
    buffer8->CopyIn(eight.data(), eight.size());
    buffer8->Play(true);
    auto out = Render(mixer, 24000);
    EXPECT_NEAR(measure::ToneFrequency(out, 0, kRate), 441, 1);
    EXPECT_NEAR(measure::Rms(out, 0), (63.0 / 128) / std::sqrt(2.0), 0.01);
}

TEST(Mixer, RefusesFormatsItCannotPlay) {
    AudioMixer mixer;
    auto refused = [&](auto change) {
        BufferDescription d = PanBuffer(100);
        change(d);
        return mixer.CreateBuffer(d) == nullptr;
    };
    EXPECT_TRUE(refused(
        [](BufferDescription& d) { d.format.bitsPerSample = 24, d.format.blockAlign = 3; }));
    EXPECT_TRUE(refused([](BufferDescription& d) { d.format.channels = 0; }));
    EXPECT_TRUE(refused([](BufferDescription& d) { d.format.samplesPerSec = 0; }));
    EXPECT_TRUE(refused([](BufferDescription& d) { d.format.blockAlign = 4; }));
    EXPECT_TRUE(refused([](BufferDescription& d) { d.bufferBytes = 0; }));
    EXPECT_FALSE(refused([](BufferDescription&) {}));
}

TEST(Mixer, ThreeDimensionalBufferIsHeardCentredAtItsVolume) {
    AudioMixer mixer;
    BufferDescription d = PanBuffer(44100);
    d.flags = platform::kCapsCtrl3D | platform::kCapsCtrlFrequency | platform::kCapsCtrlVolume |
              platform::kCapsCtrlFx;
    auto buffer = mixer.CreateBuffer(d);
    wav::Bytes samples = wav::Sine16(1000, 22050, 22050);
    buffer->CopyIn(samples.data(), samples.size());
    EXPECT_FALSE(buffer->SetPan(platform::kPanLeft));  // no pan control
    EXPECT_TRUE(buffer->SetMinDistance(1.0f));
    EXPECT_TRUE(buffer->SetMaxDistance(3.0f));
    EXPECT_EQ(buffer->MaxDistance(), 3.0f);
    buffer->SetVolume(-600);
    buffer->Play(true);
    auto out = Render(mixer, 4800);
    EXPECT_NEAR(measure::Rms(out, 0), measure::Rms(out, 1), 1e-6);
    EXPECT_NEAR(measure::Rms(out, 0), 0.501 * 0.5 / std::sqrt(2.0), 0.005);
}

TEST(Mixer, ControlsFromAnotherThreadWhileRendering) {
    // The game thread changes buffers while the audio thread renders; with
    // the sanitizers this finds races and use after free.
    AudioMixer mixer;
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> out(2 * AudioMixer::kPeriodFrames);
        while (!done) {
            mixer.Render(out.data(), AudioMixer::kPeriodFrames);
        }
    });
    for (int round = 0; round < 200; ++round) {
        auto buffer = SineBuffer(mixer, 300, 500);
        buffer->SetPan(round % 2 ? 10000 : -10000);
        buffer->Play(round % 2 == 0);
        buffer->SetFrequency(12000 + round);
    }
    done = true;
    audio.join();
    EXPECT_EQ(mixer.PlayingCount(), 0);
}

}  // namespace
