#include "platform/ui/MessageBox.h"

#include <cstdio>
#include <vector>

#include "platform/sys/Display.h"
#include "platform/ui/ParentWindow.h"

namespace platform {
namespace {

std::vector<GtkWidget*> openBoxes;  // innermost last: a tick may open one inside another
bool closingBoxes = false;

}  // namespace

void CloseMessageBoxes() {
    closingBoxes = true;
    for (GtkWidget* box : openBoxes) {
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    }
}

void DesktopMessageBoxes::Show(const std::string& text, const std::string& caption) {
    if (!DisplayAvailable() || closingBoxes) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return;
    }
    GtkWidget* dialog =
        gtk_message_dialog_new(ParentForDialogs(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                               GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    openBoxes.push_back(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    openBoxes.pop_back();
    gtk_widget_destroy(dialog);
}

}  // namespace platform
