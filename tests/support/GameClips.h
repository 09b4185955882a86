#pragma once
// Every clip the game scene registers, written as one and the same clip into
// a game directory, so a test or a benchmark can play a whole duel.
#include <filesystem>
#include <string>

#include "WavBuilder.h"
#include "manifest/AssetManifest.h"

namespace wav {

inline void WriteGameClips(const std::filesystem::path& dir, const Bytes& clip) {
    for (const std::string& name : manifest::GameClips()) {
        std::filesystem::path file = dir / manifest::RelativeFile(name);
        std::filesystem::create_directories(file.parent_path());
        Write(file.string(), clip);
    }
}

}  // namespace wav
