// The GTK main window, its dialogs and canvas on a virtual display (run under
// xvfb-run): the timer ticks on inside message boxes and while a score
// travels, keys arrive as the game's codes, signals end the run in order.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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
        ticksAtClose = ticks;
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
    int ticksAtClose = -1;
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

std::string Be32(uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A PNG chunk with its CRC.
std::string PngChunk(const std::string& type, const std::string& data) {
    std::string chunk = type + data;
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : chunk) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return Be32(static_cast<uint32_t>(data.size())) + chunk + Be32(~crc);
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
    // A small file whose header claims more than 4096 x 4096 (8-bit RGB) is
    // refused before the decoder fills a picture that size (60000 x 60000
    // took 10 GB), and leaves the picture empty.
    std::string huge = file + ".png";
    std::ofstream(huge, std::ios::binary)
        << "\x89PNG\r\n\x1a\n"
        << PngChunk("IHDR", Be32(4097) + Be32(4097) + std::string("\x08\x02\0\0\0", 5))
        << PngChunk("IDAT", "") << std::string(3000, '\0');
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    platform::Picture hugePicture;
    EXPECT_FALSE(hugePicture.Load("/tmp\\" + huge.substr(5)));
    EXPECT_TRUE(hugePicture.IsNull());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024);  // kilobytes
    std::remove(huge.c_str());
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 80, 20, 10);
    cairo_fill(cr);
    canvas.DrawPictureBlackTransparent(picture, 0, 80, 20, 10);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    auto pixel = [&](int x, int y) {
        return *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(50, 50), 0x000000u);
    EXPECT_EQ(pixel(150, 95), 0xFFFFFFu);  // below the text's extent
    EXPECT_EQ(pixel(111, 11), 0x0000FFu);  // the text's own background
    EXPECT_EQ(pixel(5, 85), 0xFF0000u);    // the black half left out
    EXPECT_EQ(pixel(15, 85), 0x808080u);   // the grey half drawn
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

struct DialogControls {
    GtkDialog* dialog = nullptr;
    std::vector<GtkEntry*> entries;
    GtkComboBox* combo = nullptr;
    GtkWidget* bar = nullptr;
};

void Collect(GtkWidget* widget, DialogControls& controls) {
    if (GTK_IS_COMBO_BOX(widget)) {
        controls.combo = GTK_COMBO_BOX(widget);
    } else if (GTK_IS_ENTRY(widget)) {
        controls.entries.push_back(GTK_ENTRY(widget));
    } else if (GTK_IS_PROGRESS_BAR(widget)) {
        controls.bar = widget;
    } else if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* item = children; item != nullptr; item = item->next) {
            Collect(GTK_WIDGET(item->data), controls);
        }
        g_list_free(children);
    }
}

// The shown dialog titled `title` (dialog null if none) and its controls.
DialogControls Shown(const char* title) {
    DialogControls controls;
    ForEachWindow([&](GtkWindow* window) {
        if (GTK_IS_DIALOG(window) && gtk_widget_get_mapped(GTK_WIDGET(window)) &&
            g_strcmp0(gtk_window_get_title(window), title) == 0) {
            controls.dialog = GTK_DIALOG(window);
            Collect(GTK_WIDGET(window), controls);
        }
    });
    return controls;
}

std::string AccessibleName(GtkWidget* widget) {
    return atk_object_get_name(gtk_widget_get_accessible(widget));
}

TEST(DesktopDialogs, TheScoreDialogPreselectsTheAreaAndGivesBackWhatWasTyped) {
    ASSERT_TRUE(platform::OpenDisplay());
    platform::DesktopDialogs dialogs;
    platform::ScoreDialogFields fields{"Old", {"Secret", "Japan", "UK"}, 1};
    // Once the dialog is up, `act` answers it from inside the dialog's own loop.
    std::function<void(DialogControls&)> act;
    auto ask = [&] {
        g_timeout_add(
            100,
            [](gpointer data) -> gboolean {
                DialogControls c = Shown("Do you register a record with a net?");
                if (c.dialog != nullptr) {
                    (*static_cast<std::function<void(DialogControls&)>*>(data))(c);
                }
                return c.dialog == nullptr;
            },
            &act);
        return dialogs.AskScore(fields);
    };
    act = [](DialogControls& c) {
        ASSERT_EQ(c.entries.size(), 1u);
        EXPECT_STREQ(gtk_entry_get_text(c.entries[0]), "Old");
        EXPECT_EQ(gtk_combo_box_get_active(c.combo), 1);
        gtk_entry_set_text(c.entries[0], "New");
        gtk_combo_box_set_active(c.combo, 2);
        gtk_widget_activate(GTK_WIDGET(c.entries[0]));  // Enter in the name box sends
    };
    EXPECT_TRUE(ask());
    EXPECT_EQ(fields.name, "New");
    EXPECT_EQ(fields.selectedArea, 2);
    act = [](DialogControls& c) { gtk_dialog_response(c.dialog, 2); };  // Close
    EXPECT_FALSE(ask());
}

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;
const char kSendingTitle[] = "Sending your score…";

