#pragma once
// A modal message box with an OK button. Where no display exists (tests, CI)
// the message goes to standard error and the call returns at once.
#include <string>
#include <vector>

namespace platform {

// Message boxes as a service: modal over the game window where there is a
// display, standard error where there is none.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void Show(const std::string& text, const std::string& caption) = 0;
};

class Window;

// Modal over `owner` when given, else without an owner window. Texts are UTF-8.
void ShowMessageBox(const std::string& text, const std::string& caption, Window* owner = nullptr);

struct ShownMessage {
    std::string text;
    std::string caption;
};

// Tests: every message shown since the last call, oldest first.
std::vector<ShownMessage> TakeShownMessages();

}  // namespace platform
