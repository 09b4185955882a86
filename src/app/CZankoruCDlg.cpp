#include "app/CZankoruCDlg.h"

#include <unistd.h>

#include <cerrno>

#include <vector>

#include "platform/audio/AudioDevice.h"
#include "platform/sys/AppName.h"
#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"
#include "platform/sys/Shell.h"
#include "platform/ui/MessageBox.h"
#include "ranking/CDlgSendNet.h"
#include "ranking/LaunchUpdater.h"
#include "ranking/RankingPage.h"
#include "ranking/SendScore.h"

namespace {

// Until the window is handed its services, the scenes get these: the
// process-wide clock, generator, audio device and message boxes.
class GlobalClock final : public platform::Clock {
  public:
    uint32_t GetTickCount() override { return platform::GetTickCount(); }
};
class GlobalRandom final : public platform::Random {
  public:
    void Srand(unsigned int seed) override { platform::CrtSrand(seed); }
    int Rand() override { return platform::CrtRand(); }
};
class GlobalAudio final : public platform::AudioOutput {
  public:
    bool Open() override {
        if (!device) {
            device = platform::AudioDevice::Create();
        }
        return device != nullptr;
    }
    std::unique_ptr<platform::SoundBuffer> CreateSoundBuffer(
        const platform::BufferDescription& description) override {
        return device ? device->CreateSoundBuffer(description) : nullptr;
    }

  private:
    std::unique_ptr<platform::AudioDevice> device;
};
class GlobalMessages final : public platform::MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption) override {
        platform::ShowMessageBox(text, caption);
    }
};
class NoDialogs final : public platform::Dialogs {
  public:
    bool AskScore(platform::ScoreDialogFields&) override { return false; }
    bool AskCredentials(const platform::CredentialsPrompt&, platform::Credentials&) override {
        return false;
    }
};
class NoHttp final : public platform::HttpClient {
  public:
    platform::HttpResponse Send(const platform::HttpRequest&) override { return {}; }
};
struct GlobalServices {
    GlobalClock clock;
    GlobalRandom random;
    GlobalAudio audio;
    GlobalMessages messages;
    platform::DesktopShell shell;
    NoDialogs dialogs;
    NoHttp http;
    platform::Services services{clock, random, audio, messages, shell, dialogs, http};
};

// The size Windows gives a window icon (SM_CXICON, SM_CYICON).
constexpr int kSystemIconSize = 32;

