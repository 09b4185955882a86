#pragma once
// The score dialog after a won game: asks under which name and for which area
// the score goes to the online ranking. It shows the name and area last used,
// lets the player edit the name and pick the area from a fixed list of 195
// entries ("Secret" first), and says whether the player chose "Send".
#include <string>
#include <vector>

#include "platform/ui/Dialogs.h"
#include "shared/AreaNames.h"

class CDlgSendNet {
  public:
    static constexpr int kAreaCount = ::kAreaCount;
    static constexpr int kSend = 1;
    static constexpr int kClose = 2;

    // Runs the dialog modally over the game window, whose timer keeps ticking
    // meanwhile. Returns kSend (1) for "Send" or Enter in the name box,
    // kClose (2) for "Close", Esc or the close box. After kSend, name and area
    // hold the confirmed texts (area empty when no entry is selected); after
    // kClose they are unchanged. Without a display the answer is kClose.
    int DoModal(platform::Dialogs& dialogs);

    std::string name;  // in: the name shown; out: the name confirmed
    std::string area;  // in: the area preselected; out: the area confirmed

    // The list entries in display order, index 0 to kAreaCount - 1.
    static const char* AreaAt(int index);
    // The entry selected when the dialog opens for a stored area: 0 ("Secret")
    // for an empty area, else the first entry equal byte for byte (letter case
    // counts), else -1 (nothing selected).
    static int PreselectedIndex(const std::string& storedArea);
    // The area that "Send" yields for a selection: the entry's text, or empty
    // when nothing (-1) is selected.
    static std::string AreaForSelection(int index);
};
