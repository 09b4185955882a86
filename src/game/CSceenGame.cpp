// The duel scene's assets: pictures, font and sound registrations.
#include "game/CSceenGame.h"

#include <utility>

namespace {

// Pictures under the base directory; enemy picture k+1 shows for `direction` k.
const char* const kEnemyPictureFiles[CSceenGame::kEnemyPictures] = {
    "\\image\\sam1.imz", "\\image\\sam2.imz", "\\image\\sam3.imz", "\\image\\sam4.imz",
    "\\image\\sam5.imz", "\\image\\sam6.imz", "\\image\\sam7.imz",
};
const char* const kArmPictureFile = "\\image\\ude.imz";

}  // namespace

CSceenGame::CSceenGame(SceneHost& host) : host(host), sound(host.Services()) {}

void CSceenGame::LoadAssets(std::string dir) {
    baseDir = std::move(dir);
    direction = Direction::NoAttack;

    // A picture that cannot be read stays empty and simply draws nothing.
    for (int i = 0; i < kEnemyPictures; i++) {
        enemyImages[i].Load(baseDir + kEnemyPictureFiles[i]);
    }
    armImage.Load(baseDir + kArmPictureFile);

    // The game places its sounds by pan and playback rate.
    sound.mode = 1;
    sound.InitDevice();

    // The order fixes the ids: the footsteps must be 0, the swing 1, and so on.
    footstepsSound = RegisterSound("\\sound\\asiato");
    swingSound = RegisterSound("\\sound\\huri");
    clangSound = RegisterSound("\\sound\\kin");
    strikeSound = RegisterSound("\\sound\\sasu1");
    stabSound = RegisterSound("\\sound\\sasu2");
    chanceSound = RegisterSound("\\sound\\chance");
    winSound = RegisterSound("\\sound\\win");
    gameOverSound = RegisterSound("\\sound\\GameOver");
    yourWinSound = RegisterSound("\\sound\\yourwin");
    youLoseSound = RegisterSound("\\sound\\youlose");
    winnerSound = RegisterSound("\\sound\\winner");
    battleCrySounds[0] = RegisterSound("\\sound\\iza");
    battleCrySounds[1] = RegisterSound("\\sound\\mairu");
    battleCrySounds[2] = RegisterSound("\\sound\\kakugo");
    fallSounds[0] = RegisterSound("\\sound\\uwaa");
    fallSounds[1] = RegisterSound("\\sound\\yarareta");
    fallSounds[2] = RegisterSound("\\sound\\munen");
    for (int i = 0; i < 5; i++) {
        damageSounds[i] = RegisterSound("\\sound\\damage" + std::to_string(i + 1));
    }
    for (int i = 0; i < kTutorialPages; i++) {
        textSounds[i] = RegisterSound("\\sound\\text\\" + std::to_string(i + 1));
    }
    for (int i = 0; i < kNumberSounds; i++) {
        numberSounds[i] = RegisterSound("\\sound\\no\\" + std::to_string(i + 1));
    }

    StartGame();
}

// Nothing is loaded here: the player reads a clip the first time it plays.
int CSceenGame::RegisterSound(const std::string& name) {
    int id = soundCount;
    sound.AddSound(baseDir + name + ".snz", static_cast<uint32_t>(id));
    soundCount += 1;
    return id;
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
