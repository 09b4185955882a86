// The score dialog after a won game: the player's name and area for the
// online ranking.
#include <gtk/gtk.h>
#include <gtkmm.h>

#include "platform/sys/Display.h"
#include "platform/ui/DesktopDialogs.h"
#include "platform/ui/ParentWindow.h"

namespace platform {
namespace {

constexpr int kSendResponse = 1;
constexpr int kCloseResponse = 2;

// Black background; the labels in a light colour so they stay readable.
const char kDialogCss[] =
    "dialog { background-color: #000000; }\n"
    "label { color: #f0f0f0; }\n";

}  // namespace

bool DesktopDialogs::AskScore(ScoreDialogFields& fields) {
    if (!DisplayAvailable()) {
        return false;
    }
    Gtk::Dialog dialog("Do you register a record with a net?", true);
    dialog.set_resizable(false);
    if (GtkWindow* parent = ParentForDialogs()) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog.gobj()), parent);
        dialog.set_position(Gtk::WIN_POS_CENTER_ON_PARENT);
    }

    Gtk::Grid grid;
    grid.set_row_spacing(12);
    grid.set_column_spacing(16);
    grid.set_border_width(14);

    Gtk::Label nameLabel("Your Name");
    Gtk::Entry nameEntry;
    nameLabel.set_xalign(0.0f);
    nameLabel.set_mnemonic_widget(nameEntry);
    nameEntry.get_accessible()->set_name("Your Name");
    nameEntry.set_text(fields.name);
    nameEntry.set_max_length(0);  // no length limit
    nameEntry.set_width_chars(28);
    nameEntry.set_hexpand(true);
    nameEntry.set_activates_default(true);

    Gtk::Label areaLabel("Aria");
    Gtk::ComboBoxText areaCombo(false);  // a list to choose from, no typing
    areaLabel.set_xalign(0.0f);
    areaLabel.set_mnemonic_widget(areaCombo);
    areaCombo.get_accessible()->set_name("Aria");
    for (const std::string& entry : fields.areas) {
        areaCombo.append(entry);
    }
    areaCombo.set_active(fields.selectedArea);  // -1 leaves the box empty

    grid.attach(nameLabel, 0, 0, 1, 1);
    grid.attach(nameEntry, 1, 0, 1, 1);
    grid.attach(areaLabel, 0, 1, 1, 1);
    grid.attach(areaCombo, 1, 1, 1, 1);
    dialog.get_content_area()->pack_start(grid, Gtk::PACK_EXPAND_WIDGET);

    Gtk::Button* sendButton = dialog.add_button("Send", kSendResponse);
    dialog.add_button("Close", kCloseResponse);
    sendButton->set_can_default(true);
    dialog.set_default_response(kSendResponse);

    Glib::RefPtr<Gtk::CssProvider> css = Gtk::CssProvider::create();
    css->load_from_data(kDialogCss);
    for (Gtk::Widget* widget :
         {static_cast<Gtk::Widget*>(&dialog), static_cast<Gtk::Widget*>(&nameLabel),
          static_cast<Gtk::Widget*>(&areaLabel)}) {
        widget->get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }

    dialog.show_all();
    nameEntry.grab_focus();
    if (RunModalDialog(dialog.gobj(), kCloseResponse) != kSendResponse) {
        return false;
    }
    fields.name = nameEntry.get_text();
    fields.selectedArea = areaCombo.get_active_row_number();
    return true;
}

}  // namespace platform
