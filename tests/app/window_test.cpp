// The GTK main window on a virtual display: its handler is called in order,
// the timer keeps ticking inside a message box that a tick opened, quit
// requests and termination signals end the run the orderly way, real key
// releases arrive as the game's key codes, and the canvas paints what the
// scenes ask. Run under xvfb-run.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/CairoCanvas.h"
#include "platform/ui/DesktopDialogs.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Picture.h"
#include "platform/ui/VirtualKeys.h"

namespace {

class Recorder : public platform::WindowHandler {
  public:
    explicit Recorder(platform::MainWindow& window) : window(window) {}
    void OnStart() override {
        events.push_back("start");
        window.SetTimer(1, 20);
    }
    void OnTick(int) override { onTick(++ticks); }
    void OnKeyRelease(int code) override {
        if (code != 0x10 && code != 0x90) {  // Shift and the Num Lock xdotool toggles
            keys.push_back(code);
        }
    }
    void OnDraw(platform::Canvas& canvas, bool minimised) override {
        EXPECT_FALSE(minimised);
        width = canvas.ClientWidth();
    }
    void OnCloseRequest() override {
        events.push_back("close");
        window.EndRun(2);
    }
    void OnEnd() override { events.push_back("end@" + std::to_string(ticks)); }

    platform::MainWindow& window;
    std::function<void(int)> onTick = [](int) {};
    std::vector<std::string> events;
    std::vector<int> keys;
    int ticks = 0;
    int width = 0;
};

// Calls `act` on every top-level window of the program.
void ForEachWindow(const std::function<void(GtkWindow*)>& act) {
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        act(GTK_WINDOW(item->data));
    }
    g_list_free(toplevels);
}

TEST(MainWindow, TicksRunInsideAMessageBoxAndTheRunEndsInOrder) {
    ASSERT_TRUE(platform::OpenDisplay()) << "needs an X display (run under xvfb-run)";
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    platform::DesktopMessageBoxes boxes;
    int insideBox = 0;
    handler.onTick = [&](int tick) {
        if (tick == 3) {
            boxes.Show("text", "zankoruc");  // returns after the ticks below
            EXPECT_EQ(insideBox, 4);
        } else if (tick > 3 && insideBox < 4) {
            if (++insideBox == 4) {
                ForEachWindow([](GtkWindow* window) {
                    if (GTK_IS_MESSAGE_DIALOG(window)) {
                        gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_OK);
                    }
                });
            }
        } else if (tick == 12) {
            window.EndRun(7);
        }
    };
    EXPECT_EQ(window.Run(handler), 7);
    ForEachWindow(
        [](GtkWindow* shown) { EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(shown))); });
    EXPECT_EQ(handler.events, (std::vector<std::string>{"start", "end@12"}));
    EXPECT_EQ(handler.width, 732);
}

TEST(MainWindow, RealKeyReleasesArriveOnceAsKeyCodes) {
    ASSERT_TRUE(platform::OpenDisplay());
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    // A press and a release each, as a keyboard sends them through the X
    // server; Space is held past the repeat delay and still acts once.
    const std::vector<std::string> commands = {"key Down",    "key Return",    "key Escape",
                                               "key shift+a", "key shift+1",   "key KP_Home",
                                               "key KP_3",    "keydown space", "keyup space"};
    size_t next = 0;
    handler.onTick = [&](int tick) {
        if (tick == 3) {
            ForEachWindow(gtk_window_present);
        }
        if (tick >= 6 && tick % 4 == 0 && next < commands.size()) {
            g_spawn_command_line_async(("xdotool " + commands[next++]).c_str(), nullptr);
        } else if (tick > 6 + 4 * static_cast<int>(commands.size()) + 100) {
            window.EndRun(1);
        }
    };
    window.Run(handler);
    EXPECT_EQ(handler.keys,
              (std::vector<int>{platform::VK_DOWN, platform::VK_RETURN, platform::VK_ESCAPE, 0x41,
                                0x31, 0x67, 0x63, platform::VK_SPACE}));
}

TEST(CairoCanvas, FillsBlackWritesTextOnItsBackgroundAndLeavesBlackOut) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 100);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    platform::CairoCanvas canvas(cr, 200, 100);
    canvas.FillBlack(0, 0, 100, 100);
    canvas.DrawText({"Arial", 400}, {255, 255, 255}, {0, 0, 255}, 110, 10, "W");
    // A 2 x 1 picture, black then grey, scaled over red: the black pixel is
    // left out, the grey one drawn.
    std::string file = "/tmp/zk-canvas-" + std::to_string(getpid()) + ".pnm";
    std::ofstream(file) << "P6\n2 1\n255\n" << std::string(3, '\0') << std::string(3, '\x80');
    platform::Picture picture;
    ASSERT_TRUE(picture.Load("/tmp\\" + file.substr(5)));
    std::remove(file.c_str());
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 80, 20, 10);
    cairo_fill(cr);
    canvas.DrawPictureBlackTransparent(picture, 0, 80, 20, 10);
    cairo_surface_flush(surface);
    auto pixel = [&](int x, int y) {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        return *reinterpret_cast<const uint32_t*>(
                   data + y * cairo_image_surface_get_stride(surface) + x * 4) &
               0xFFFFFF;
    };
    EXPECT_EQ(pixel(50, 50), 0x000000u);
    EXPECT_EQ(pixel(150, 95), 0xFFFFFFu);  // below the text's extent
    EXPECT_EQ(pixel(111, 11), 0x0000FFu);  // the text's own background
    EXPECT_EQ(pixel(5, 85), 0xFF0000u);    // the black half left out
    EXPECT_EQ(pixel(15, 85), 0x808080u);   // the grey half drawn
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

