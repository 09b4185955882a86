#pragma once
// The game's one top-level window: a fixed-size GTK window with a drawing
// area, a repeating timer and key releases as Windows virtual-key codes. It
// holds no game logic: it forwards every event to its handler, the game
// window's own handlers, which tests drive directly without a display.
#include <memory>
#include <string>

#include "platform/ui/Window.h"

namespace platform {

class Canvas;
class Picture;

// The overridables of a modal dialog that the main window forwards to.
class DialogHandler {
  public:
    virtual ~DialogHandler() = default;
    // Once, after the window exists and before it is shown.
    virtual bool OnInitDialog() = 0;
    // A tick of a timer started with SetTimer; also while a nested modal
    // loop (a message box, a dialog) runs.
    virtual void OnTimer(int id) = 0;
    // A released key as a Windows virtual-key code, or 0 for a key that has
    // none. Presses are not reported; a held key gives one release, and only
    // a key pressed in this window reports its release.
    virtual void OnKeyUp(int virtualKey) = 0;
    // The client area is drawn; `minimised` while the window is iconified.
    virtual void OnPaint(Canvas& canvas, bool minimised) = 0;
    // The system asks the window to close: the window manager's close
    // (Alt+F4), or SIGTERM, SIGINT, SIGHUP.
    virtual void OnCancel() = 0;
    // Once, when the modal run is over, while the window still exists.
    virtual void OnDestroy() = 0;
};

// Opens the display for the program. False, with nothing shown, where there
// is none (no DISPLAY or WAYLAND_DISPLAY, or GTK cannot start). Marks the
// display as available for message boxes and dialogs.
bool OpenDisplay();

class MainWindow : public Window {
  public:
    // Needs an open display.
    MainWindow(const std::string& title, int clientWidth, int clientHeight);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Calls OnInitDialog, shows the window and dispatches its events until
    // EndModalLoop or a quit request; then OnDestroy. Answers the result given
    // to EndModalLoop, or -1 when a quit request ended the run.
    int RunModal(DialogHandler& handler);
    void EndModalLoop(int result);

    // A repeating timer that calls OnTimer(id) every `periodMs`, on schedule:
    // a late tick does not push the later ones back. Lives until the run ends.
    void SetTimer(int id, int periodMs);
    // The window's icon, large and small. An empty picture leaves it unset.
    void SetIcon(const Picture& icon);
    bool IsMinimised() const;

    void RequestRepaint() override;
    void* NativeWindow() override;  // the GtkWindow*

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The quit request of the thread: the running modal loop of the main window
// ends (after any nested loop has returned), and no new run starts.
void PostQuitMessage(int exitCode);
bool QuitRequested();
// Tests: whether a quit request was posted, with its code; clears it.
bool TakeQuitRequest(int* exitCode = nullptr);

// The Windows virtual-key code for a GDK key event: `keyval` as the event
// gives it, `hardwareKeycode` the X/evdev key code, `unshiftedKeyval` what the
// same key gives without any modifier. Letters give 'A'..'Z' whatever the
// shift and caps state; the digit row '0'..'9' whatever the shift state; the
// keypad digits VK_NUMPAD0..9 whether Num Lock is on or off; 0 where Windows
// has no code.
int VirtualKeyFromGdkKey(unsigned int keyval, unsigned int hardwareKeycode,
                         unsigned int unshiftedKeyval);

}  // namespace platform
