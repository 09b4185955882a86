#pragma once
// Whether the program has opened its display. Message boxes, dialogs and the
// browser need one; without it (tests, CI, a terminal) they report through
// standard error or do nothing.

namespace platform {

bool DisplayAvailable();
void SetDisplayAvailable(bool available);

}  // namespace platform
