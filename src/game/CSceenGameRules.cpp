// The duel rules: phases and waits on the 100 ms tick, the random draws, and
// the judging of released keys.
#include <algorithm>
#include <string>

#include "game/CSceenGame.h"
#include "platform/sys/Clock.h"
#include "platform/ui/VirtualKeys.h"

namespace {

using Direction = CSceenGame::Direction;
using Phase = CSceenGame::Phase;

// Waits, in milliseconds.
constexpr uint32_t kFirstApproachMs = 2000;
constexpr uint32_t kLaterApproachMs = 1500;
constexpr uint32_t kBattleCryMs = 1000;
constexpr uint32_t kPauseAfterCryMs = 1000;
constexpr uint32_t kPauseAfterWrongKeyMs = 1000;
constexpr uint32_t kPauseAfterWindowMs = 500;
constexpr uint32_t kDefeatedMs = 1000;
constexpr uint32_t kEndOfGameMs = 3000;
constexpr uint32_t kTutorialStartMs = 1000;

// The answer keys of each sword position: a digit, a letter and a keypad key,
// laid out like the positions on the keypad.
struct AnswerKeys {
    int digit, letter, keypad;
};
const AnswerKeys kAnswerKeys[5] = {
    {-1, -1, -1},                                         // no attack
    {platform::VK_0 + 7, 'A', platform::VK_NUMPAD0 + 7},  // upper left
    {platform::VK_0 + 9, 'K', platform::VK_NUMPAD0 + 9},  // upper right
    {platform::VK_0 + 1, 'Z', platform::VK_NUMPAD0 + 1},  // lower left
    {platform::VK_0 + 3, 'M', platform::VK_NUMPAD0 + 3},  // lower right
};

// Horizontal and vertical placement of a sound for a sword position.
float DirectionX(Direction direction) {
    if (direction == Direction::UpperLeft || direction == Direction::LowerLeft) {
        return -1.0f;
    }
    if (direction == Direction::UpperRight || direction == Direction::LowerRight) {
        return 1.0f;
    }
    return 0.0f;
}

float DirectionY(Direction direction) {
    if (direction == Direction::UpperLeft || direction == Direction::UpperRight) {
        return 1.0f;
    }
    if (direction == Direction::LowerLeft || direction == Direction::LowerRight) {
        return -1.0f;
    }
    return 0.0f;
}

}  // namespace

bool CSceenGame::IsAnswerKey(Direction dir, int vk) {
    if (dir < Direction::UpperLeft || dir > Direction::LowerRight) {
        return false;
    }
    const AnswerKeys& keys = kAnswerKeys[static_cast<int>(dir)];
    return vk == keys.digit || vk == keys.letter || vk == keys.keypad;
}

bool CSceenGame::IsDirectionKey(int vk) {
    for (Direction dir : {Direction::UpperLeft, Direction::UpperRight, Direction::LowerLeft,
                          Direction::LowerRight}) {
        if (IsAnswerKey(dir, vk)) {
            return true;
        }
    }
    return false;
}

bool CSceenGame::IsStrikeKey(int vk) {
    return vk == platform::VK_SPACE || vk == platform::VK_0 + 5 || vk == platform::VK_NUMPAD0 + 5;
}

// The windows shrink by 100 ms every five enemies from the 6th on, down to
// 400 ms from the 46th.
int CSceenGame::ResponseWindow(int number) {
    if (number <= 5) {
        return 1500;
    }
    return std::max(400, 1200 - 100 * ((number - 6) / 5));
}

void CSceenGame::StartGame() {
    direction = Direction::NoAttack;
    SetLines("", "", "");
    if (level == 1) {
        phase = Phase::Tutorial;
        chanceCounter = 5;
        deadline = Now() + kTutorialStartMs;
        return;
    }
    approachLevel = 0.0f;
    phase = Phase::Approach;
    PlayAtDirection(footstepsSound);  // centred, at the clip's own rate
    deadline = Now() + kFirstApproachMs;
    enemyNumber = 1;
    mistakes = 0;
    RequestRepaint();
    // chanceCounter stays 0: the first enemy opens the chance after one parry.
}

void CSceenGame::PlayAtDirection(int id) {
    StopFootsteps();
    sound.PlayAt(id, DirectionX(direction), DirectionY(direction));
}

// The clang comes from the side of the attack; the footsteps go on.
void CSceenGame::PlayParry() {
    sound.PlayAt(clangSound, DirectionX(direction), 0.0f);
}

void CSceenGame::NewAttack() {
    showArm = false;
    platform::Random& random = host.Services().random;
    int drawn = 1 + 4 * random.Rand() / 32768;
    if (enemyNumber < 6) {
        // The first five enemies attack only high.
        drawn = 1 + 2 * random.Rand() / 32768;
    }
    direction = static_cast<Direction>(drawn);
    phase = Phase::Attack;
    PlayAtDirection(swingSound);
    deadline = Now() + static_cast<uint32_t>(ResponseWindow(enemyNumber));
    parried = false;
}

void CSceenGame::NextEnemy() {
    showArm = false;
    direction = Direction::NoAttack;
    // 1..4, and 5 on the rare draw of 32767.
    chanceCounter = 1 + 4 * host.Services().random.Rand() / 32767;
    approachLevel = 0.0f;
    phase = Phase::Approach;
    SetLines("", "", "");
    sound.PlayAt(footstepsSound, 0.0f, 1.0f);  // later enemies come at the high rate
    int number = enemyNumber + 1;
    if (number >= 1 && number <= kNumberSounds && numberSounds[number - 1] > 0) {
        sound.Play(numberSounds[number - 1], 0);
    }
    deadline = Now() + kLaterApproachMs;
    enemyNumber += 1;
    parried = false;
}

