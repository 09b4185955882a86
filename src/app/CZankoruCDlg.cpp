#include "app/CZankoruCDlg.h"

#include <atomic>

#include "platform/sys/AppName.h"
#include "ranking/CDlgSendNet.h"
#include "ranking/LaunchUpdater.h"
#include "ranking/RankingPage.h"
#include "ranking/SendScore.h"
#include "shared/DisplayText.h"

namespace {

// The size of a window icon on the desktop the game was made for.
constexpr int kSystemIconSize = 32;

}  // namespace

CZankoruCDlg::CZankoruCDlg(platform::Services& services, std::string gameDirectory)
    : baseDir(std::move(gameDirectory)), services(services) {
    // The application icon: the build tree renders it into res/ beside the
    // program; an installed or unpacked tree keeps it in the icon theme's
    // folder beside the game's data.
    std::string bin = platform::ExecutableDirectory();
    if (!icon.Load(bin + "\\res\\zankoruc.png")) {
        icon.Load(bin + "\\..\\share\\icons\\hicolor\\256x256\\apps\\" + platform::kApplicationId +
                  ".png");
    }
}

CZankoruCDlg::~CZankoruCDlg() {
    // A window that was never destroyed saves nothing, as a killed process
    // saves nothing; its scene still goes.
    CloseScene();
}

int CZankoruCDlg::DoModal() {
    platform::MainWindow window("ZankoruC", kClientWidth, kClientHeight);
    frame = &window;
    int result = window.Run(*this);
    frame = nullptr;
    return result;
}

bool CZankoruCDlg::OnInitDialog() {
    if (frame != nullptr) {
        frame->SetIcon(icon);
    }
    // The duel draws its random numbers from this generator.
    services.random.Srand(services.clock.GetTickCount());
    if (frame != nullptr) {
        frame->SetTimer(kTimerId, kTimerPeriodMs);
    }
    settings.Load();
    SwitchScene(SceneType::Menu, 0);
    return true;
}

bool CZankoruCDlg::SwitchScene(SceneType type, int index) {
    CloseScene();
    if (type == SceneType::Menu) {
        menuScene = std::make_unique<CSceenMenu>(*this);
        menuScene->Init(baseDir);
    } else if (type == SceneType::Game) {
        gameScene = std::make_unique<CSceenGame>(*this);
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
    sceneType = SceneType::None;
    // The menu's sounds, the music included, stop with it.
    menuScene.reset();
    if (gameScene != nullptr) {
        gameScene->StopFootsteps();
        gameScene.reset();
    }
}

void CZankoruCDlg::OnTimer(int id) {
    // A tick that arrives after the run has ended must not open a scene the
    // destruction would only tear down again.
    if (id != kTimerId || runEnded || destroyed) {
        return;
    }
    if (sceneType == SceneType::Menu && menuScene != nullptr) {
        MenuChoice chosen = menuScene->chosen;
        menuScene->chosen = MenuChoice::None;
        switch (chosen) {
            case MenuChoice::Tutorial:
            case MenuChoice::Easy:
            case MenuChoice::Normal:
            case MenuChoice::Hard:
                SwitchScene(SceneType::Game, static_cast<int>(chosen));
                return;
            case MenuChoice::NetRecord:
                OpenRankingPage(services.shell);  // the menu stays as it is
                return;
            case MenuChoice::Update:
                // The updater starts and the run ends, the settings saved.
                LaunchUpdater(services.shell, baseDir, "zankoruc", "zankoruc", "zankoruc");
                platform::PostQuitMessage(0);
                runEnded = true;
                runResult = -1;
                return;
            case MenuChoice::End:
                EndDialog(kIdOk);
                return;
            case MenuChoice::None:
                break;
        }
    }
    if (sceneType == SceneType::Game && gameScene != nullptr) {
        gameScene->Tick();
        GameResult result = gameScene->resultCode;
        gameScene->resultCode = GameResult::None;
        if (result == GameResult::Won) {
            OfferScore();
        }
        // A close request during the offer ended the run: no menu to open.
        if (result != GameResult::None && !runEnded) {
            SwitchScene(SceneType::Menu, 0);
        }
    }
}

// A won game: the score dialog, filled with the stored name and area. On
// "Send" the confirmed values go into the settings and to the file at once (a
// killed process keeps them too), the score goes to the ranking server on a
// worker thread while the window stays alive, and its answer is shown unless
// the player cancelled the wait or a close request ended it. The game's
// resultCode was reset before the dialog opened, so the ticks that keep coming
// meanwhile change nothing.
void CZankoruCDlg::OfferScore() {
    CDlgSendNet dialog;
    dialog.area = settings.aria;
    dialog.name = settings.name;
    if (dialog.DoModal(services.dialogs) != CDlgSendNet::kSend) {
        return;
    }
    settings.aria = dialog.area;
    settings.name = dialog.name;
    settings.Save();

    // The worker gets copies: the scene and the settings stay the window's.
    platform::HttpClient& http = services.http;
    platform::Dialogs& dialogs = services.dialogs;
    std::string aria = settings.aria;
    std::string name = settings.name;
    int level = gameScene->level - 1;
    int score = gameScene->mistakes;
    std::string answer;
    bool answered = services.dialogs.RunWhileSending(
        [&http, &dialogs, &aria, &name, level, score, &answer](const std::atomic<bool>& cancelled) {
            answer = SendScore(http, dialogs, aria, name, level, score, &cancelled);
        });
    if (answered) {
        // The answer ends every line with CR LF; the box would show the last
        // one as an empty line.
        answer.erase(answer.find_last_not_of("\r\n") + 1);
        // The caption is the program file's name, which may be any bytes.
        services.messages.Show(answer, DisplayText(platform::ApplicationName()));
    }
}

void CZankoruCDlg::OnKeyUp(int virtualKey) {
    if (sceneType == SceneType::Menu && menuScene != nullptr) {
        menuScene->OnKey(virtualKey);
    } else if (sceneType == SceneType::Game && gameScene != nullptr) {
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
    if (sceneType == SceneType::Menu && menuScene != nullptr) {
        menuScene->Paint(canvas);
    } else if (sceneType == SceneType::Game && gameScene != nullptr) {
        gameScene->Paint(canvas);
    }
}

void CZankoruCDlg::OnCancel() {
    // A score on its way is abandoned, so the run can end soon.
    services.dialogs.CancelSending();
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
        frame->EndRun(result);
    }
}

void CZankoruCDlg::RequestRepaint() {
    ++repaintRequests;
    if (frame != nullptr) {
        frame->RequestRepaint();
    }
}
