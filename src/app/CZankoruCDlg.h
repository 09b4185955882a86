#pragma once
// The main game window. It owns at most one scene (the menu or the duel),
// drives it with a 100 ms timer, hands it every released key, lets it paint,
// and on each tick carries out what the scene reports: start a game, open the
// ranking page, run the updater, end the program, or go back to the menu.
//
// The logic lives here and needs no display: on screen a platform::MainWindow
// forwards its events to the handlers below; tests call them directly, tick
// by tick, with the manual clock.
#include <string>

#include "app/CZankoruReg.h"
#include "game/CSceenGame.h"
#include "menu/CSceenMenu.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/Picture.h"
#include "platform/ui/Window.h"
#include "scene/SceneHost.h"

class CZankoruCDlg : public platform::Window, public platform::DialogHandler, public SceneHost {
  public:
    // Scene types.
    static constexpr int kNoScene = 0;
    static constexpr int kMenuScene = 1;
    static constexpr int kGameScene = 2;

    // Template 102: 488 x 351 dialog units of 8-point "MS Shell Dlg".
    static constexpr int kClientWidth = 732;
    static constexpr int kClientHeight = 570;
    static constexpr int kTimerId = 1;
    static constexpr int kTimerPeriodMs = 100;

    // Results of a modal run.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    CZankoruCDlg();
    ~CZankoruCDlg() override;
    CZankoruCDlg(const CZankoruCDlg&) = delete;
    CZankoruCDlg& operator=(const CZankoruCDlg&) = delete;

    // Shows the window on the open display and runs it until it ends;
    // answers the run's result (-1 when a quit request ended it).
    int DoModal();

    // The window's event handlers.
    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnKeyUp(int virtualKey) override;
    void OnPaint(platform::Canvas& canvas, bool minimised) override;
    // A close request from the system: the run ends.
    void OnCancel() override;
    // The window goes away: the settings are saved first, then the scene.
    void OnDestroy() override;
    // What Enter makes of a dialog: nothing, the window stays open.
    void OnOK() {}

    // Destroys the current scene and opens a scene of `type` (1 menu, 2 game
    // at level index + 1).
    bool SwitchScene(int type, int index);
    void CloseScene();
    // Ends the modal run with `result`.
    void EndDialog(int result);
    // After a won game: asks name and area, sends the score, shows the answer.
    void OfferScore();

    void RequestRepaint() override;
    platform::Services& Services() override;
    void* NativeWindow() override;

    int sceneType = kNoScene;
    CSceenMenu* menuScene = nullptr;  // owned
    CSceenGame* gameScene = nullptr;  // owned
    CZankoruReg settings;
    std::string baseDir;  // the working directory at start, no trailing separator
    platform::Picture icon;

    // The on-screen window while DoModal runs; null in tests.
    platform::MainWindow* frame = nullptr;
    // Tests see what a window would have done.
    int repaintRequests = 0;
    bool runEnded = false;
    int runResult = 0;
    bool destroyed = false;
};
