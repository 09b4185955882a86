// The score dialog after a won game: the player's name and area for the
// online ranking.
#include <gtk/gtk.h>
#include <gtkmm.h>

#include "platform/sys/Display.h"
#include "platform/ui/DesktopDialogs.h"
#include "platform/ui/ParentWindow.h"
#include "platform/ui/TypeAhead.h"

namespace platform {
namespace {

constexpr int kSendResponse = 1;
constexpr int kCloseResponse = 2;
// What the ranking server keeps of a name.
constexpr int kMaxNameCharacters = 32;
const char kNameLimit[] = "at most 32 characters";

// Black background; the labels in a light colour so they stay readable.
const char kDialogCss[] =
    "dialog { background-color: #000000; }\n"
    "label { color: #f0f0f0; }\n";

// A typed letter selects the area it begins (TypeAhead), with the list closed
// or open: 195 entries are too many to hear one by one. The combo's active
// entry changes either way, which a screen reader announces; in the open list
// the entry is also highlighted, so Return there takes it and the arrows go
// on from it. Keys with Ctrl or Alt, and a space that starts no prefix (it
// opens the list), stay GTK's.
bool OnAreaKey(GdkEventKey* event, Gtk::ComboBoxText& combo, GtkMenu* openList,
               const std::vector<std::string>& areas, TypeAhead& typeAhead) {
    gunichar typed = gdk_keyval_to_unicode(event->keyval);
    if ((event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0 || !g_unichar_isprint(typed) ||
        (typed == ' ' && !typeAhead.Typing(event->time))) {
        // An arrow or Alt+Down (which opens the list) ends the prefix; Shift
        // on its way to a capital does not.
        if (!event->is_modifier) {
            typeAhead.Reset();
        }
        return false;
    }
    char character[6] = {};
    g_unichar_to_utf8(typed, character);
    int current = combo.get_active_row_number();
    int chosen = typeAhead.Type(areas, current, character, event->time);
    if (chosen != current) {
        combo.set_active(chosen);
    }
    if (openList != nullptr && chosen >= 0) {
        GList* items = gtk_container_get_children(GTK_CONTAINER(openList));
        if (auto* item = static_cast<GtkWidget*>(g_list_nth_data(items, chosen))) {
            gtk_menu_shell_select_item(GTK_MENU_SHELL(openList), item);
        }
        g_list_free(items);
    }
    return true;
}

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

    Gtk::Label nameLabel(std::string("Your Name (") + kNameLimit + ")");
    Gtk::Entry nameEntry;
    nameLabel.set_xalign(0.0f);
    nameLabel.set_mnemonic_widget(nameEntry);
    nameEntry.get_accessible()->set_name("Your Name");
    // The server cuts a longer name without a word, so the box takes no more
    // and says so, to the eye and to a screen reader.
    nameEntry.set_max_length(kMaxNameCharacters);
    nameEntry.get_accessible()->set_description(kNameLimit);
    nameEntry.set_text(fields.name);
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
    TypeAhead typeAhead;
    areaCombo.signal_key_press_event().connect(
        [&](GdkEventKey* event) {
            return OnAreaKey(event, areaCombo, nullptr, fields.areas, typeAhead);
        },
        false);

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
    // The open list is a menu of its own window, attached to the combo. The
    // combo takes every key-press the menu gets, so the keys are looked at
    // before that, as the menu's events.
    GList* lists = gtk_menu_get_for_attach_widget(GTK_WIDGET(areaCombo.gobj()));
    if (lists != nullptr) {
        GtkMenu* openList = GTK_MENU(lists->data);
        Glib::wrap(GTK_WIDGET(openList))->signal_event().connect([&, openList](GdkEvent* event) {
            return event->type == GDK_KEY_PRESS &&
                   OnAreaKey(&event->key, areaCombo, openList, fields.areas, typeAhead);
        });
    }
    if (RunModalDialog(dialog.gobj(), kCloseResponse) != kSendResponse) {
        return false;
    }
    fields.name = nameEntry.get_text();
    fields.selectedArea = areaCombo.get_active_row_number();
    return true;
}

}  // namespace platform
