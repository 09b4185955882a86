#pragma once
// The duel scene: one game (the tutorial, or Easy, Normal or Hard) played by
// ear. The window creates it with itself as the host, sets `level`, calls
// LoadAssets once, then drives it with Tick every 100 ms, hands it every
// released key through OnKey, asks it to Paint, and polls `resultCode` after
// each tick to learn when it is over. Time, chance and sound come from the
// host's services.
//
// An enemy approaches (footsteps growing louder), shouts, then attacks again
// and again. Every attack is only a sword swing placed full left or full right
// at a high or low pitch; the player answers with the key of that sword
// position before the response window closes. Enough parries open the chance,
// and the strike key then kills the enemy and the next one comes.
#include <cstdint>
#include <string>
#include <vector>

#include "manifest/AssetManifest.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Picture.h"
#include "scene/CBaseSceen.h"
#include "scene/SceneHost.h"
#include "sound/CSoundPlay.h"

// What the window must do after a tick or key; it resets it to None.
enum class GameResult {
    None = -1,
    BackToMenu = 0,  // Esc, or the tutorial is over
    Lost = 1,        // a lost game is finished
    Won = 2,         // a won game is finished: the score may be sent
};

class CSceenGame : public CBaseSceen {
  public:
    // Sword positions; `direction` also picks the enemy picture.
    enum class Direction {
        NoAttack = 0,
        UpperLeft = 1,
        UpperRight = 2,
        LowerLeft = 3,
        LowerRight = 4,
        Strike = 5,  // the player has struck
        Fallen = 6,  // the game is lost
    };

    // States of the duel.
    enum class Phase {
        Idle = 0,
        Approach = 1,
        BattleCry = 2,
        NextAttack = 3,
        Attack = 4,
        Defeated = 5,
        Lost = 6,
        Won = 7,
        Tutorial = 8,
    };

    static constexpr int kEnemyPictures = manifest::kEnemyPictures;
    static constexpr int kTutorialPages = manifest::kTutorialPages;
    static constexpr int kNumberSounds = manifest::kNumbers;

    explicit CSceenGame(SceneHost& host);
    ~CSceenGame() override = default;
    CSceenGame(const CSceenGame&) = delete;
    CSceenGame& operator=(const CSceenGame&) = delete;

    // Pictures, font and the 141 sounds, then the game (or the tutorial when
    // `level` is 1) starts.
    void LoadAssets(std::string baseDir);
    void Tick();
    void Paint(platform::Canvas& canvas);
    void OnKey(int vk);
    void StopFootsteps();

    // Steps of the duel, also used by the tutorial.
    void StartGame();
    void PlayAtDirection(int id);
    void PlayParry();
    void NewAttack();
    void NextEnemy();
    void TakeDamage();
    void SetLines(const std::string& first, const std::string& second, const std::string& third);
    int RegisterSound(int clip);
    // Registers one clip per id of `ids`, from manifest clip `firstClip` on.
    template <size_t N>
    void RegisterGroup(int (&ids)[N], int firstClip) {
        for (int& id : ids) {
            id = RegisterSound(firstClip++);
        }
    }

    // Key classes of the released keys (Windows virtual-key codes).
    static bool IsAnswerKey(Direction direction, int vk);
    static bool IsDirectionKey(int vk);
    static bool IsStrikeKey(int vk);
    // How long an attack of enemy `enemyNumber` may be answered, in ms.
    static int ResponseWindow(int enemyNumber);

    GameResult resultCode = GameResult::None;
    SceneHost& host;  // the window: repaints, clock, random numbers, sound output
    CSoundPlay sound;
    platform::Font font{"Arial", 300};
    std::string baseDir;
    platform::Picture enemyImages[kEnemyPictures];  // picture k+1 for `direction` k
    platform::Picture armImage;
    Direction direction = Direction::NoAttack;
    int soundCount = 0;  // the id the next registered sound gets

    // Ids of the named sounds, in the order they are registered (footsteps 0).
    int footstepsSound = 0;       // asiato
    int swingSound = 0;           // huri: announces each attack
    int clangSound = 0;           // kin: a parry, or a strike before the chance
    int strikeSound = 0;          // sasu1: the player's killing stroke
    int stabSound = 0;            // sasu2: the enemy's stroke
    int chanceSound = 0;          // chance
    int winSound = 0;             // win: registered, never played
    int gameOverSound = 0;        // GameOver
    int yourWinSound = 0;         // yourwin: registered, never played
    int youLoseSound = 0;         // youlose
    int winnerSound = 0;          // winner
    int battleCrySounds[3] = {};  // iza, mairu, kakugo
    int fallSounds[3] = {};       // uwaa, yarareta, munen
    int damageSounds[5] = {};     // damage1..damage5
    int textSounds[kTutorialPages] = {};
    int numberSounds[kNumberSounds] = {};

    int level = 0;  // 1 Tutorial, 2 Easy, 3 Normal, 4 Hard
    // Tick count at which the current wait ends; compared wrap-safe.
    uint32_t deadline = 0;
    int chanceCounter = 0;  // parries still due; the chance is open below 0
    int enemyNumber = 0;
    int mistakes = 0;                // hits taken; the score of a won game
    std::vector<std::string> lines;  // at most three text lines
    bool endKeyEnabled = false;
    int tutorialKeyEnabled = 0;
    float approachLevel = 0.0f;
    bool showArm = false;
    bool parried = false;
    int tutorialPage = 0;
    int tutorialSubStep = 0;
    Phase phase = Phase::Idle;

  private:
    void RequestRepaint();
    uint32_t Now();
    void SetFootstepsVolume(float volume);
    void PlayOneOfThree(const int (&ids)[3]);
    bool VictoryReached() const;
    void EndAttackWindow();
    void StrikeKey();
    // The tutorial's script (CSceenGameTutorial.cpp).
    void TutorialStep();
    void TutorialKey(int vk);
};
