#pragma once
// The process's memory of sound volumes: the last volume set for each sound
// id, which every later play of that id applies again, in any scene.
#include <cstdint>

class CSoundVolume {
  public:
    static constexpr int kSlots = 200;  // one remembered volume for every sound id

    // Remembered volume of an id; 0 (nothing remembered) for an id outside
    // 0..199, whose volume is never stored.
    int32_t Remembered(int id) const;
    void Remember(int id, int32_t volume);

    int32_t volumes[kSlots] = {};
};

// The one object of the process, alive until it ends.
extern CSoundVolume theSoundVolume;
