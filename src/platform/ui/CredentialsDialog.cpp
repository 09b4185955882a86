// The password dialog of a server that answers 401.
#include "platform/ui/DesktopDialogs.h"

#include <gtk/gtk.h>

#include "platform/sys/Display.h"
#include "platform/ui/ParentWindow.h"

namespace platform {
namespace {

// The password dialog while it runs; the window's thread only.
GtkDialog* shownDialog = nullptr;

// Adds "label  entry" as one row of the grid; the label names the entry for a
// screen reader.
GtkWidget* AddRow(GtkGrid* grid, int row, const char* text, bool hidden) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_visibility(GTK_ENTRY(entry), hidden ? FALSE : TRUE);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_widget_set_hexpand(entry, TRUE);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), entry);
    atk_object_set_name(gtk_widget_get_accessible(entry), text);
    gtk_grid_attach(grid, label, 0, row, 1, 1);
    gtk_grid_attach(grid, entry, 1, row, 1, 1);
    return entry;
}

}  // namespace

bool DesktopDialogs::AskCredentials(const CredentialsPrompt& prompt, Credentials& credentials) {
    if (OnSendingWorker()) {
        return AskCredentialsFromWorker(prompt, credentials);
    }
    if (!DisplayAvailable()) {
        return false;
    }
    GtkWidget* dialog =
        gtk_dialog_new_with_buttons("Enter Network Password", ParentForDialogs(), GTK_DIALOG_MODAL,
                                    "OK", GTK_RESPONSE_OK, "Cancel", GTK_RESPONSE_CANCEL, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 12);

    std::string site = "Site: " + prompt.host;
    if (!prompt.realm.empty()) {
        site += "\nRealm: " + prompt.realm;
    }
    GtkWidget* siteLabel = gtk_label_new(site.c_str());
    gtk_label_set_xalign(GTK_LABEL(siteLabel), 0.0f);
    gtk_label_set_selectable(GTK_LABEL(siteLabel), FALSE);
    gtk_grid_attach(GTK_GRID(grid), siteLabel, 0, 0, 2, 1);
    GtkWidget* userEntry = AddRow(GTK_GRID(grid), 1, "User Name", false);
    GtkWidget* passwordEntry = AddRow(GTK_GRID(grid), 2, "Password", true);

    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_add(GTK_CONTAINER(content), grid);
    gtk_widget_show_all(dialog);
    gtk_widget_grab_focus(userEntry);

    shownDialog = GTK_DIALOG(dialog);
    bool accepted = RunModalDialog(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL) == GTK_RESPONSE_OK;
    shownDialog = nullptr;
    if (accepted) {
        credentials.user = gtk_entry_get_text(GTK_ENTRY(userEntry));
        credentials.password = gtk_entry_get_text(GTK_ENTRY(passwordEntry));
    }
    gtk_widget_destroy(dialog);
    return accepted;
}

void DesktopDialogs::CancelCredentialsDialog() {
    if (shownDialog != nullptr) {
        gtk_dialog_response(shownDialog, GTK_RESPONSE_CANCEL);
    }
}

}  // namespace platform
