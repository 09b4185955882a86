#pragma once
// The game's one top-level window: a fixed-size GTK window with a drawing
// area, a repeating timer and key releases as virtual-key codes (the game's
// key numbers, VirtualKeys.h). It forwards every event to its handler, the
// game window, whose logic tests drive directly without a display.
#include <memory>
#include <string>

namespace platform {

class Canvas;
class Picture;

// What the main window reports to the program: it holds no game logic.
class WindowHandler {
  public:
    virtual ~WindowHandler() = default;
    // Once, before the window is shown.
    virtual void OnStart() = 0;
    // A tick of a timer started with SetTimer; also while a nested modal
    // loop (a message box, a dialog) runs.
    virtual void OnTick(int timerId) = 0;
    // A released key as a virtual-key code (VirtualKeys.h), or 0 for a key
    // that has none. Presses are not reported; a held key gives one release,
    // and only a key pressed in this window reports its release.
    virtual void OnKeyRelease(int virtualKey) = 0;
    // The client area is drawn; `minimised` while the window is iconified.
    virtual void OnDraw(Canvas& canvas, bool minimised) = 0;
    // The desktop asks the window to close (Alt+F4), or SIGTERM, SIGINT or
    // SIGHUP arrived.
    virtual void OnCloseRequest() = 0;
    // Once, when the run is over, while the window still exists.
    virtual void OnEnd() = 0;
};

// Opens the display for the program. False, with nothing shown, where there
// is none (no DISPLAY or WAYLAND_DISPLAY, or GTK cannot start). Marks the
// display as available for message boxes and dialogs.
bool OpenDisplay();

class MainWindow {
  public:
    // Needs an open display.
    MainWindow(const std::string& title, int clientWidth, int clientHeight);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Calls OnStart, shows the window and dispatches its events until
    // EndRun or a quit request; then OnEnd. Answers the result given to
    // EndRun, or -1 when a quit request ended the run.
    int Run(WindowHandler& handler);
    void EndRun(int result);

    // A repeating timer that calls OnTimer(id) every `periodMs`, on schedule:
    // a late tick does not push the later ones back. Lives until the run ends.
    void SetTimer(int id, int periodMs);
    // The window's icon: the icon theme's one named by the application id,
    // else `icon` (an empty picture leaves none).
    void SetIcon(const Picture& icon);

    void RequestRepaint();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The quit request of the thread: the running modal loop of the main window
// ends (after any nested loop has returned), and no new run starts. The code
// is not kept: the program ends with status 0 after an orderly end.
void PostQuitMessage(int exitCode);
bool QuitRequested();

// The Windows virtual-key code for a GDK key event: `keyval` as the event
// gives it, `hardwareKeycode` the X/evdev key code, `unshiftedKeyval` what the
// same key gives without any modifier. Letters give 'A'..'Z' whatever the
// shift and caps state; the digit row '0'..'9' whatever the shift state; the
// keypad digits VK_NUMPAD0..9 whether Num Lock is on or off; 0 where Windows
// has no code.
int VirtualKeyFromGdkKey(unsigned int keyval, unsigned int hardwareKeycode,
                         unsigned int unshiftedKeyval);

}  // namespace platform
