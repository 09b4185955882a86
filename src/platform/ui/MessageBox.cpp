#include "platform/ui/MessageBox.h"

#include <cstdio>

#include "platform/sys/Display.h"
#include "platform/ui/ParentWindow.h"

namespace platform {

void DesktopMessageBoxes::Show(const std::string& text, const std::string& caption) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return;
    }
    GtkWidget* dialog =
        gtk_message_dialog_new(ParentForDialogs(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                               GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

}  // namespace platform
