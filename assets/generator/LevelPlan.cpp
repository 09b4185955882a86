#include "LevelPlan.h"

#include <map>

#include "Checks.h"
#include "manifest/AssetManifest.h"

namespace assets {

GroupLevel LevelOf(LevelGroup group) {
    switch (group) {
        case LevelGroup::Voice:
            return {"voices", -20.0};
        case LevelGroup::Cry:
            return {"cries", -19.0};
        case LevelGroup::Swing:
            return {"swing", -18.0};
        case LevelGroup::Clang:
            return {"clang", -21.0};
        case LevelGroup::Stroke:
            return {"strokes", -20.0};
        case LevelGroup::Chime:
            return {"chime", -20.0};
        case LevelGroup::Footsteps:
            return {"footsteps", -26.0};
        case LevelGroup::Music:
            return {"music", -32.0};
    }
    return {"?", 0.0};
}

namespace {

LevelGroup GroupOfGameClip(int clip) {
    using namespace manifest;
    if (clip >= kFirstBattleCry && clip < kFirstDamage) {
        return LevelGroup::Cry;  // the battle cries and the death cries
    }
    switch (clip) {
        case kFootsteps:
            return LevelGroup::Footsteps;
        case kSwing:
            return LevelGroup::Swing;
        case kClang:
            return LevelGroup::Clang;
        case kStrike:
        case kStab:
            return LevelGroup::Stroke;
        case kChance:
            return LevelGroup::Chime;
        default:  // the narrator: results, hits taken, the tutorial, the numbers
            return LevelGroup::Voice;
    }
}

}  // namespace

bool GroupOfFile(const std::string& file, LevelGroup& group) {
    static const std::map<std::string, LevelGroup> groups = [] {
        std::map<std::string, LevelGroup> all;
        for (int id = 0; id <= manifest::kMenuMusic; ++id) {
            all[MenuFile(id)] = id == manifest::kMenuMusic ? LevelGroup::Music : LevelGroup::Voice;
        }
        for (int clip = 0; clip < manifest::kGameClips; ++clip) {
            all[GameFile(clip)] = GroupOfGameClip(clip);
        }
        return all;
    }();
    auto found = groups.find(file);
    if (found == groups.end()) {
        return false;
    }
    group = found->second;
    return true;
}

}  // namespace assets
