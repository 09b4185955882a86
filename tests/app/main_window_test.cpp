// The GTK main window on a real (virtual) display: it calls its handler's
// overridables in order, its timer keeps ticking inside a message box's nested
// loop, quit requests and termination signals end the run the orderly way, and
// released keys arrive as Windows virtual-key codes. Run under xvfb-run.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <csignal>
#include <functional>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/VirtualKeys.h"

namespace {

class Recorder : public platform::DialogHandler {
  public:
    explicit Recorder(platform::MainWindow& window) : window(window) {}

    bool OnInitDialog() override {
        events.push_back("init");
        window.SetTimer(1, 20);
        return true;
    }
    void OnTimer(int id) override {
        EXPECT_EQ(id, 1);
        ++ticks;
        if (onTick) {
            onTick(ticks);
        }
    }
    void OnKeyUp(int code) override { keys.push_back(code); }
    void OnPaint(platform::Canvas& canvas, bool minimised) override {
        ++paints;
        width = canvas.ClientWidth();
        height = canvas.ClientHeight();
        EXPECT_FALSE(minimised);
        canvas.FillBlack(0, 0, width, height);
    }
    void OnCancel() override {
        events.push_back("cancel");
        window.EndModalLoop(2);
    }
    void OnDestroy() override {
        events.push_back("destroy");
        ticksAtDestroy = ticks;
    }

    platform::MainWindow& window;
    std::function<void(int)> onTick;
    std::vector<std::string> events;
    std::vector<int> keys;
    int ticks = 0;
    int ticksAtDestroy = -1;
    int paints = 0;
    int width = 0;
    int height = 0;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(platform::OpenDisplay()) << "needs an X display (run under xvfb-run)";
        platform::TakeQuitRequest();
        platform::TakeShownMessages();
        // A run that hangs would hang the suite: end it after a while.
        watchdog = g_timeout_add_seconds(
            20,
            [](gpointer data) -> gboolean {
                static_cast<MainWindowTest*>(data)->timedOut = true;
                platform::PostQuitMessage(99);
                return G_SOURCE_REMOVE;
            },
            this);
    }
    void TearDown() override {
        if (!timedOut) {
            g_source_remove(watchdog);
        }
        EXPECT_FALSE(timedOut) << "the run did not end by itself";
        platform::TakeQuitRequest();
    }

    guint watchdog = 0;
    bool timedOut = false;
};

TEST_F(MainWindowTest, RunsInitTicksAndDestroyInOrderUntilTheRunEnds) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    handler.onTick = [&](int tick) {
        if (tick == 1) {
            window.RequestRepaint();
        }
        if (tick == 5) {
            window.EndModalLoop(7);
        }
    };
    EXPECT_EQ(window.RunModal(handler), 7);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"init", "destroy"}));
    EXPECT_EQ(handler.ticksAtDestroy, 5);
    EXPECT_EQ(handler.ticks, 5);
    EXPECT_GE(handler.paints, 1);
    EXPECT_EQ(handler.width, 732);
    EXPECT_EQ(handler.height, 570);
    EXPECT_NE(window.NativeWindow(), nullptr);
}

TEST_F(MainWindowTest, TicksGoOnInsideAMessageBoxThatATickOpened) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    int nestedTicks = 0;
    bool boxOpen = false;
    handler.onTick = [&](int tick) {
        if (boxOpen) {
            // Inside the box's loop: let a few ticks pass, then close it.
            if (++nestedTicks == 4) {
                GList* toplevels = gtk_window_list_toplevels();
                for (GList* item = toplevels; item != nullptr; item = item->next) {
                    if (GTK_IS_MESSAGE_DIALOG(item->data)) {
                        gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_OK);
                    }
                }
                g_list_free(toplevels);
            }
            return;
        }
        if (tick == 2) {
            boxOpen = true;
            platform::ShowMessageBox("text", "zankoruc", &window);
            boxOpen = false;
        }
        if (tick == 8) {
            window.EndModalLoop(1);
        }
    };
    EXPECT_EQ(window.RunModal(handler), 1);
    EXPECT_EQ(nestedTicks, 4);
    EXPECT_EQ(platform::TakeShownMessages().size(), 1u);
}

TEST_F(MainWindowTest, AQuitRequestEndsTheRunAfterTheTickThatPostedIt) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    handler.onTick = [](int tick) {
        if (tick == 3) {
            platform::PostQuitMessage(0);
        }
    };
    EXPECT_EQ(window.RunModal(handler), -1);
    EXPECT_EQ(handler.ticks, 3);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"init", "destroy"}));
    int code = -1;
    EXPECT_TRUE(platform::TakeQuitRequest(&code));
    EXPECT_EQ(code, 0);
}