// The named entries and the combo box of the dialog titled `title`.
struct DialogControls {
    GtkDialog* dialog = nullptr;
    std::vector<GtkEntry*> entries;
    GtkComboBox* combo = nullptr;
};

void Collect(GtkWidget* widget, DialogControls& controls) {
    if (GTK_IS_COMBO_BOX(widget)) {
        controls.combo = GTK_COMBO_BOX(widget);
    } else if (GTK_IS_ENTRY(widget)) {
        controls.entries.push_back(GTK_ENTRY(widget));
    } else if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* item = children; item != nullptr; item = item->next) {
            Collect(GTK_WIDGET(item->data), controls);
        }
        g_list_free(children);
    }
}

// Runs `ask`, which opens a dialog titled `title`; once it is shown, `act`
// fills it in and answers it from inside the dialog's own loop.
bool AnswerDialog(const char* title, std::function<void(DialogControls&)> act,
                  std::function<bool()> ask) {
    struct Pending {
        const char* title;
        std::function<void(DialogControls&)> act;
    } pending{title, std::move(act)};
    g_timeout_add(
        100,
        [](gpointer data) -> gboolean {
            auto* pending = static_cast<Pending*>(data);
            GList* toplevels = gtk_window_list_toplevels();
            DialogControls controls;
            for (GList* item = toplevels; item != nullptr; item = item->next) {
                GtkWindow* window = GTK_WINDOW(item->data);
                if (GTK_IS_DIALOG(window) && gtk_widget_get_mapped(GTK_WIDGET(window)) &&
                    g_strcmp0(gtk_window_get_title(window), pending->title) == 0) {
                    controls.dialog = GTK_DIALOG(window);
                    Collect(GTK_WIDGET(window), controls);
                }
            }
            g_list_free(toplevels);
            if (controls.dialog == nullptr) {
                return G_SOURCE_CONTINUE;
            }
            pending->act(controls);
            return G_SOURCE_REMOVE;
        },
        &pending);
    return ask();
}

std::string AccessibleName(GtkEntry* entry) {
    return atk_object_get_name(gtk_widget_get_accessible(GTK_WIDGET(entry)));
}

TEST(DesktopDialogs, ScoreAndPasswordFieldsAreNamedAndComeBackAsTyped) {
    ASSERT_TRUE(platform::OpenDisplay());
    platform::DesktopDialogs dialogs;
    platform::ScoreDialogFields fields{"Old", {"Secret", "Japan", "UK"}, 1};
    auto typeAndSend = [](DialogControls& c) {
        ASSERT_EQ(c.entries.size(), 1u);
        EXPECT_EQ(AccessibleName(c.entries[0]), "Your Name");
        EXPECT_STREQ(gtk_entry_get_text(c.entries[0]), "Old");
        EXPECT_EQ(gtk_combo_box_get_active(c.combo), 1);  // preselected
        gtk_entry_set_text(c.entries[0], "New");
        gtk_combo_box_set_active(c.combo, 2);
        gtk_widget_activate(GTK_WIDGET(c.entries[0]));  // Enter in the name box sends
    };
    EXPECT_TRUE(AnswerDialog("Do you register a record with a net?", typeAndSend,
                             [&] { return dialogs.AskScore(fields); }));
    EXPECT_EQ(fields.name, "New");
    EXPECT_EQ(fields.selectedArea, 2);
    auto close = [](DialogControls& c) { gtk_dialog_response(c.dialog, 2); };
    EXPECT_FALSE(AnswerDialog("Do you register a record with a net?", close,
                              [&] { return dialogs.AskScore(fields); }));
    EXPECT_EQ(fields.name, "New");

    platform::Credentials credentials;
    auto login = [](DialogControls& c) {
        ASSERT_EQ(c.entries.size(), 2u);
        // The grid lists its children last first.
        GtkEntry* user = c.entries[AccessibleName(c.entries[0]) == "User Name" ? 0 : 1];
        GtkEntry* password = c.entries[user == c.entries[0] ? 1 : 0];
        EXPECT_EQ(AccessibleName(user), "User Name");
        EXPECT_EQ(AccessibleName(password), "Password");
        EXPECT_FALSE(gtk_entry_get_visibility(password));
        gtk_entry_set_text(user, "me");
        gtk_entry_set_text(password, "secret");
        gtk_widget_activate(GTK_WIDGET(password));
    };
    EXPECT_TRUE(AnswerDialog("Enter Network Password", login, [&] {
        return dialogs.AskCredentials({"example.org", "realm"}, credentials);
    }));
    EXPECT_EQ(credentials.user, "me");
    EXPECT_EQ(credentials.password, "secret");
}

// Last: a quit request keeps any later run from starting.
TEST(MainWindow, SignalsAskToCloseAndAQuitRequestEndsTheRun) {
    ASSERT_TRUE(platform::OpenDisplay());
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        platform::MainWindow window("ZankoruC", 732, 570);
        Recorder handler(window);
        handler.onTick = [signal](int tick) {
            if (tick == 2) {
                raise(signal);
            }
        };
        EXPECT_EQ(window.Run(handler), 2);
        EXPECT_EQ(handler.events, (std::vector<std::string>{"start", "close", "end@2"}));
    }
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    handler.onTick = [](int tick) {
        if (tick == 3) {
            platform::PostQuitMessage(0);
        }
    };
    EXPECT_EQ(window.Run(handler), -1);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"start", "end@3"}));
}

}  // namespace
