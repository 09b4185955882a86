#pragma once
// A scene's sound player: clips registered under small ids (0..199), loaded
// from disk on their first play, played once or looping, placed left, centre
// or right at a high, low or natural pitch.
//
// A player works in 3D mode (mode 0, the menu: every clip heard centred) or in
// pan mode (mode 1, the game: position by pan and playback rate). The output
// devices, the 3D listener, the remembered base frequency and the remembered
// volumes belong to the process and outlive every player.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/SoundBuffer.h"
#include "platform/ui/Window.h"

class CSoundPlay {
  public:
    static constexpr int kSlots = 200;

    CSoundPlay();
    // Plays through the services' audio output; message boxes go through
    // the services too.
    explicit CSoundPlay(platform::Services& services);
    virtual ~CSoundPlay();
    CSoundPlay(const CSoundPlay&) = delete;
    CSoundPlay& operator=(const CSoundPlay&) = delete;

    // 1 = the device of this player's mode is ready (or, with no window,
    // nothing to do), 0 = no device could be opened.
    int InitDevice(platform::Window* window);
    // Opens the services' output: 1 = open, 0 = none (the player stays silent).
    int InitDevice();
    void AddSound(const std::string& path, uint32_t id);
    // 1 = started, 0 = no device or the clip failed to load. Always from the
    // beginning; loop 1 loops.
    int Play(int id, int loop);
    // Plays once: x < 0 full left, x > 0 full right, 0 centre; y > 0 high
    // (24200 Hz), y < 0 low (13200 Hz), 0 the clip's own rate.
    void PlayAt(int id, float x, float y);
    void SetFrequency(int id, uint32_t hz);
    void SetVolume(int id, int32_t volume);
    void Stop(int id);

    // Reads the registered file of `id` into its slot. 0 = success (also when
    // the id was never registered), else failure.
    int LoadSound(int id);
    // True when a file exists for the asset path (case-insensitive below the
    // base directory).
    static bool SoundFileExists(const std::string& path);

    // Tests: the buffer in a slot, or null.
    platform::SoundBuffer* Buffer(int id) const;

    int mode = 0;  // 0 = 3D mode, 1 = pan mode; set before InitDevice

  private:
    struct Slot {
        std::unique_ptr<platform::SoundBuffer> buffer;
        bool has3D = false;  // the buffer's 3D control was obtained
    };

    bool ValidId(int id) const { return id >= 0 && id < kSlots; }
    platform::AudioDevice* Device() const;
    bool HasOutput() const;
    std::unique_ptr<platform::SoundBuffer> NewBuffer(
        const platform::BufferDescription& description);

    platform::Services* services = nullptr;
    bool outputOpen = false;

    std::vector<std::string> paths;
    std::vector<uint32_t> ids;
    Slot slots[kSlots];
};