double MsSince(SteadyClock::time_point from) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - from).count();
}

// The main window waits on `work` at its third tick, as the game does after a won game, calling
// `duringWait` on every tick meanwhile; its close request cancels the wait, as the game's does.
struct Wait {
    platform::DesktopDialogs dialogs;
    std::function<void(const std::atomic<bool>&)> work;
    std::function<void()> duringWait = [] {};
    bool result = false;
    SteadyClock::time_point start, end;
};

void RunWait(Wait& wait) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    handler.onClose = [&wait] { wait.dialogs.CancelSending(); };
    bool waiting = false;
    handler.onTick = [&](int tick) {
        if (waiting) {
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

TEST(MainWindow, AQuickAnswerFlashesNoDialogAndTheWindowTicksOn) {
    ASSERT_TRUE(platform::OpenDisplay());
    Wait wait;
    wait.work = [](const std::atomic<bool>&) { std::this_thread::sleep_for(100ms); };
    int ticks = 0, shown = 0;
    wait.duringWait = [&] { ++ticks, shown += Shown(kSendingTitle).dialog != nullptr; };
    RunWait(wait);
    EXPECT_TRUE(wait.result);
    EXPECT_EQ(shown, 0);
    EXPECT_GE(ticks, 2);
}

// A slow answer brings the dialog up after 300 ms; every way out of the wait
// takes it away at once, while the worker still works, and the call returns
// as soon as the worker has noticed.
TEST(MainWindow, EscCancelAndTheCloseBoxAbandonTheWaitAtOnce) {
    ASSERT_TRUE(platform::OpenDisplay());
    const std::pair<const char*, void (*)(GtkDialog*)> cases[] = {
        {"Esc", [](GtkDialog*) { g_spawn_command_line_async("xdotool key Escape", nullptr); }},
        // Space presses the button that has the focus, which must be Cancel.
        {"Cancel", [](GtkDialog*) { g_spawn_command_line_async("xdotool key space", nullptr); }},
        {"the close box", [](GtkDialog* dialog) { gtk_window_close(GTK_WINDOW(dialog)); }},
    };
    for (auto [way, act] : cases) {
        SCOPED_TRACE(way);
        std::atomic<bool> returned{false};
        Wait wait;
        wait.work = [&returned](const std::atomic<bool>& cancelled) {
            // Honours the flag a little late, as a request does; gives up after 10 s.
            for (auto start = SteadyClock::now(); !cancelled && MsSince(start) < 10000;) {
                std::this_thread::sleep_for(5ms);
            }
            std::this_thread::sleep_for(200ms);
            returned = true;
        };
        SteadyClock::time_point actedAt;
        bool acted = false, goneWhileBusy = false;
        int ticksAfter = 0;
        wait.duringWait = [&, act = act] {
            DialogControls c = Shown(kSendingTitle);
            if (!acted && c.dialog != nullptr) {
                acted = true;
                actedAt = SteadyClock::now();
                EXPECT_GE(MsSince(wait.start), 300);
                EXPECT_LT(MsSince(wait.start), 700);
                ASSERT_NE(c.bar, nullptr);
                EXPECT_EQ(AccessibleName(c.bar), kSendingTitle);
                GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(c.dialog));
                EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(c.dialog)));
                EXPECT_STREQ(parent != nullptr ? gtk_window_get_title(parent) : "", "ZankoruC");
                act(c.dialog);
            } else if (acted) {
                ++ticksAfter;
                goneWhileBusy = goneWhileBusy || (c.dialog == nullptr && !returned);
            }
        };
        RunWait(wait);
        ASSERT_TRUE(acted);
        EXPECT_FALSE(wait.result);
        EXPECT_TRUE(returned);
        EXPECT_TRUE(goneWhileBusy);
        EXPECT_GE(ticksAfter, 5);  // the window ticks on while the worker finishes
        EXPECT_LT(MsSince(actedAt) - MsSince(wait.end), 1000);
    }
}

