// The duel scene's assets: pictures, font and sound registrations.
#include "game/CSceenGame.h"

#include <utility>

#include "manifest/AssetManifest.h"

namespace {

// The duel's eight pictures together: they decode in a few milliseconds.
constexpr int kPictureBudgetMilliseconds = 400;

}  // namespace

CSceenGame::CSceenGame(SceneHost& host) : host(host), sound(host.Services()) {}

void CSceenGame::LoadAssets(std::string dir) {
    baseDir = std::move(dir);
    direction = Direction::NoAttack;

    // A picture that cannot be read stays empty and simply draws nothing. The
    // eight share one budget, so hostile files hold the start (and a
    // termination signal) for well under a second.
    platform::PictureBudget budget(kPictureBudgetMilliseconds);
    for (int i = 0; i < kEnemyPictures; i++) {
        enemyImages[i].Load(baseDir + manifest::Pictures()[i], budget);
    }
    armImage.Load(baseDir + manifest::Pictures()[manifest::kArmPicture], budget);

    // The game places its sounds by pan and playback rate.
    sound.mode = SoundMode::Panned;
    sound.InitDevice();

    // The manifest fixes every clip's id.
    footstepsSound = RegisterSound(manifest::kFootsteps);
    swingSound = RegisterSound(manifest::kSwing);
    clangSound = RegisterSound(manifest::kClang);
    strikeSound = RegisterSound(manifest::kStrike);
    stabSound = RegisterSound(manifest::kStab);
    chanceSound = RegisterSound(manifest::kChance);
    winSound = RegisterSound(manifest::kWin);
    gameOverSound = RegisterSound(manifest::kGameOver);
    yourWinSound = RegisterSound(manifest::kYourWin);
    youLoseSound = RegisterSound(manifest::kYouLose);
    winnerSound = RegisterSound(manifest::kWinner);
    // The groups take consecutive clips of the manifest, each array whole.
    RegisterGroup(battleCrySounds, manifest::kFirstBattleCry);
    RegisterGroup(fallSounds, manifest::kFirstFall);
    RegisterGroup(damageSounds, manifest::kFirstDamage);
    RegisterGroup(textSounds, manifest::kFirstText);
    RegisterGroup(numberSounds, manifest::kFirstNumber);

    StartGame();
}

// Nothing is loaded here: the player reads a clip the first time it plays.
int CSceenGame::RegisterSound(int clip) {
    sound.AddSound(baseDir + manifest::GameClips()[clip], static_cast<uint32_t>(clip));
    soundCount += 1;
    return clip;
}

void CSceenGame::StopFootsteps() {
    sound.Stop(footstepsSound);
}

// Every caller gives three strings; an empty one stands for no line.
void CSceenGame::SetLines(const std::string& first, const std::string& second,
                          const std::string& third) {
    lines.clear();
    for (const std::string* line : {&first, &second, &third}) {
        if (!line->empty()) {
            lines.push_back(*line);
        }
    }
}

void CSceenGame::RequestRepaint() {
    host.RequestRepaint();
}

uint32_t CSceenGame::Now() {
    return host.Services().clock.GetTickCount();
}
