// The score dialog and the credentials dialog on a real display (run under
// Xvfb): their controls and what a screen reader is told about them, the
// preselection, the keys that close them, and the score dialog's colours.
// Each case opens a dialog and lets a timer act on it from inside the
// dialog's own modal loop, as a player would.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/CredentialsDialog.h"
#include "platform/ui/Window.h"
#include "ranking/CDlgSendNet.h"
#include "platform/sys/Display.h"

namespace {

const char kTitle[] = "Do you register a record with a net?";

struct Controls {
    Gtk::Dialog* dialog = nullptr;
    Gtk::Label* nameLabel = nullptr;
    Gtk::Label* areaLabel = nullptr;
    Gtk::Entry* nameEntry = nullptr;
    Gtk::ComboBoxText* areaCombo = nullptr;
    std::vector<Gtk::Entry*> entries;  // every entry outside the combo box
    std::vector<Gtk::Label*> labels;
    std::vector<Gtk::Button*> buttons;
};

void Collect(Gtk::Widget* widget, Controls& controls) {
    if (auto* label = dynamic_cast<Gtk::Label*>(widget)) {
        controls.labels.push_back(label);
        if (label->get_text() == "Your Name") {
            controls.nameLabel = label;
        } else if (label->get_text() == "Aria") {
            controls.areaLabel = label;
        }
    }
    if (auto* entry = dynamic_cast<Gtk::Entry*>(widget)) {
        if (controls.areaCombo == nullptr || !entry->is_ancestor(*controls.areaCombo)) {
            controls.nameEntry = entry;
            controls.entries.push_back(entry);
        }
    }
    if (auto* combo = dynamic_cast<Gtk::ComboBoxText*>(widget)) {
        controls.areaCombo = combo;
        return;  // its inner widgets are not controls of the dialog
    }
    if (auto* button = dynamic_cast<Gtk::Button*>(widget)) {
        controls.buttons.push_back(button);
        return;
    }
    if (auto* container = dynamic_cast<Gtk::Container*>(widget)) {
        for (Gtk::Widget* child : container->get_children()) {
            Collect(child, controls);
        }
    }
}

Gtk::Dialog* FindShownDialog(const std::string& title) {
    for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
        auto* shown = dynamic_cast<Gtk::Dialog*>(window);
        if (shown != nullptr && shown->get_title() == title && shown->get_mapped()) {
            return shown;
        }
    }
    return nullptr;
}

// Calls `run`, which opens the dialog titled `title`, and runs `act` on its
// controls once it is on screen and drawn; returns what `run` returns. A
// dialog still open after ten seconds is closed and the case fails, so a
// broken case cannot hang.
int RunShown(const std::string& title, std::function<void(Controls&)> act,
             std::function<int()> run) {
    struct Pending {
        std::string title;
        std::function<void(Controls&)> act;
        int ticks = 0;
        bool acted = false;
        bool gaveUp = false;
    } pending{title, std::move(act)};
    guint actSource = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* pending = static_cast<Pending*>(data);
            Gtk::Dialog* shown = FindShownDialog(pending->title);
            // Give it a few ticks to draw itself.
            if (shown == nullptr || ++pending->ticks < 6) {
                return G_SOURCE_CONTINUE;
            }
            pending->acted = true;
            Controls controls;
            controls.dialog = shown;
            Collect(shown, controls);
            pending->act(controls);
            return G_SOURCE_REMOVE;
        },
        &pending);
    guint guardSource = g_timeout_add(
        10000,
        [](gpointer data) -> gboolean {
            auto* pending = static_cast<Pending*>(data);
            if (Gtk::Dialog* shown = FindShownDialog(pending->title)) {
                pending->gaveUp = true;
                shown->response(CDlgSendNet::kClose);
            }
            return G_SOURCE_CONTINUE;
        },
        &pending);
    int result = run();
    if (!pending.acted) {
        g_source_remove(actSource);
    }
    g_source_remove(guardSource);
    EXPECT_TRUE(pending.acted);
    EXPECT_FALSE(pending.gaveUp) << "the dialog did not close";
    return result;
}

int RunDialog(CDlgSendNet& dialog, std::function<void(Controls&)> act) {
    return RunShown(kTitle, std::move(act), [&] { return dialog.DoModal(nullptr); });
}

// A key press and release delivered to the widget's window the way the
// display delivers them, so GTK's own key handling decides what happens.
void SendKey(Gtk::Widget& widget, guint key) {
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(widget.gobj()));
    GdkDisplay* display = gdk_window_get_display(window);
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), key, &keys, &count);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = key;
        event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
    g_free(keys);
}

