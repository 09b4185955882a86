#include "ranking/CDlgSendNet.h"

#include <gtk/gtk.h>
#include <gtkmm.h>

#include <deque>

#include "platform/ui/Window.h"
#include "platform/sys/Display.h"

namespace {

// The area list in display order; the list is not sorted.
// clang-format off
const char* const kAreas[CDlgSendNet::kAreaCount] = {
    "Secret", "Afghanistan", "Albania", "Algeria", "Andorra", "Angola", "Antigua and Barbuda",
    "Argentina", "Armenia", "Australia", "Austria", "Azerbaijan", "Bahamas", "Bahrain",
    "Bangladesh", "Barbados", "Belarus", "Belgium", "Belize", "Benin", "Bhutan", "Bolivia",
    "Bosnia and Herzegovina", "Botswana", "Brazil", "Brunei", "Bulgaria", "Burkina Faso",
    "Burundi", "Cambodia", "Cameroon", "Canada", "Cape Verde", "Central African Republic", "Chad",
    "Chile", "China", "Colombia", "Comoros", "Congo", "Costa Rica", "Croatia", "Cuba", "Cyprus",
    "Czech Republic", "Democratic Republic of Congo", "Denmark", "Djibouti", "Dominica",
    "Dominican Republic", "Ecuador", "Egypt", "El Salvador", "Equatorial Guinea", "Eritrea",
    "Estonia", "Ethiopia", "Fiji", "Finland", "France", "Gabon", "Gambia", "Georgia", "Germany",
    "Ghana", "Greece", "Greneda", "Guatemala", "Guinea", "Guinea Bissau", "Guyana", "Haiti",
    "Honduras", "Hungary", "Iceland", "India", "Indonesia", "Iran", "Iraq", "Ireland", "Israel",
    "Italy", "Ivory Coast", "Jamaica", "Japan", "Jordan", "Kazakhstan", "Kenya", "Kiribati",
    "Korea", "Kuwait", "Kyrgyz", "Laos", "Latvia", "Lebanon", "Lesotho", "Liberia", "Libya",
    "Liechtenstein", "Lithuania", "Luxembourg", "Macedonia", "Madagascar", "Malawi", "Malaysia",
    "Maldives", "Mali", "Malta", "Marshall Islands", "Mauritania", "Mauritius", "Mexico",
    "Micronesia", "Moldova", "Monaco", "Mongolia", "Montenegro", "Morocco", "Mozambique",
    "Myanmar", "Namibia", "Nauru", "Nepal", "Netherland", "Nicaragua", "Niger", "Nigeria",
    "Norway", "NZ", "Oman", "Pakistan", "Palau", "Panama", "Papua New Guinea", "Paraguay", "Peru",
    "Philippines", "Poland", "Portugal", "Qatar", "Romania", "Russia", "Rwanda",
    "Saint kitts and Nevis", "Saint Lucia", "Saint Vincent and the Grenadines", "Samoa",
    "San Marino", "Sao Tome and Principe", "Saudi Arabia", "Senegal", "Serbia", "Seychelles",
    "Sierra Leone", "Singapore", "Slovakia", "Slovenia", "Solomon Islands", "Somalia",
    "South Africa", "South Sudan", "Spain", "Sri Lanka", "Sudan", "Suriname", "Swaziland",
    "Sweden", "Swiss", "Syria", "Taiwan", "Tajikistan", "Tanzania", "Thailand", "Timor", "Togo",
    "Tonga", "Trinidad and Tobago", "Tunisia", "Turkey", "Turkmenistan", "Tuvalu", "UAE", "Uganda",
    "UK", "Ukraine", "Uruguay", "USA", "Uzbekistan", "Vanuatu", "Vatican City State", "Venezuela",
    "Viet Nam", "Yemen", "Zambia", "Zimbabwe",
};
// clang-format on

// The first entry equal to `text` byte for byte, or -1.
int IndexOfArea(const std::string& text) {
    for (int i = 0; i < CDlgSendNet::kAreaCount; ++i) {
        if (text == kAreas[i]) {
            return i;
        }
    }
    return -1;
}

std::deque<CDlgSendNet::ScriptedAnswer> scriptedAnswers;
std::vector<CDlgSendNet::Shown> shownDialogs;

// Black background; the labels in a light colour so they stay readable.
const char kDialogCss[] =
    "dialog { background-color: #000000; }\n"
    "label { color: #f0f0f0; }\n";

}  // namespace

