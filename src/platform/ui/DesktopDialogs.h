#pragma once
// The game's dialogs as GTK dialogs over the game window. Every field has an
// accessible name, so a screen reader announces it, and everything works from
// the keyboard. Without a display they count as closed.
#include "platform/ui/Dialogs.h"

namespace platform {

class DesktopDialogs final : public Dialogs {
  public:
    bool AskScore(ScoreDialogFields& fields) override;  // ScoreDialog.cpp
    bool AskCredentials(const CredentialsPrompt& prompt,
                        Credentials& credentials) override;  // CredentialsDialog.cpp
};

}  // namespace platform
