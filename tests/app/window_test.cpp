// The GTK main window on a virtual display: its handler is called in order,
// the timer keeps ticking inside a message box that a tick opened, quit
// requests and termination signals end the run the orderly way, real key
// releases arrive as the game's key codes, the canvas paints what the
// scenes ask, and the wait while a score travels keeps the window alive and
// can be cancelled. Run under xvfb-run.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
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
        onClose();
        window.EndRun(2);
    }
    void OnEnd() override { events.push_back("end@" + std::to_string(ticks)); }

    platform::MainWindow& window;
    std::function<void(int)> onTick = [](int) {};
    std::function<void()> onClose = [] {};
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

using SteadyClock = std::chrono::steady_clock;
const char kSendingTitle[] = "Sending your score…";

double MsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The shown dialog titled `title`, or null.
GtkWindow* ShownDialog(const char* title) {
    GtkWindow* found = nullptr;
    ForEachWindow([&](GtkWindow* window) {
        if (GTK_IS_DIALOG(window) && gtk_widget_get_mapped(GTK_WIDGET(window)) &&
            g_strcmp0(gtk_window_get_title(window), title) == 0) {
            found = window;
        }
    });
    return found;
}

GtkWidget* FindProgressBar(GtkWidget* widget) {
    if (GTK_IS_PROGRESS_BAR(widget)) {
        return widget;
    }
    GtkWidget* found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* item = children; item != nullptr && found == nullptr; item = item->next) {
            found = FindProgressBar(GTK_WIDGET(item->data));
        }
        g_list_free(children);
    }
    return found;
}

// A worker that honours the flag, a little late, as a request does; it gives
// up after 10 s.
void WaitForCancel(const std::atomic<bool>& cancelled, std::atomic<bool>& returned) {
    SteadyClock::time_point start = SteadyClock::now();
    while (!cancelled && MsBetween(start, SteadyClock::now()) < 10000) {
        SleepMs(5);
    }
    SleepMs(200);
    returned = true;
}

// The main window runs and, on its third tick, waits on `work` as the game
// does after a won game. Every tick during the wait goes to `duringWait`; a
// close request of the window cancels the wait, as the game window's does.
struct Wait {
    platform::DesktopDialogs dialogs;
    std::function<void(const std::atomic<bool>&)> work;
    std::function<void()> duringWait = [] {};
    bool result = false;
    int ticks = 0;  // the window's ticks during the wait
    SteadyClock::time_point start, end;
};

void RunWait(Wait& wait) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    handler.onClose = [&wait] { wait.dialogs.CancelSending(); };
    bool waiting = false;
    handler.onTick = [&](int tick) {
        if (waiting) {
            ++wait.ticks;
            wait.duringWait();
        } else if (tick == 3) {
            waiting = true;
            wait.start = SteadyClock::now();
            wait.result = wait.dialogs.RunWhileSending(wait.work);
            wait.end = SteadyClock::now();
            waiting = false;
            window.EndRun(1);
        }
    };
    window.Run(handler);
}

TEST(MainWindow, ShowsOnlyForASlowAnswerNamedForAScreenReaderAndTheWindowTicksOn) {
    ASSERT_TRUE(platform::OpenDisplay());
    for (int workMs : {60, 900}) {
        SCOPED_TRACE(workMs);
        Wait wait;
        wait.work = [workMs](const std::atomic<bool>&) { SleepMs(workMs); };
        double shownAt = -1;
        wait.duringWait = [&] {
            GtkWindow* dialog = ShownDialog(kSendingTitle);
            if (dialog == nullptr || shownAt >= 0) {
                return;
            }
            shownAt = MsBetween(wait.start, SteadyClock::now());
            AtkObject* window = gtk_widget_get_accessible(GTK_WIDGET(dialog));
            EXPECT_EQ(atk_object_get_role(window), ATK_ROLE_DIALOG);
            EXPECT_STREQ(atk_object_get_name(window), kSendingTitle);
            GtkWidget* bar = FindProgressBar(GTK_WIDGET(dialog));
            ASSERT_NE(bar, nullptr);
            EXPECT_EQ(atk_object_get_role(gtk_widget_get_accessible(bar)), ATK_ROLE_PROGRESS_BAR);
            EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(bar)), kSendingTitle);
            GtkWidget* focus = gtk_window_get_focus(dialog);
            ASSERT_TRUE(focus != nullptr && GTK_IS_BUTTON(focus));
            EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(focus)), "Cancel");
            EXPECT_TRUE(gtk_window_get_modal(dialog));
            GtkWindow* parent = gtk_window_get_transient_for(dialog);
            EXPECT_STREQ(parent != nullptr ? gtk_window_get_title(parent) : "", "ZankoruC");
        };
        RunWait(wait);
        EXPECT_TRUE(wait.result);
        if (workMs < 300) {
            EXPECT_LT(shownAt, 0) << "a quick answer flashes no dialog";
        } else {
            EXPECT_GE(shownAt, 300);
            EXPECT_LT(shownAt, 700);
        }
        // The window's 20 ms timer ticks on through the wait.
        EXPECT_GE(wait.ticks, workMs / 20 / 2);
        EXPECT_EQ(ShownDialog(kSendingTitle), nullptr);
    }
}