CDlgSendNet::CDlgSendNet() = default;

CDlgSendNet::~CDlgSendNet() = default;

const char* CDlgSendNet::AreaAt(int index) {
    return index >= 0 && index < kAreaCount ? kAreas[index] : "";
}

int CDlgSendNet::PreselectedIndex(const std::string& storedArea) {
    return storedArea.empty() ? 0 : IndexOfArea(storedArea);
}

std::string CDlgSendNet::AreaForSelection(int index) {
    return AreaAt(index);
}

void CDlgSendNet::QueueScriptedAnswer(const ScriptedAnswer& answer) {
    scriptedAnswers.push_back(answer);
}

std::vector<CDlgSendNet::Shown> CDlgSendNet::TakeShown() {
    std::vector<Shown> taken;
    taken.swap(shownDialogs);
    return taken;
}

int CDlgSendNet::Confirm(const std::string& typedName, int selectedIndex) {
    name = typedName;
    area = AreaForSelection(selectedIndex);
    return kSend;
}

int CDlgSendNet::DoModal(platform::Window* owner) {
    int selected = PreselectedIndex(area);
    shownDialogs.push_back({name, selected});

    if (!scriptedAnswers.empty()) {
        ScriptedAnswer answer = scriptedAnswers.front();
        scriptedAnswers.pop_front();
        std::string typedName = answer.typeName ? answer.typedName : name;
        if (answer.chooseArea) {
            selected = IndexOfArea(answer.chosenArea);
        }
        return answer.result == kSend ? Confirm(typedName, selected) : kClose;
    }
    if (!platform::DisplayAvailable()) {
        return kClose;
    }

    Gtk::Dialog dialog("Do you register a record with a net?", true);
    dialog.set_resizable(false);
    if (owner != nullptr && owner->NativeWindow() != nullptr) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog.gobj()),
                                     static_cast<GtkWindow*>(owner->NativeWindow()));
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
    nameEntry.set_text(name);
    nameEntry.set_max_length(0);  // no length limit
    nameEntry.set_width_chars(28);
    nameEntry.set_hexpand(true);
    nameEntry.set_activates_default(true);

    Gtk::Label areaLabel("Aria");
    Gtk::ComboBoxText areaCombo(false);  // a list to choose from, no typing
    areaLabel.set_xalign(0.0f);
    areaLabel.set_mnemonic_widget(areaCombo);
    areaCombo.get_accessible()->set_name("Aria");
    for (const char* entry : kAreas) {
        areaCombo.append(entry);
    }
    areaCombo.set_active(selected);  // -1 leaves the box empty

    grid.attach(nameLabel, 0, 0, 1, 1);
    grid.attach(nameEntry, 1, 0, 1, 1);
    grid.attach(areaLabel, 0, 1, 1, 1);
    grid.attach(areaCombo, 1, 1, 1, 1);
    dialog.get_content_area()->pack_start(grid, Gtk::PACK_EXPAND_WIDGET);

    Gtk::Button* sendButton = dialog.add_button("Send", kSend);
    dialog.add_button("Close", kClose);
    sendButton->set_can_default(true);
    dialog.set_default_response(kSend);

    Glib::RefPtr<Gtk::CssProvider> css = Gtk::CssProvider::create();
    css->load_from_data(kDialogCss);
    for (Gtk::Widget* widget :
         {static_cast<Gtk::Widget*>(&dialog), static_cast<Gtk::Widget*>(&nameLabel),
          static_cast<Gtk::Widget*>(&areaLabel)}) {
        widget->get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }

    dialog.show_all();
    nameEntry.grab_focus();
    int response = dialog.run();
    if (response != kSend) {
        return kClose;
    }
    return Confirm(nameEntry.get_text(), areaCombo.get_active_row_number());
}
