#pragma once
// Every sound clip and picture the game loads, named once: the menu and the
// duel register these names, the asset generator makes exactly these files,
// and the tests load them. A name is the asset's path below the game
// directory as the game writes it: backslashes, the file's own letter case,
// ".snz" for a clip and ".imz" for a picture (the game finds files
// case-insensitively, the generator writes them in this case).
#include <string>
#include <vector>

namespace manifest {

// The title menu's clips; the menu registers MenuClips()[id] under sound id
// `id`. Item i (0..6) speaks sound i + 1.
constexpr int kMenuItems = 7;
constexpr int kMenuTitle = 0;
constexpr int kMenuMusic = kMenuItems + 1;  // loops under the menu
const std::vector<std::string>& MenuClips();

constexpr int kBattleCries = 3;
constexpr int kFalls = 3;
constexpr int kDamages = 5;         // one per hit the player may take
constexpr int kTutorialPages = 19;  // page p speaks text clip p + 1
constexpr int kNumbers = 100;       // the enemies' numbers 1..100

// The duel's clips; the duel registers GameClips()[id] under sound id `id`.
// The order fixes the ids, and the ids are heard: the volume last given to an
// id stays with it for the whole process, from scene to scene.
enum GameClip : int {
    kFootsteps,  // asiato
    kSwing,      // huri: announces each attack
    kClang,      // kin
    kStrike,     // sasu1: the player's killing stroke
    kStab,       // sasu2: the enemy's stroke
    kChance,
    kWin,
    kGameOver,
    kYourWin,
    kYouLose,
    kWinner,
    kFirstBattleCry,                              // iza, mairu, kakugo
    kFirstFall = kFirstBattleCry + kBattleCries,  // uwaa, yarareta, munen
    kFirstDamage = kFirstFall + kFalls,           // damage1..damage5
    kFirstText = kFirstDamage + kDamages,         // text\1..text\19
    kFirstNumber = kFirstText + kTutorialPages,   // no\1..no\100
    kGameClips = kFirstNumber + kNumbers,
};
const std::vector<std::string>& GameClips();

// The pictures: enemy picture k + 1 shows for attack direction k, and the
// arm is drawn over the enemy with black transparent.
constexpr int kEnemyPictures = 7;
constexpr int kArmPicture = kEnemyPictures;
const std::vector<std::string>& Pictures();

// The file below the game directory: "\sound\no\7.snz" -> "sound/no/7.snz".
std::string RelativeFile(const std::string& name);

}  // namespace manifest