std::string AccessibleName(Gtk::Widget& widget) {
    return atk_object_get_name(gtk_widget_get_accessible(widget.gobj()));
}

bool LabelledBy(Gtk::Widget& widget, Gtk::Widget& label) {
    AtkRelationSet* relations =
        atk_object_ref_relation_set(gtk_widget_get_accessible(widget.gobj()));
    bool found = false;
    AtkRelation* relation =
        atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY);
    if (relation != nullptr) {
        GPtrArray* targets = atk_relation_get_target(relation);
        for (guint i = 0; i < targets->len; ++i) {
            found =
                found || g_ptr_array_index(targets, i) == gtk_widget_get_accessible(label.gobj());
        }
    }
    g_object_unref(relations);
    return found;
}

TEST(SendNetDialogScreen, ControlsAreNamedForScreenReadersAndEnterSends) {
    CDlgSendNet dialog;
    dialog.name = "Kel";
    dialog.area = "Japan";

    int result = RunDialog(dialog, [](Controls& c) {
        ASSERT_NE(nullptr, c.nameLabel);
        ASSERT_NE(nullptr, c.areaLabel);
        ASSERT_NE(nullptr, c.nameEntry);
        ASSERT_NE(nullptr, c.areaCombo);
        EXPECT_TRUE(c.dialog->get_modal());

        // "Your Name, edit" and "Aria, combo box".
        EXPECT_EQ(c.nameEntry, c.nameLabel->get_mnemonic_widget());
        EXPECT_EQ(c.areaCombo, c.areaLabel->get_mnemonic_widget());
        EXPECT_EQ("Your Name", AccessibleName(*c.nameEntry));
        EXPECT_EQ("Aria", AccessibleName(*c.areaCombo));
        EXPECT_TRUE(LabelledBy(*c.nameEntry, *c.nameLabel));
        EXPECT_TRUE(LabelledBy(*c.areaCombo, *c.areaLabel));
        EXPECT_EQ(ATK_ROLE_COMBO_BOX,
                  atk_object_get_role(gtk_widget_get_accessible(GTK_WIDGET(c.areaCombo->gobj()))));

        // The name box has the focus; the list takes no typing.
        EXPECT_EQ(c.nameEntry, c.dialog->get_focus());
        EXPECT_EQ("Kel", c.nameEntry->get_text());
        EXPECT_EQ(0, c.nameEntry->get_max_length());
        EXPECT_FALSE(c.areaCombo->get_has_entry());
        EXPECT_EQ("Japan", c.areaCombo->get_active_text());

        ASSERT_EQ(2u, c.buttons.size());
        std::vector<std::string> texts;
        for (Gtk::Button* button : c.buttons) {
            texts.push_back(button->get_label());
        }
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Send"));
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Close"));
        for (Gtk::Button* button : c.buttons) {
            EXPECT_EQ(button->get_label() == "Send", button->has_default()) << button->get_label();
        }

        c.nameEntry->set_text("Kel Tester");
        c.areaCombo->set_active_text("Uganda");
        SendKey(*c.nameEntry, GDK_KEY_Return);
    });

    EXPECT_EQ(CDlgSendNet::kSend, result);
    EXPECT_EQ("Kel Tester", dialog.name);
    EXPECT_EQ("Uganda", dialog.area);
}

TEST(SendNetDialogScreen, ListHoldsAllEntriesAndPreselectsByExactMatch) {
    CDlgSendNet dialog;
    dialog.area = "";
    int result = RunDialog(dialog, [](Controls& c) {
        ASSERT_NE(nullptr, c.areaCombo);
        Glib::RefPtr<Gtk::TreeModel> model = c.areaCombo->get_model();
        ASSERT_EQ(195, static_cast<int>(model->children().size()));
        std::string first;
        std::string last;
        model->children().begin()->get_value(0, first);
        (--model->children().end())->get_value(0, last);
        EXPECT_EQ("Secret", first);
        EXPECT_EQ("Zimbabwe", last);
        EXPECT_EQ("Secret", c.areaCombo->get_active_text());
        SendKey(*c.nameEntry, GDK_KEY_Return);
    });
    EXPECT_EQ(CDlgSendNet::kSend, result);
    EXPECT_EQ("", dialog.name);
    EXPECT_EQ("Secret", dialog.area);

    // A stored area in other letter case selects nothing; "Send" gives "".
    dialog.area = "japan";
    result = RunDialog(dialog, [](Controls& c) {
        EXPECT_EQ(-1, c.areaCombo->get_active_row_number());
        for (Gtk::Button* button : c.buttons) {
            if (button->get_label() == "Send") {
                button->clicked();
            }
        }
    });
    EXPECT_EQ(CDlgSendNet::kSend, result);
    EXPECT_EQ("", dialog.area);
}

