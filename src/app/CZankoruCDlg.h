#pragma once
// The main game window. It owns at most one scene (the menu or the duel),
// drives it with a 100 ms timer, hands it every released key, lets it paint,
// and on each tick carries out what the scene reports: start a game, open the
// ranking page, run the updater, end the program, or go back to the menu.
//
// The logic lives here and needs no display: on screen a platform::MainWindow
// forwards its events to the handlers below; tests call them directly, tick
// by tick, with a clock of their own among the services.
#include <memory>
#include <string>

#include "app/CZankoruReg.h"
#include "game/CSceenGame.h"
#include "menu/CSceenMenu.h"
#include "platform/Services.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/Picture.h"
#include "scene/SceneHost.h"

class CZankoruCDlg : public SceneHost, private platform::WindowHandler {
  public:
    enum class SceneType { None = 0, Menu = 1, Game = 2 };

    // Template 102: 488 x 351 dialog units of 8-point "MS Shell Dlg".
    static constexpr int kClientWidth = 732;
    static constexpr int kClientHeight = 570;
    static constexpr int kTimerId = 1;
    static constexpr int kTimerPeriodMs = 100;

    // Results of a modal run.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    // gameDirectory: where the sounds and pictures are, no trailing separator.
    CZankoruCDlg(platform::Services& services, std::string gameDirectory);
    ~CZankoruCDlg() override;
    CZankoruCDlg(const CZankoruCDlg&) = delete;
    CZankoruCDlg& operator=(const CZankoruCDlg&) = delete;

    // Shows the window on the open display and runs it until it ends;
    // answers the run's result (-1 when a quit request ended it).
    int DoModal();

    // The window's event handlers.
    bool OnInitDialog();
    void OnTimer(int id);
    void OnKeyUp(int virtualKey);
    void OnPaint(platform::Canvas& canvas, bool minimised);
    // A close request from the system: the run ends, and a score on its way
    // is abandoned.
    void OnCancel();
    // The window goes away: the settings are saved first, then the scene.
    void OnDestroy();
    // What Enter makes of a dialog: nothing, the window stays open.
    void OnOK() {}

    // Destroys the current scene and opens a scene of `type` (the game at
    // level index + 1).
    bool SwitchScene(SceneType type, int index);
    void CloseScene();
    // Ends the modal run with `result`.
    void EndDialog(int result);
    // After a won game: asks name and area, saves them, sends the score (the
    // window stays alive meanwhile), shows the answer.
    void OfferScore();

    void RequestRepaint() override;
    platform::Services& Services() override { return services; }

    SceneType sceneType = SceneType::None;
    std::unique_ptr<CSceenMenu> menuScene;
    std::unique_ptr<CSceenGame> gameScene;
    CZankoruReg settings;
    std::string baseDir;  // the game directory, no trailing separator
    platform::Picture icon;

    // The on-screen window while DoModal runs; null in tests.
    platform::MainWindow* frame = nullptr;
    int repaintRequests = 0;  // asked of the window so far
    bool runEnded = false;
    int runResult = 0;
    bool destroyed = false;

  private:
    // What the on-screen window reports, in the game window's own terms.
    void OnStart() override { OnInitDialog(); }
    void OnTick(int timerId) override { OnTimer(timerId); }
    void OnKeyRelease(int virtualKey) override { OnKeyUp(virtualKey); }
    void OnDraw(platform::Canvas& canvas, bool minimised) override { OnPaint(canvas, minimised); }
    void OnCloseRequest() override { OnCancel(); }
    void OnEnd() override { OnDestroy(); }

    platform::Services& services;
};
