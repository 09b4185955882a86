#pragma once
// Message boxes with an OK button, the way the game tells the player of a
// broken sound file or the ranking server's answer.
#include <string>

namespace platform {

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Texts are UTF-8. Returns once the player has closed the box.
    virtual void Show(const std::string& text, const std::string& caption) = 0;
};

// A modal GTK message box over the game window, which a screen reader reads
// out. Where no display was opened (a terminal, CI) the message goes to
// standard error and the call returns at once.
class DesktopMessageBoxes final : public MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption) override;
};

// The program is ending (a termination signal): every open box and dialog is
// closed as if OK, Close or Cancel were pressed, and later ones are not shown.
void CloseAllDialogs();
// A new run of the window shows them again.
void AllowDialogs();

}  // namespace platform