TEST_F(MainWindowTest, TerminationSignalsAskTheWindowToClose) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        platform::MainWindow window("ZankoruC", 732, 570);
        Recorder handler(window);
        handler.onTick = [signal](int tick) {
            if (tick == 2) {
                raise(signal);
            }
        };
        EXPECT_EQ(window.RunModal(handler), 2);
        EXPECT_EQ(handler.events, (std::vector<std::string>{"init", "cancel", "destroy"}));
    }
}

TEST_F(MainWindowTest, ReleasedKeysArriveOnceAsVirtualKeyCodes) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    // Real key events through the X server's test extension, as a keyboard
    // would send them: a press, then a release.
    const std::vector<std::string> presses = {"Down",    "Return",  "Escape", "shift+a",
                                              "shift+1", "KP_Home", "KP_3",   "space"};
    size_t next = 0;
    handler.onTick = [&](int tick) {
        GtkWidget* widget = GTK_WIDGET(window.NativeWindow());
        if (tick == 3) {
            gdk_window_focus(gtk_widget_get_window(widget), GDK_CURRENT_TIME);
        }
        if (tick < 5 || tick % 3 != 0) {
            return;  // shown and focused first; then one key every three ticks
        }
        if (next < presses.size()) {
            std::string command = "xdotool key " + presses[next++];
            g_spawn_command_line_async(command.c_str(), nullptr);
        } else if (tick > 5 + 3 * static_cast<int>(presses.size()) + 30 || tick > 400) {
            window.EndModalLoop(1);
        }
    };
    window.RunModal(handler);
    // Shift, and the Num Lock that xdotool toggles to reach the keypad's
    // digits, are keys as well: keep the codes of the keys asked for.
    std::vector<int> keys;
    for (int code : handler.keys) {
        if (code != 0x10 && code != 0x90) {
            keys.push_back(code);
        }
    }
    EXPECT_EQ(keys, (std::vector<int>{platform::VK_DOWN, platform::VK_RETURN, platform::VK_ESCAPE,
                                      0x41, 0x31, 0x67, 0x63, platform::VK_SPACE}));
}

TEST_F(MainWindowTest, AHeldKeyActsOnceAtItsRelease) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    int presses = 0;
    g_signal_connect(window.NativeWindow(), "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer count) -> gboolean {
                         ++*static_cast<int*>(count);
                         return FALSE;
                     }),
                     &presses);
    handler.onTick = [&](int tick) {
        if (tick == 3) {
            gdk_window_focus(gtk_widget_get_window(GTK_WIDGET(window.NativeWindow())),
                             GDK_CURRENT_TIME);
        }
        if (tick == 5) {
            g_spawn_command_line_async("xdotool keydown Down", nullptr);
        }
        // Held for well over the keyboard's repeat delay (1.5 s).
        if (tick == 80) {
            g_spawn_command_line_async("xdotool keyup Down", nullptr);
        }
        if (tick == 110) {
            window.EndModalLoop(1);
        }
    };
    window.RunModal(handler);
    EXPECT_GT(presses, 1) << "the key repeated while held";
    EXPECT_EQ(handler.keys, (std::vector<int>{platform::VK_DOWN}));
}

TEST_F(MainWindowTest, OnlyKeysPressedInTheWindowReportTheirRelease) {
    platform::MainWindow window("ZankoruC", 732, 570);
    Recorder handler(window);
    bool boxOpen = false;
    int nestedTicks = 0;
    int closedAt = -1;
    auto focusWindow = [&] {
        gdk_window_focus(gtk_widget_get_window(GTK_WIDGET(window.NativeWindow())),
                         GDK_CURRENT_TIME);
    };
    handler.onTick = [&](int tick) {
        if (boxOpen) {
            // Down is pressed in the box, then Enter closes the box on its
            // press; both keys are still down when the box has gone.
            ++nestedTicks;
            if (nestedTicks == 10) {
                g_spawn_command_line_async("xdotool keydown Down", nullptr);
            }
            if (nestedTicks == 14) {
                g_spawn_command_line_async("xdotool keydown Return", nullptr);
            }
            return;
        }
        if (tick == 3) {
            focusWindow();
        }
        if (tick == 5) {
            boxOpen = true;
            platform::ShowMessageBox("text", "zankoruc", &window);
            boxOpen = false;
            closedAt = handler.ticks;  // the ticks inside the box counted too
            // As a window manager would: the focus goes back to the window.
            focusWindow();
            return;
        }
        if (closedAt < 0) {
            return;
        }
        if (tick == closedAt + 5) {
            g_spawn_command_line_async("xdotool keyup Return", nullptr);
        }
        if (tick == closedAt + 10) {
            g_spawn_command_line_async("xdotool keyup Down", nullptr);
        }
        if (tick == closedAt + 15) {
            g_spawn_command_line_async("xdotool key Up", nullptr);
        }
        if (tick == closedAt + 40) {
            window.EndModalLoop(1);
        }
    };
    window.RunModal(handler);
    EXPECT_GE(nestedTicks, 14);
    EXPECT_EQ(handler.keys, (std::vector<int>{platform::VK_UP}));
}

}  // namespace
