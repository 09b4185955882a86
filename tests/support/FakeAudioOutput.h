#pragma once
// An audio output without hardware: a mixer only the test drives (Render), and
// a journal of every control call that succeeded on its buffers.
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/audio/AudioMixer.h"
#include "platform/audio/AudioOutput.h"

struct SoundEvent {
    enum class Kind { Play, Stop, Position, Frequency, Volume, Pan };
    Kind kind;
    std::string name;   // the buffer's name: the clip's file path
    int64_t value = 0;  // Play: 1 when looping; the others: the value in force
};

class FakeAudioOutput : public platform::AudioOutput {
  public:
    bool Open() override { return available; }
    std::unique_ptr<platform::SoundBuffer> CreateSoundBuffer(
        const platform::BufferDescription& description) override {
        auto inner = available ? mixer.CreateBuffer(description) : nullptr;
        return inner ? std::make_unique<Recording>(*this, std::move(inner), description.name)
                     : nullptr;
    }
    void Render(float* out, int frames) { mixer.Render(out, frames); }
    std::vector<SoundEvent> TakeJournal() { return std::exchange(journal, {}); }
    int PlayingCount() const {
        return std::count_if(live.begin(), live.end(), [](auto* b) { return b->GetStatus(); });
    }
    // The newest buffer alive under this name, or null.
    platform::SoundBuffer* Find(const std::string& name) const {
        auto it =
            std::find_if(live.rbegin(), live.rend(), [&](auto* b) { return b->name == name; });
        return it == live.rend() ? nullptr : *it;
    }

    bool available = true;  // false: there is no output, the game runs silent

  private:
    using Kind = SoundEvent::Kind;
    struct Recording : platform::SoundBuffer {
        Recording(FakeAudioOutput& out, std::unique_ptr<SoundBuffer> inner, std::string name)
            : out(out), inner(std::move(inner)), name(std::move(name)) {
            out.live.push_back(this);
        }
        ~Recording() override { std::erase(out.live, this); }
        bool Note(bool done, Kind kind, int64_t value) {
            if (done) {
                out.journal.push_back({kind, name, value});
            }
            return done;
        }
        bool CopyIn(const void* data, size_t bytes) override { return inner->CopyIn(data, bytes); }
        uint32_t Bytes() const override { return inner->Bytes(); }
        const platform::WaveFormat& Format() const override { return inner->Format(); }
        bool Play(bool loop) override { return Note(inner->Play(loop), Kind::Play, loop); }
        bool Stop() override { return Note(inner->Stop(), Kind::Stop, 0); }
        bool SetCurrentPosition(uint32_t at) override {
            return Note(inner->SetCurrentPosition(at), Kind::Position, at);
        }
        uint32_t GetCurrentPosition() const override { return inner->GetCurrentPosition(); }
        uint32_t GetStatus() const override { return inner->GetStatus(); }
        bool SetFrequency(uint32_t hz) override {
            return Note(inner->SetFrequency(hz), Kind::Frequency, hz);
        }
        uint32_t GetFrequency() const override { return inner->GetFrequency(); }
        // Volume and pan are recorded as clamped.
        bool SetVolume(int32_t v) override {
            return inner->SetVolume(v) && Note(1, Kind::Volume, GetVolume());
        }
        int32_t GetVolume() const override { return inner->GetVolume(); }
        bool SetPan(int32_t pan) override {
            return inner->SetPan(pan) && Note(1, Kind::Pan, GetPan());
        }
        int32_t GetPan() const override { return inner->GetPan(); }

        FakeAudioOutput& out;
        std::unique_ptr<SoundBuffer> inner;
        std::string name;
    };

    platform::AudioMixer mixer;
    std::vector<SoundEvent> journal;
    std::vector<Recording*> live;
};
