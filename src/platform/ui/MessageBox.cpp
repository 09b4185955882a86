#include "platform/ui/MessageBox.h"

#include <cstdio>
#include <vector>

#include "platform/sys/Display.h"
#include "platform/ui/ParentWindow.h"

namespace platform {
namespace {

// The modal dialogs running now, innermost last (a tick may open one inside
// another), each with the answer that closes it without doing anything.
struct OpenDialog {
    GtkDialog* dialog;
    int closingResponse;
};
std::vector<OpenDialog> openDialogs;
bool programEnding = false;

}  // namespace

void CloseAllDialogs() {
    programEnding = true;
    for (const OpenDialog& open : openDialogs) {
        gtk_dialog_response(open.dialog, open.closingResponse);
    }
}

void AllowDialogs() {
    programEnding = false;
}

bool ProgramEnding() {
    return programEnding;
}

int RunModalDialog(GtkDialog* dialog, int closingResponse) {
    if (programEnding) {
        return closingResponse;
    }
    openDialogs.push_back({dialog, closingResponse});
    int response = gtk_dialog_run(dialog);
    openDialogs.pop_back();
    return response;
}

void DesktopMessageBoxes::Show(const std::string& text, const std::string& caption) {
    if (!DisplayAvailable() || ProgramEnding()) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return;
    }
    GtkWidget* dialog =
        gtk_message_dialog_new(ParentForDialogs(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                               GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    RunModalDialog(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_widget_destroy(dialog);
}

}  // namespace platform