// Every way out of the wait: the dialog goes at once, while the worker still
// works, and the call returns as soon as the worker has noticed.
TEST(MainWindow, EscCancelTheCloseBoxAndASignalAbandonTheWaitAtOnce) {
    ASSERT_TRUE(platform::OpenDisplay());
    struct Case {
        const char* way;
        void (*act)(GtkWindow* dialog);
    };
    const Case cases[] = {
        {"Esc", [](GtkWindow*) { g_spawn_command_line_async("xdotool key Escape", nullptr); }},
        // Space presses the button that has the focus: Cancel.
        {"Cancel", [](GtkWindow*) { g_spawn_command_line_async("xdotool key space", nullptr); }},
        {"the close box", [](GtkWindow* dialog) { gtk_window_close(dialog); }},
        {"SIGTERM", [](GtkWindow*) { raise(SIGTERM); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        std::atomic<bool> returned{false};
        Wait wait;
        wait.work = [&returned](const std::atomic<bool>& cancelled) {
            WaitForCancel(cancelled, returned);
        };
        SteadyClock::time_point actedAt;
        bool acted = false;
        bool goneWhileBusy = false;
        int ticksAfter = 0;
        wait.duringWait = [&] {
            GtkWindow* dialog = ShownDialog(kSendingTitle);
            if (!acted && dialog != nullptr) {
                acted = true;
                actedAt = SteadyClock::now();
                c.act(dialog);
            } else if (acted) {
                ++ticksAfter;
                goneWhileBusy = goneWhileBusy || (dialog == nullptr && !returned);
            }
        };
        RunWait(wait);
        ASSERT_TRUE(acted);
        EXPECT_FALSE(wait.result);
        EXPECT_TRUE(returned);
        EXPECT_TRUE(goneWhileBusy);
        EXPECT_GE(ticksAfter, 5);  // the window ticks on while the worker finishes
        EXPECT_LT(MsBetween(actedAt, wait.end), 1000);
    }
}

// A password asked from the worker: the dialog opens on the window's thread,
// the waiting dialog steps aside meanwhile, and a signal while the password
// dialog is up still ends the wait.
TEST(MainWindow, APasswordAskedFromTheWorkerOpensOnTheWindowsThread) {
    ASSERT_TRUE(platform::OpenDisplay());
    for (bool signalled : {false, true}) {
        SCOPED_TRACE(signalled ? "SIGTERM at the password" : "typed");
        Wait wait;
        bool accepted = false;
        platform::Credentials credentials;
        wait.work = [&](const std::atomic<bool>& cancelled) {
            SleepMs(450);  // the waiting dialog is up by now
            accepted = wait.dialogs.AskCredentials({"example.org", "realm"}, credentials);
            for (int i = 0; i < 80 && !cancelled; ++i) {
                SleepMs(5);
            }
        };
        bool seenBefore = false, hiddenMeanwhile = false, seenAfter = false;
        int answered = 0;
        SteadyClock::time_point signalledAt;
        wait.duringWait = [&] {
            GtkWindow* waiting = ShownDialog(kSendingTitle);
            GtkWindow* password = ShownDialog("Enter Network Password");
            if (password == nullptr) {
                (answered > 0 ? seenAfter : seenBefore) |= waiting != nullptr;
                return;
            }
            hiddenMeanwhile = waiting == nullptr;
            if (answered++ > 0) {
                if (answered > 150) {  // still up after 3 s: the test ends anyway
                    gtk_dialog_response(GTK_DIALOG(password), GTK_RESPONSE_CANCEL);
                }
                return;
            }
            if (signalled) {
                signalledAt = SteadyClock::now();
                raise(SIGTERM);
                return;
            }
            DialogControls controls;
            Collect(GTK_WIDGET(password), controls);
            ASSERT_EQ(controls.entries.size(), 2u);
            for (GtkEntry* entry : controls.entries) {
                gtk_entry_set_text(entry, AccessibleName(entry) == "User Name" ? "me" : "secret");
            }
            gtk_dialog_response(GTK_DIALOG(password), GTK_RESPONSE_OK);
        };
        RunWait(wait);
        EXPECT_TRUE(seenBefore);
        EXPECT_TRUE(hiddenMeanwhile);
        EXPECT_EQ(ShownDialog("Enter Network Password"), nullptr);
        if (signalled) {
            EXPECT_FALSE(accepted);
            EXPECT_FALSE(wait.result);
            EXPECT_LT(MsBetween(signalledAt, wait.end), 1000);
        } else {
            EXPECT_TRUE(accepted);
            EXPECT_EQ(credentials.user, "me");
            EXPECT_EQ(credentials.password, "secret");
            EXPECT_TRUE(seenAfter);
            EXPECT_TRUE(wait.result);
        }
    }
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
