#pragma once
// An audio output without hardware: its buffers play into a mixer that only
// the test drives (Render), and every control call on them is recorded, so a
// test hears what the game played and sees each pan, pitch and volume set.
#include <memory>
#include <vector>

#include "platform/audio/AudioMixer.h"
#include "platform/audio/AudioOutput.h"

class FakeAudioOutput : public platform::AudioOutput {
  public:
    FakeAudioOutput() { mixer.SetJournalEnabled(true); }
    bool Open() override { return available; }
    std::unique_ptr<platform::SoundBuffer> CreateSoundBuffer(
        const platform::BufferDescription& description) override {
        return available ? mixer.CreateBuffer(description) : nullptr;
    }
    // Mixes `frames` stereo frames of everything playing into `out`.
    void Render(float* out, int frames) { mixer.Render(out, frames); }
    // Every control call since the last take, oldest first.
    std::vector<platform::SoundEvent> TakeJournal() { return mixer.TakeJournal(); }
    int PlayingCount() { return mixer.PlayingCount(); }

    bool available = true;  // false: there is no output, the game runs silent

  private:
    platform::AudioMixer mixer;
};
