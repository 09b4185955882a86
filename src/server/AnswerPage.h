#pragma once
// The page GameSet.asp answers. The game reads only the lines between the
// line holding "DATA_START" and the line holding "DATA_END" (each marker
// somewhere after the line's first character), trims them, turns "<P>" into
// a line break and shows the text in a message box that a screen reader
// reads aloud. So the text between the markers is short and plain.
#include <string>

#include "server/ScoreStore.h"

namespace server {

// "Thank you, NAME.<P>" and "Hard, 2 hits: rank 3 of 41."
std::string RegisteredPage(const NewScore& score, const Standing& standing);

// "The score was not registered: REASON." `reason` is this program's own
// phrase, never text from the request.
std::string RefusedPage(const std::string& reason);

}  // namespace server
