#include "sound/CSoundVolume.h"

CSoundVolume theSoundVolume;

int32_t CSoundVolume::Remembered(int id) const {
    return id >= 0 && id < kSlots ? volumes[id] : 0;
}

void CSoundVolume::Remember(int id, int32_t volume) {
    if (id >= 0 && id < kSlots) {
        volumes[id] = volume;
    }
}
