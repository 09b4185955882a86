#pragma once
// The process-wide memory of sound volumes: the last volume set for each sound
// id, and a (file name, volume) list that nothing fills today.
#include <cstdint>
#include <string>
#include <vector>

class CSoundVolume {
  public:
    static constexpr int kSlots = 200;  // one remembered volume for every sound id

    virtual ~CSoundVolume() = default;

    // The volume listed for a file name (compared ignoring case), or -1.
    int32_t FindVolumeByName(const std::string& name);

    // Remembered volume of an id; 0 (nothing remembered) for an id outside
    // 0..199, whose volume is never stored.
    int32_t Remembered(int id) const;
    void Remember(int id, int32_t volume);

    std::vector<std::string> names;
    std::vector<uint32_t> values;
    int32_t volumes[kSlots] = {};
};

// The one object of the process, alive until it ends.
extern CSoundVolume theSoundVolume;