void CSceenGame::TakeDamage() {
    mistakes += 1;
    sound.Play(stabSound, 0);
    SetLines("DAMAGE!" + std::to_string(mistakes), "", "");
    if (mistakes >= 1 && mistakes <= 5) {
        sound.Play(damageSounds[mistakes - 1], 0);
    }
}

void CSceenGame::Tick() {
    if (phase == Phase::Approach) {
        approachLevel += 0.01f;
        if (approachLevel > 1.0f) {
            approachLevel = 1.0f;
        }
        // -900, -800 ... 0 over the first ten ticks, then full volume.
        float volume = 10000 * approachLevel - 1000;
        SetFootstepsVolume(volume > 0.0f ? 0.0f : volume);
        SetLines(std::to_string(enemyNumber), "", "");
        RequestRepaint();
    }

    if (!platform::DeadlineReached(Now(), deadline)) {
        return;
    }

    RequestRepaint();
    if (phase == Phase::Lost || phase == Phase::Won) {
        endKeyEnabled = true;
    }

    switch (phase) {
        case Phase::Approach:
            SetFootstepsVolume(0.0f);
            phase = Phase::BattleCry;
            StopFootsteps();
            PlayOneOfThree(battleCrySounds);
            deadline = Now() + kBattleCryMs;
            break;
        case Phase::BattleCry:
            phase = Phase::NextAttack;
            deadline = Now() + kPauseAfterCryMs;
            break;
        case Phase::NextAttack:
            NewAttack();
            break;
        case Phase::Attack:
            EndAttackWindow();
            break;
        case Phase::Defeated:
            NextEnemy();
            break;
        case Phase::Tutorial:
            TutorialStep();
            break;
        default:  // Idle, Lost, Won: nothing moves any more
            break;
    }
}

// The response window has run out. Up to three hits an unanswered attack costs
// one more; from four hits on, the end of any window loses the game.
void CSceenGame::EndAttackWindow() {
    if (mistakes <= 3) {
        if (!parried) {
            TakeDamage();
        }
        phase = Phase::NextAttack;
        direction = Direction::NoAttack;
        deadline = Now() + kPauseAfterWindowMs;
        return;
    }
    sound.Play(youLoseSound, 0);
    phase = Phase::Lost;
    sound.Play(gameOverSound, 0);
    sound.Play(stabSound, 0);
    deadline = Now() + kEndOfGameMs;
    direction = Direction::Fallen;
}

void CSceenGame::OnKey(int vk) {
    RequestRepaint();

    if (phase == Phase::Tutorial && tutorialKeyEnabled != 0) {
        TutorialKey(vk);
    }

    if (phase == Phase::Attack) {
        if (IsAnswerKey(direction, vk)) {
            // Every right key counts, several within one window too.
            chanceCounter -= 1;
            PlayParry();
            showArm = true;
            parried = true;
            if (chanceCounter < 0) {
                sound.Play(chanceSound, 0);
                SetLines("CHANCE!", "", "");
            }
        } else if (IsDirectionKey(vk)) {
            // The attack's picture stays until the next attack is announced.
            TakeDamage();
            deadline = Now() + kPauseAfterWrongKeyMs;
            phase = Phase::NextAttack;
        }
        if (IsStrikeKey(vk)) {
            StrikeKey();
            if (phase == Phase::Won) {
                return;
            }
        }
    }

    if (vk == platform::VK_ESCAPE) {
        resultCode = GameResult::BackToMenu;
    }
    if (phase == Phase::Lost && IsStrikeKey(vk) && endKeyEnabled) {
        resultCode = GameResult::Lost;
    }
    if (phase == Phase::Won && IsStrikeKey(vk) && endKeyEnabled) {
        resultCode = GameResult::Won;
    }
}

// A strike during an attack: it kills while the chance is open, else it only
// clangs, with no penalty.
void CSceenGame::StrikeKey() {
    showArm = true;
    if (chanceCounter >= 0) {
        // Not placed: it sounds where the last parry sounded.
        sound.Play(clangSound, 0);
        return;
    }
    sound.Play(strikeSound, 0);
    direction = Direction::Strike;
    phase = Phase::Defeated;
    PlayOneOfThree(fallSounds);
    deadline = Now() + kDefeatedMs;
    if (VictoryReached()) {
        sound.Play(winnerSound, 0);
        phase = Phase::Won;
        deadline = Now() + kEndOfGameMs;
        SetLines("Congratulations!", "", "");
    }
}

bool CSceenGame::VictoryReached() const {
    switch (level) {
        case 2:
            return enemyNumber >= 5;
        case 3:
            return enemyNumber >= 10;
        case 4:
            return enemyNumber >= 50;
        default:
            return false;
    }
}

void CSceenGame::PlayOneOfThree(const int (&ids)[3]) {
    int i = 3 * host.Services().random.Rand() / 32767;
    if (i == 0) {
        sound.Play(ids[0], 0);
    } else if (i == 1) {
        sound.Play(ids[1], 0);
    } else {
        sound.Play(ids[2], 0);
    }
}

// The player takes whole hundredths of a decibel, cut toward zero.
void CSceenGame::SetFootstepsVolume(float volume) {
    sound.SetVolume(footstepsSound, static_cast<int32_t>(volume));
}
