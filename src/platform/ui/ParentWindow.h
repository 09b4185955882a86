#pragma once
// For the GTK code of this folder only: the window that message boxes and
// dialogs open over.
#include <gtk/gtk.h>

namespace platform {

// The game's main window while it is shown, else null.
GtkWindow* ParentForDialogs();

}  // namespace platform
