#pragma once
// For the GTK code of this folder only: the window that message boxes and
// dialogs open over.
#include <gtk/gtk.h>

namespace platform {

// The game's main window while it is shown, else null.
GtkWindow* ParentForDialogs();

// Runs a modal dialog the way every dialog of the program runs, so that a
// termination signal can close it: it then answers `closingResponse`, as it
// does at once once the program is ending.
int RunModalDialog(GtkDialog* dialog, int closingResponse);
bool ProgramEnding();

}  // namespace platform