TEST(SendNetDialogScreen, EscAndCloseLeaveTheValuesUnchanged) {
    CDlgSendNet dialog;
    dialog.name = "Kel";
    dialog.area = "UK";
    int result = RunDialog(dialog, [](Controls& c) {
        c.nameEntry->set_text("changed");
        SendKey(*c.nameEntry, GDK_KEY_Escape);
    });
    EXPECT_EQ(CDlgSendNet::kClose, result);
    EXPECT_EQ("Kel", dialog.name);
    EXPECT_EQ("UK", dialog.area);

    result = RunDialog(dialog, [](Controls& c) {
        c.areaCombo->set_active_text("USA");
        for (Gtk::Button* button : c.buttons) {
            if (button->get_label() == "Close") {
                button->clicked();
            }
        }
    });
    EXPECT_EQ(CDlgSendNet::kClose, result);
    EXPECT_EQ("UK", dialog.area);
}

TEST(SendNetDialogScreen, BackgroundIsBlackAndLabelsAreLight) {
    CDlgSendNet dialog;
    int darkInside = 0;
    int lightInside = 0;
    bool cornerBlack = false;
    RunDialog(dialog, [&](Controls& c) {
        Glib::RefPtr<Gdk::Window> window = c.dialog->get_window();
        int width = window->get_width();
        int height = window->get_height();
        Glib::RefPtr<Gdk::Pixbuf> shot = Gdk::Pixbuf::create(window, 0, 0, width, height);
        ASSERT_TRUE(shot);
        auto pixel = [&](int x, int y) {
            const guint8* p =
                shot->get_pixels() + y * shot->get_rowstride() + x * shot->get_n_channels();
            return (p[0] + p[1] + p[2]) / 3;
        };
        cornerBlack = pixel(3, 3) < 16;
        Gtk::Allocation box = c.nameLabel->get_allocation();
        for (int y = box.get_y(); y < box.get_y() + box.get_height(); ++y) {
            for (int x = box.get_x(); x < box.get_x() + box.get_width(); ++x) {
                int value = pixel(x, y);
                darkInside += value < 32 ? 1 : 0;
                lightInside += value > 200 ? 1 : 0;
            }
        }
        c.dialog->response(CDlgSendNet::kClose);
    });
    EXPECT_TRUE(cornerBlack);
    EXPECT_GT(darkInside, 0);
    EXPECT_GT(lightInside, 10);
}

TEST(CredentialsDialogScreen, AsksNameAndHiddenPasswordEnterAcceptsEscCancels) {
    const char title[] = "Enter Network Password";
    platform::Credentials credentials;
    bool accepted = false;
    RunShown(
        title,
        [](Controls& c) {
            ASSERT_EQ(2u, c.entries.size());
            Gtk::Entry* user = c.entries[0];
            Gtk::Entry* password = c.entries[1];
            if (AccessibleName(*user) != "User Name") {
                std::swap(user, password);
            }
            EXPECT_EQ("User Name", AccessibleName(*user));
            EXPECT_EQ("Password", AccessibleName(*password));
            EXPECT_TRUE(user->get_visibility());
            EXPECT_FALSE(password->get_visibility());
            EXPECT_EQ(user, c.dialog->get_focus());
            bool namesSite = false;
            for (Gtk::Label* label : c.labels) {
                namesSite = namesSite || label->get_text() == "Site: rank.example\nRealm: ranking";
            }
            EXPECT_TRUE(namesSite);
            user->set_text("kel");
            password->set_text("p w");
            SendKey(*password, GDK_KEY_Return);
        },
        [&] {
            accepted = platform::AskCredentials({"rank.example", "ranking"}, credentials);
            return 0;
        });
    EXPECT_TRUE(accepted);
    EXPECT_EQ("kel", credentials.user);
    EXPECT_EQ("p w", credentials.password);

    platform::Credentials untouched{"u", "p"};
    RunShown(
        title,
        [](Controls& c) {
            c.entries[0]->set_text("typed");
            SendKey(*c.entries[0], GDK_KEY_Escape);
        },
        [&] {
            accepted = platform::AskCredentials({"rank.example", ""}, untouched);
            return 0;
        });
    EXPECT_FALSE(accepted);
    EXPECT_EQ("u", untouched.user);
    platform::TakeCredentialsPrompts();
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "No display: the dialog cannot be shown.\n");
        return 1;
    }
    Gtk::Main::init_gtkmm_internals();
    platform::SetDisplayAvailable(true);
    return RUN_ALL_TESTS();
}
