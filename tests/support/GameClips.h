#pragma once
// Every clip the game scene registers, written as one and the same clip into
// a game directory, so a test or a benchmark can play a whole duel.
#include <filesystem>
#include <string>

#include "WavBuilder.h"

namespace wav {

// The named clips in the order the game registers them (ids 0..21), before
// the 19 tutorial texts and the 100 numbers.
inline const char* const kNamedSounds[] = {
    "asiato",  "huri",    "kin",     "sasu1",   "sasu2",   "chance",  "win",  "GameOver",
    "yourwin", "youlose", "winner",  "iza",     "mairu",   "kakugo",  "uwaa", "yarareta",
    "munen",   "damage1", "damage2", "damage3", "damage4", "damage5",
};

// The asset path the game registers sound `id` under, below its base directory.
inline std::string GameClipAsset(int id) {
    if (id < 22) {
        return std::string("\\sound\\") + kNamedSounds[id] + ".snz";
    }
    if (id < 41) {
        return "\\sound\\text\\" + std::to_string(id - 21) + ".snz";
    }
    return "\\sound\\no\\" + std::to_string(id - 40) + ".snz";
}

inline void WriteGameClips(const std::filesystem::path& dir, const Bytes& clip) {
    std::filesystem::create_directories(dir / "sound" / "text");
    std::filesystem::create_directories(dir / "sound" / "no");
    for (const char* name : kNamedSounds) {
        Write((dir / "sound" / (std::string(name) + ".snz")).string(), clip);
    }
    for (int i = 1; i <= 19; i++) {
        Write((dir / "sound" / "text" / (std::to_string(i) + ".snz")).string(), clip);
    }
    for (int i = 1; i <= 100; i++) {
        Write((dir / "sound" / "no" / (std::to_string(i) + ".snz")).string(), clip);
    }
}

}  // namespace wav
