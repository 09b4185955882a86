#pragma once
// The credentials dialog of the internet layer: a modal dialog asking the
// player for a user name and a password when a server answers 401. Where no
// display exists the dialog cannot be shown and counts as cancelled. Tests
// answer it in advance with QueueCredentialsAnswer.
#include <string>
#include <vector>

#include "platform/ui/Dialogs.h"

namespace platform {

// Modal, without an owner window. True with the typed values when the player
// pressed OK; false when cancelled or when there is no display.
bool AskCredentials(const CredentialsPrompt& prompt, Credentials& credentials);

// Tests: the next AskCredentials answers with these values instead of showing
// the dialog (accept false = cancelled). Answers queue up, oldest first.
void QueueCredentialsAnswer(bool accept, const Credentials& credentials);
// Tests: every prompt asked since the last call, oldest first.
std::vector<CredentialsPrompt> TakeCredentialsPrompts();

}  // namespace platform
