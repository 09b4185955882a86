#include "sound/CSoundVolume.h"

#include <cctype>

CSoundVolume theSoundVolume;

namespace {
std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}
}  // namespace

int32_t CSoundVolume::FindVolumeByName(const std::string& name) {
    const std::string wanted = UpperCase(name);
    for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
        names[i] = UpperCase(names[i]);
        if (names[i] == wanted) {
            // Listed volumes are stored as positive attenuations.
            int64_t value = values[i];
            return value >= 1 ? static_cast<int32_t>(-value) : static_cast<int32_t>(value);
        }
    }
    return -1;
}

int32_t CSoundVolume::Remembered(int id) const {
    return id >= 0 && id < kSlots ? volumes[id] : 0;
}

void CSoundVolume::Remember(int id, int32_t volume) {
    if (id >= 0 && id < kSlots) {
        volumes[id] = volume;
    }
}
