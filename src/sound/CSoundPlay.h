#pragma once
// A scene's sound player: clips registered under small ids (0..199), loaded
// from disk on their first play, played once or looping, placed left, centre
// or right at a high, low or natural pitch.
//
// The menu's player is centred (every clip heard in both ears at its own
// rate); the game's is panned (clips placed by pan and playback rate). The
// remembered base frequency and the remembered volumes belong to the process
// and outlive every player.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/audio/SoundBuffer.h"

enum class SoundMode { Centred = 0, Panned = 1 };

class CSoundPlay {
  public:
    static constexpr int kSlots = 200;

    explicit CSoundPlay(platform::Services& services);
    ~CSoundPlay();  // stops and releases every clip
    CSoundPlay(const CSoundPlay&) = delete;
    CSoundPlay& operator=(const CSoundPlay&) = delete;

    // 1 = the audio output is open, 0 = there is none: the player stays silent.
    int InitDevice();
    void AddSound(const std::string& path, uint32_t id);
    // 1 = started, 0 = no output or the clip failed to load. Always from the
    // beginning; loop 1 loops.
    int Play(int id, int loop);
    // Plays once: x < 0 full left, x > 0 full right, 0 centre; y > 0 high
    // (24200 Hz), y < 0 low (13200 Hz), 0 the clip's own rate.
    void PlayAt(int id, float x, float y);
    void SetFrequency(int id, uint32_t hz);
    void SetVolume(int id, int32_t volume);
    void Stop(int id);

    // Reads the registered file of `id` into its slot. 0 = success (also when
    // the id was never registered or there is no output), else failure.
    int LoadSound(int id);

    SoundMode mode = SoundMode::Centred;  // set before InitDevice

  private:
    bool ValidId(int id) const { return id >= 0 && id < kSlots; }

    platform::Services& services;
    bool outputOpen = false;
    std::vector<std::string> paths;
    std::vector<uint32_t> ids;
    std::unique_ptr<platform::SoundBuffer> slots[kSlots];
};
