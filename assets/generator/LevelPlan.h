#pragma once
// The pack's level plan: every clip belongs to one group, and every group has
// one integrated loudness (Loudness.h), so that a player sets the volume once.
// docs/AUDIO_LEVELS.md gives the reasons for each level; the generator scales
// each clip to its group's level and its checks hold every clip to it.
#include <string>

namespace assets {

enum class LevelGroup { Voice, Cry, Swing, Clang, Stroke, Chime, Footsteps, Music };

struct GroupLevel {
    const char* name;  // for the messages
    double lufs;       // the group's integrated loudness
};

// Every clip of a group lies within this many LU of the group's level.
constexpr double kLevelTolerance = 1.0;
// No clip's highest sample passes this; the mixer's own ceiling is the same.
constexpr double kClipPeakCeilingDb = -1.0;
// Between groups: the music this far under every voice, and the swing at
// least this far over the music but no further than this over any voice.
constexpr double kMusicUnderVoices = 10.0;
constexpr double kSwingOverMusic = 10.0;
constexpr double kSwingOverVoices = 3.0;

GroupLevel LevelOf(LevelGroup group);

// The group of a clip named as below the game directory ("sound/huri.snz");
// false for a file the game does not load.
bool GroupOfFile(const std::string& file, LevelGroup& group);

}  // namespace assets
