// The audio callback must never allocate: an allocation can block on a lock
// inside the allocator and make the output stutter. Every operator new of this
// process is counted while the mixer renders.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "WavBuilder.h"
#include "platform/audio/AudioMixer.h"

static std::atomic<bool> countAllocations{false};
static std::atomic<int> allocations{0};

void* operator new(std::size_t size) {
    if (countAllocations) {
        ++allocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using platform::AudioMixer;

TEST(MixerAllocation, RenderingAllocatesNothing) {
    AudioMixer mixer;
    std::vector<std::unique_ptr<platform::SoundBuffer>> buffers;
    for (int i = 0; i < 32; ++i) {
        wav::Bytes samples = wav::Sine16(200 + 50 * i, 22050, 2000);
        platform::BufferDescription d;
        d.flags = platform::kCapsCtrlFrequency | platform::kCapsCtrlPan | platform::kCapsCtrlVolume;
        d.bufferBytes = samples.size();
        d.format = {1, 1, 22050, 44100, 2, 16, 0};
        buffers.push_back(mixer.CreateBuffer(d));
        buffers.back()->CopyIn(samples.data(), samples.size());
        buffers.back()->SetFrequency(i % 2 ? 24200 : 13200);
        buffers.back()->SetPan(i % 2 ? -10000 : 10000);
        buffers.back()->Play(i % 3 == 0);
    }
    std::vector<float> out(2 * AudioMixer::kPeriodFrames);
    allocations = 0;
    countAllocations = true;
    for (int period = 0; period < 100; ++period) {  // through clip ends and loop wraps
        mixer.Render(out.data(), AudioMixer::kPeriodFrames);
    }
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(mixer.PlayingCount(), 0);  // the looping ones still play
}

}  // namespace
