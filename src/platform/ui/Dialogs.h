#pragma once
// The modal dialogs the game asks the player through: the score dialog after
// a won game and the password dialog of a server that answers 401. The
// desktop's are GTK dialogs over the game window, usable with a screen reader
// and without a mouse; tests answer them from a script.
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
    virtual bool AskCredentials(const CredentialsPrompt& prompt, Credentials& credentials) = 0;
};

}  // namespace platform