// A password asked from the worker opens on the window's thread, the waiting dialog stepping
// aside meanwhile; a signal while the password dialog is up still ends the wait.
TEST(MainWindow, APasswordAskedFromTheWorkerOpensOnTheWindowsThread) {
    ASSERT_TRUE(platform::OpenDisplay());
    for (bool signalled : {false, true}) {
        SCOPED_TRACE(signalled ? "SIGTERM at the password" : "typed");
        Wait wait;
        bool accepted = false;
        platform::Credentials credentials;
        wait.work = [&](const std::atomic<bool>& cancelled) {
            std::this_thread::sleep_for(450ms);  // the waiting dialog is up by now
            accepted = wait.dialogs.AskCredentials({"example.org", "realm"}, credentials);
            for (int i = 0; i < 80 && !cancelled; ++i) {
                std::this_thread::sleep_for(5ms);
            }
        };
        bool seenBefore = false, hiddenMeanwhile = false, seenAfter = false;
        int answered = 0;
        SteadyClock::time_point signalledAt;
        wait.duringWait = [&] {
            bool waiting = Shown(kSendingTitle).dialog != nullptr;
            DialogControls password = Shown("Enter Network Password");
            if (password.dialog == nullptr) {
                (answered > 0 ? seenAfter : seenBefore) |= waiting;
                return;
            }
            hiddenMeanwhile = !waiting;
            if (answered++ > 0) {
                if (answered > 150) {  // still up after 3 s: the test ends anyway
                    gtk_dialog_response(password.dialog, GTK_RESPONSE_CANCEL);
                }
                return;
            }
            if (signalled) {
                signalledAt = SteadyClock::now();
                raise(SIGTERM);
                return;
            }
            ASSERT_EQ(password.entries.size(), 2u);
            for (GtkEntry* entry : password.entries) {
                bool isUser = AccessibleName(GTK_WIDGET(entry)) == "User Name";
                EXPECT_EQ(isUser ? "User Name" : "Password", AccessibleName(GTK_WIDGET(entry)));
                EXPECT_EQ(gtk_entry_get_visibility(entry), isUser);
                gtk_entry_set_text(entry, isUser ? "me" : "secret");
            }
            gtk_widget_activate(GTK_WIDGET(password.entries[0]));  // Enter sends
        };
        RunWait(wait);
        EXPECT_TRUE(seenBefore);
        EXPECT_TRUE(hiddenMeanwhile);
        EXPECT_EQ(accepted, !signalled);
        EXPECT_EQ(wait.result, !signalled);
        EXPECT_EQ(seenAfter, !signalled);  // the waiting dialog comes back after the password
        EXPECT_EQ(credentials.user + ":" + credentials.password, signalled ? ":" : "me:secret");
        if (signalled) {
            EXPECT_LT(MsSince(signalledAt) - MsSince(wait.end), 1000);
        }
    }
}

TEST(MainWindow, SignalsAskToCloseAndAQuitRequestEndsTheRun) {
    ASSERT_TRUE(platform::OpenDisplay());
    // 0: a quit request, last, since it keeps any later run from starting.
    // SIGTERM comes while the score dialog waits inside a message box, and
    // must wait for neither.
    for (int signal : {SIGTERM, SIGINT, SIGHUP, 0}) {
        platform::MainWindow window("ZankoruC", 732, 570);
        Recorder handler(window);
        int at = signal == SIGTERM ? 4 : 2;
        bool scoreSent = true;
        handler.onTick = [&](int tick) {
            if (tick == 2 && at == 4) {
                platform::DesktopMessageBoxes().Show("text", "zankoruc");
            } else if (tick == 3 && at == 4) {
                platform::ScoreDialogFields fields{"Blind Samurai", {"Tokyo"}, 0};
                scoreSent = platform::DesktopDialogs().AskScore(fields);
            } else if (tick == at) {
                signal != 0 ? (void)raise(signal) : platform::PostQuitMessage(0);
            } else if (tick == 50) {  // a second on: the dialogs are answered for it
                ForEachWindow([](GtkWindow* dialog) {
                    if (GTK_IS_DIALOG(dialog)) {
                        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
                    }
                });
            }
        };
        EXPECT_EQ(window.Run(handler), signal != 0 ? 2 : -1);
        // A signal reaches the loop through GLib's worker thread: a busy
        // machine may tick a few times first, but never on after the close,
        // and never as long as the second after which the dialogs were answered.
        int closedAt = signal != 0 ? std::max(at, handler.ticksAtClose) : at;
        std::string end = "end@" + std::to_string(closedAt);
        std::vector<std::string> closed{"start", "close", end}, quit{"start", end};
        EXPECT_EQ(handler.events, signal != 0 ? closed : quit);
        EXPECT_LT(closedAt, 50);
        if (signal == SIGTERM) {
            EXPECT_FALSE(scoreSent);  // closed unsent, the settings saved as the run ends
        }
    }
}

}  // namespace
