#pragma once
// The modal dialogs the game asks the player through: the score dialog after
// a won game, the password dialog of a server that answers 401 and the wait
// while the score travels. The desktop's are GTK dialogs over the game
// window, usable with a screen reader and without a mouse; tests answer them
// from a script.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// What the score dialog shows and what the player made of it.
struct ScoreDialogFields {
    std::string name;                // the name box's text
    std::vector<std::string> areas;  // the area list, in display order
    int selectedArea = -1;           // index into areas, -1 for none
};

struct CredentialsPrompt {
    std::string host;
    std::string realm;  // from the server's challenge; may be empty
};

struct Credentials {
    std::string user;
    std::string password;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Shows the fields; true when the player chose "Send" (or Enter in the
    // name box), with `fields` holding what was typed and selected. False for
    // "Close", Esc or the close box, or when there is no display; `fields` is
    // then unchanged.
    virtual bool AskScore(ScoreDialogFields& fields) = 0;
    // True with the typed values when the player pressed OK; false when
    // cancelled or when there is no display.
    // May also be called from the work of RunWhileSending: the dialog still
    // opens on the window's thread, and the work waits for the answer.
    virtual bool AskCredentials(const CredentialsPrompt& prompt, Credentials& credentials) = 0;

    // Runs `work` on another thread while the window's own loop goes on (its
    // timer keeps ticking), and returns once the work has returned. An answer
    // slower than a moment brings up a "Sending your score..." dialog whose
    // Cancel (or Esc, or the close box) sets `cancelled`; the work must then
    // end soon. True when the work ran to its end uncancelled; false after a
    // cancel. Without a display the work runs on the calling thread.
    virtual bool RunWhileSending(
        const std::function<void(const std::atomic<bool>& cancelled)>& work) = 0;
    // Cancels the RunWhileSending under way as the player's Cancel would and
    // closes any dialog it opened; nothing when none runs. For a close request
    // of the window (a termination signal) that arrives meanwhile.
    virtual void CancelSending() = 0;
};

}  // namespace platform
