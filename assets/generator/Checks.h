#pragma once
// What every clip of the pack must be, checked on the samples the generator
// writes: a clip that breaks a limit fails the build, naming the file and
// the limit. Files are named as below the game directory ("sound/huri.snz").
#include <map>
#include <string>
#include <vector>

#include "Clip.h"
#include "manifest/AssetManifest.h"

namespace assets {

// The file of menu clip `id` and of game clip `clip` below the game directory.
inline std::string MenuFile(int id) {
    return manifest::RelativeFile(manifest::MenuClips()[id]);
}
inline std::string GameFile(int clip) {
    return manifest::RelativeFile(manifest::GameClips()[clip]);
}

// Length, level and a prompt start of one clip of the game's. Empty when the
// clip is good, else what is wrong with it; empty too for a file the game
// does not load (the pack's completeness check reports those).
std::string CheckClip(const std::string& file, const Samples& clip);

// What only shows beside other clips: the music stays under the menu's
// voices, the clang and the two strokes sound apart, the enemy speaks below
// the narrator. `clips` holds the pack's clips by file.
std::vector<std::string> CheckClipsTogether(const std::map<std::string, Samples>& clips);

}  // namespace assets
