#include "platform/ui/MessageBox.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <mutex>

#include "platform/ui/Window.h"
#include "platform/sys/Display.h"

namespace platform {
namespace {
std::mutex shownMutex;
std::vector<ShownMessage> shown;
}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, Window* owner) {
    {
        std::lock_guard<std::mutex> lock(shownMutex);
        shown.push_back({text, caption});
    }
    // Only a program that has opened its display gets a dialog.
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return;
    }
    GtkWindow* parent = owner != nullptr ? static_cast<GtkWindow*>(owner->NativeWindow()) : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                               GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

std::vector<ShownMessage> TakeShownMessages() {
    std::lock_guard<std::mutex> lock(shownMutex);
    std::vector<ShownMessage> taken;
    taken.swap(shown);
    return taken;
}

}  // namespace platform