// The current directory, whatever its length, without a trailing separator.
std::string CurrentDirectory() {
    std::vector<char> buffer(512);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return "";  // gone or unreadable: every asset is then missing
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string directory = buffer.data();
    while (!directory.empty() && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

}  // namespace

CZankoruCDlg::CZankoruCDlg() {
    // The application icon lies beside the executable, in res/.
    icon.Load(platform::ExecutableDirectory() + "\\res\\zankoruc.png");
}

CZankoruCDlg::~CZankoruCDlg() {
    // A window that was never destroyed saves nothing, as a killed process
    // saves nothing; its scene still goes.
    CloseScene();
}

int CZankoruCDlg::DoModal() {
    platform::MainWindow window("ZankoruC", kClientWidth, kClientHeight);
    frame = &window;
    int result = window.RunModal(*this);
    frame = nullptr;
    return result;
}

bool CZankoruCDlg::OnInitDialog() {
    if (frame != nullptr) {
        frame->SetIcon(icon);
    }
    // The duel draws its random numbers from this generator.
    platform::CrtSrand(platform::GetTickCount());
    if (frame != nullptr) {
        frame->SetTimer(kTimerId, kTimerPeriodMs);
    }
    baseDir = CurrentDirectory();
    settings.Load();
    SwitchScene(kMenuScene, 0);
    return true;
}

bool CZankoruCDlg::SwitchScene(int type, int index) {
    CloseScene();
    if (type == kMenuScene) {
        menuScene = new CSceenMenu(*this);
        menuScene->Init(baseDir);
    } else if (type == kGameScene) {
        gameScene = new CSceenGame(*this);
        gameScene->level = index + 1;
        gameScene->LoadAssets(baseDir);
    }
    sceneType = type;
    // The new scene shows at once, over the whole window: after a game or
    // the score dialog nothing else would draw more than the parts uncovered.
    RequestRepaint();
    return true;
}

void CZankoruCDlg::CloseScene() {
    sceneType = kNoScene;
    if (menuScene != nullptr) {
        // The menu's sounds, the music included, stop with it.
        delete menuScene;
        menuScene = nullptr;
    }
    if (gameScene != nullptr) {
        gameScene->StopFootsteps();
        delete gameScene;
        gameScene = nullptr;
    }
}

void CZankoruCDlg::OnTimer(int id) {
    // A tick that arrives after the run has ended must not open a scene the
    // destruction would only tear down again.
    if (id != kTimerId || runEnded || destroyed) {
        return;
    }
    if (sceneType == kMenuScene && menuScene != nullptr) {
        int chosen = static_cast<int>(menuScene->chosen);
        menuScene->chosen = MenuChoice::None;
        if (chosen >= 0 && chosen <= 3) {
            SwitchScene(kGameScene, chosen);  // Tutorial, Easy, Normal, Hard
            return;
        }
        if (chosen == 4) {
            OpenRankingPage();  // NetRecord: the menu stays as it is
            return;
        }
        if (chosen == 5) {
            // Update: the updater's quit request ends the run.
            LaunchUpdater(this, "zankoruc", "zankoruc", "zankoruc");
            runEnded = true;
            runResult = -1;
            return;
        }
        if (chosen == 6) {
            EndDialog(kIdOk);  // End
            return;
        }
    }
    if (sceneType == kGameScene && gameScene != nullptr) {
        gameScene->Tick();
        int result = static_cast<int>(gameScene->resultCode);
        gameScene->resultCode = GameResult::None;
        if (result == 2) {
            OfferScore();
            SwitchScene(kMenuScene, result);
        } else if (result >= 0) {
            SwitchScene(kMenuScene, result);
        }
    }
}

// A won game: the score dialog, filled with the stored name and area. On
// "Send" the confirmed values go into the settings (the file gets them at
// exit), the score goes to the ranking server, and its answer is shown. The
// game's resultCode was reset before the dialog opened, so the ticks that keep
// coming meanwhile change nothing.
void CZankoruCDlg::OfferScore() {
    CDlgSendNet dialog;
    dialog.area = settings.aria;
    dialog.name = settings.name;
    if (dialog.DoModal(this) != CDlgSendNet::kSend) {
        return;
    }
    settings.aria = dialog.area;
    settings.name = dialog.name;
    std::string answer =
        SendScore(settings.aria, settings.name, gameScene->level - 1, gameScene->mistakes);
    platform::ShowMessageBox(answer, platform::ApplicationName(), this);
}

void CZankoruCDlg::OnKeyUp(int virtualKey) {
    if (sceneType == kMenuScene && menuScene != nullptr) {
        menuScene->OnKey(virtualKey);
    } else if (sceneType == kGameScene && gameScene != nullptr) {
        gameScene->OnKey(virtualKey);
    }
}

void CZankoruCDlg::OnPaint(platform::Canvas& canvas, bool minimised) {
    if (minimised) {
        // Only the icon, centred, as a minimised window shows it.
        int x = (canvas.ClientWidth() - kSystemIconSize + 1) / 2;
        int y = (canvas.ClientHeight() - kSystemIconSize + 1) / 2;
        canvas.DrawPictureScaled(icon, x, y, kSystemIconSize, kSystemIconSize);
        return;
    }
    if (sceneType == kMenuScene && menuScene != nullptr) {
        menuScene->Paint(canvas);
    } else if (sceneType == kGameScene && gameScene != nullptr) {
        gameScene->Paint(canvas);
    }
}

void CZankoruCDlg::OnCancel() {
    EndDialog(kIdCancel);
}

void CZankoruCDlg::OnDestroy() {
    if (destroyed) {
        return;
    }
    destroyed = true;
    settings.Save();
    CloseScene();
}

void CZankoruCDlg::EndDialog(int result) {
    if (runEnded) {
        return;
    }
    runEnded = true;
    runResult = result;
    if (frame != nullptr) {
        frame->EndModalLoop(result);
    }
}

void CZankoruCDlg::RequestRepaint() {
    ++repaintRequests;
    if (frame != nullptr) {
        frame->RequestRepaint();
    }
}

void* CZankoruCDlg::NativeWindow() {
    return frame != nullptr ? frame->NativeWindow() : nullptr;
}

platform::Services& CZankoruCDlg::Services() {
    static GlobalServices* global = new GlobalServices;
    return global->services;
}
