#pragma once
// The game's dialogs as GTK dialogs over the game window. Every field has an
// accessible name, so a screen reader announces it, and everything works from
// the keyboard. Without a display they count as closed. GTK is used on the
// window's thread only: a password question from a sending worker is carried
// over to it.
#include "platform/ui/Dialogs.h"

namespace platform {

class DesktopDialogs final : public Dialogs {
  public:
    bool AskScore(ScoreDialogFields& fields) override;  // ScoreDialog.cpp
    bool AskCredentials(const CredentialsPrompt& prompt,
                        Credentials& credentials) override;  // CredentialsDialog.cpp
    bool RunWhileSending(const std::function<void(const std::atomic<bool>& cancelled)>& work)
        override;                   // SendingDialog.cpp
    void CancelSending() override;  // SendingDialog.cpp

  private:
    struct Sending;  // SendingDialog.cpp

    // True on the worker thread of the RunWhileSending under way.
    bool OnSendingWorker() const;
    // From that worker: the window's thread asks, the worker waits.
    bool AskCredentialsFromWorker(const CredentialsPrompt& prompt, Credentials& credentials);
    // Answers "Cancel" to the password dialog, if one is shown.
    static void CancelCredentialsDialog();  // CredentialsDialog.cpp

    Sending* sending = nullptr;  // the one under way; set and cleared on the window's thread
};

}  // namespace platform
