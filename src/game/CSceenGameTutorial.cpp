// The tutorial: 19 spoken pages of up to three lines. Before five of them a
// demonstration sound plays (four attack swings and the chance), and on the
// pages after each swing the player may try the answer, on page 12 the strike.
#include <optional>
#include <string>

#include "game/CSceenGame.h"

namespace {

using Direction = CSceenGame::Direction;

constexpr std::nullopt_t kNoDemonstration = std::nullopt;
constexpr uint32_t kDemonstrationMs = 1000;
constexpr uint32_t kPageMs = 5000;
constexpr int kChancePage = 12;

struct TutorialPage {
    std::optional<Direction> demonstration;  // the sword position shown first
    const char* lines[3];
    bool keysJudged;
};

// clang-format off
const TutorialPage kPages[CSceenGame::kTutorialPages] = {
    {kNoDemonstration, {"You are a brave samurai.", " You defeat an enemy.", ""}, false},
    {kNoDemonstration, {"You fight against an", " enemy with one to one.", ""}, false},
    {kNoDemonstration, {"It takes the enemy", " with a sword.", ""}, false},
    {kNoDemonstration, {"You find a chance and ", " attack it while catching", "  the sword of the enemy "}, false},
    {Direction::UpperLeft, {"If the left speaker makes", "  a high sound;", "  the sword in the left."}, false},
    {kNoDemonstration, {"You please push 7 or A.", "", ""}, true},
    {Direction::LowerLeft, {"If the left speaker makes", "  a low sound;", "  the sword is the lower left."}, false},
    {kNoDemonstration, {"You please push 1 or Z.", "", ""}, true},
    {Direction::UpperRight, {"If a right speaker makes", "  a high sound;", "  the sword is top right corner."}, false},
    {kNoDemonstration, {"You please push 9 or K.", "", ""}, true},
    {Direction::LowerRight, {"If a right speaker makes", "  a low sound;", " the sword is the lower right."}, false},
    {kNoDemonstration, {"You please push 3 or M.", "", ""}, true},
    {Direction::NoAttack, {"You please push 5 or space key", " if you hear the sound of", " the chance."}, true},
    {kNoDemonstration, {"The next enemy appears", " if you can defeat it.", ""}, false},
    {kNoDemonstration, {"It is a defeat five times", "  when I make a mistake.", ""}, false},
    {kNoDemonstration, {"It is a victory", "  if you defeat 5 enemies", "  with the easy mode."}, false},
    {kNoDemonstration, {"It is a victory", "  if you defeat 10 enemies", " with the normal mode."}, false},
    {kNoDemonstration, {"It is a victory", "  if you defeat 50 enemies", "  with the hard mode."}, false},
    {kNoDemonstration, {"I end a tutorial in this.", "", ""}, false},
};
// clang-format on

}  // namespace

// One step of the script, once the current wait is over.
void CSceenGame::TutorialStep() {
    tutorialKeyEnabled = 0;
    if (tutorialPage >= kTutorialPages) {
        resultCode = GameResult::BackToMenu;
        return;
    }
    const TutorialPage& page = kPages[tutorialPage];
    const bool demonstrates = page.demonstration.has_value();

    if (demonstrates && tutorialSubStep == 0) {
        // The demonstration sound first; its page follows a second later.
        direction = *page.demonstration;
        PlayAtDirection(tutorialPage == kChancePage ? chanceSound : swingSound);
        deadline = Now() + kDemonstrationMs;
        tutorialSubStep = 1;
        if (tutorialPage == 4) {
            // The very first swing may be answered at once.
            tutorialKeyEnabled = 1;
        }
        return;
    }

    if (demonstrates) {
        tutorialSubStep = 0;
        if (tutorialPage == kChancePage) {
            direction = Direction::NoAttack;
            chanceCounter = -1;
        }
    }
    SetLines(page.lines[0], page.lines[1], page.lines[2]);
    if (page.keysJudged) {
        tutorialKeyEnabled = 1;
    }
    sound.Play(textSounds[tutorialPage], 0);
    tutorialPage += 1;
    deadline = Now() + kPageMs;
}

// A key while the tutorial judges keys: nothing is counted.
void CSceenGame::TutorialKey(int vk) {
    if (IsAnswerKey(direction, vk)) {
        PlayParry();
    } else if (IsDirectionKey(vk)) {
        sound.Play(stabSound, 0);
        SetLines("DAMAGE!" + std::to_string(mistakes), "", "");
    }
    if (IsStrikeKey(vk) && chanceCounter < 0) {
        sound.Play(strikeSound, 0);
        direction = Direction::Strike;
    }
}
