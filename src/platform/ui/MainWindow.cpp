#include "platform/ui/MainWindow.h"

#include <gdk/gdkkeysyms.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <gtkmm.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/sys/AppName.h"
#include "platform/sys/Display.h"
#include "platform/ui/CairoCanvas.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ParentWindow.h"
#include "platform/ui/Picture.h"
#include "platform/ui/VirtualKeys.h"

namespace platform {
namespace {

std::atomic<bool> quitPosted{false};
GMainLoop* runningLoop = nullptr;  // the loop of the running run, if any
// The main window while it is shown: message boxes and dialogs open over it.
GtkWindow* shownWindow = nullptr;

bool IsLatinLetter(unsigned int keyval) {
    return (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) ||
           (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z);
}

// X key codes (evdev + 8, the same in the older xfree86 set) of the keypad
// keys, and the digit each carries.
int KeypadDigitOfHardwareKey(unsigned int keycode) {
    switch (keycode) {
        case 90:
            return 0;
        case 87:
            return 1;
        case 88:
            return 2;
        case 89:
            return 3;
        case 83:
            return 4;
        case 84:
            return 5;
        case 85:
            return 6;
        case 79:
            return 7;
        case 80:
            return 8;
        case 81:
            return 9;
        default:
            return -1;
    }
}

// The keypad digit of a keypad keyval, with Num Lock on or off.
int KeypadDigitOfKeyval(unsigned int keyval) {
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) {
        return static_cast<int>(keyval - GDK_KEY_KP_0);
    }
    switch (keyval) {
        case GDK_KEY_KP_Insert:
            return 0;
        case GDK_KEY_KP_End:
            return 1;
        case GDK_KEY_KP_Down:
            return 2;
        case GDK_KEY_KP_Page_Down:
            return 3;
        case GDK_KEY_KP_Left:
            return 4;
        case GDK_KEY_KP_Begin:
            return 5;
        case GDK_KEY_KP_Right:
            return 6;
        case GDK_KEY_KP_Home:
            return 7;
        case GDK_KEY_KP_Up:
            return 8;
        case GDK_KEY_KP_Page_Up:
            return 9;
        default:
            return -1;
    }
}

bool IsKeypadKeyval(unsigned int keyval) {
    return keyval >= GDK_KEY_KP_Space && keyval <= GDK_KEY_KP_9;
}

// Keys with a fixed virtual-key code, by keyval.
int VirtualKeyOfKeyval(unsigned int keyval) {
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) {
        return 0x70 + static_cast<int>(keyval - GDK_KEY_F1);
    }
    switch (keyval) {
        case GDK_KEY_BackSpace:
            return 0x08;
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab:
            return 0x09;
        case GDK_KEY_Clear:
            return 0x0C;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            return VK_RETURN;
        case GDK_KEY_Shift_L:
        case GDK_KEY_Shift_R:
            return 0x10;
        case GDK_KEY_Control_L:
        case GDK_KEY_Control_R:
            return 0x11;
        case GDK_KEY_Alt_L:
        case GDK_KEY_Alt_R:
        case GDK_KEY_Meta_L:
        case GDK_KEY_Meta_R:
        case GDK_KEY_ISO_Level3_Shift:
            return 0x12;
        case GDK_KEY_Pause:
            return 0x13;
        case GDK_KEY_Caps_Lock:
            return 0x14;
        case GDK_KEY_Escape:
            return VK_ESCAPE;
        case GDK_KEY_space:
        case GDK_KEY_KP_Space:
            return VK_SPACE;
        case GDK_KEY_Page_Up:
            return 0x21;
        case GDK_KEY_Page_Down:
            return 0x22;
        case GDK_KEY_End:
            return 0x23;
        case GDK_KEY_Home:
            return 0x24;
        case GDK_KEY_Left:
            return VK_LEFT;
        case GDK_KEY_Up:
            return VK_UP;
        case GDK_KEY_Right:
            return VK_RIGHT;
        case GDK_KEY_Down:
            return VK_DOWN;
        case GDK_KEY_Select:
            return 0x29;
        case GDK_KEY_Print:
            return 0x2C;
        case GDK_KEY_Insert:
            return 0x2D;
        case GDK_KEY_Delete:
            return 0x2E;
        case GDK_KEY_Help:
            return 0x2F;
        case GDK_KEY_Super_L:
            return 0x5B;
        case GDK_KEY_Super_R:
            return 0x5C;
        case GDK_KEY_Menu:
            return 0x5D;
        case GDK_KEY_KP_Multiply:
            return 0x6A;
        case GDK_KEY_KP_Add:
            return 0x6B;
        case GDK_KEY_KP_Separator:
            return 0x6C;
        case GDK_KEY_KP_Subtract:
            return 0x6D;
        case GDK_KEY_KP_Decimal:
        case GDK_KEY_KP_Delete:
            return 0x6E;
        case GDK_KEY_KP_Divide:
            return 0x6F;
        case GDK_KEY_Num_Lock:
            return 0x90;
        case GDK_KEY_Scroll_Lock:
            return 0x91;
        case GDK_KEY_semicolon:
            return 0xBA;
        case GDK_KEY_equal:
            return 0xBB;
        case GDK_KEY_comma:
            return 0xBC;
        case GDK_KEY_minus:
            return 0xBD;
        case GDK_KEY_period:
            return 0xBE;
        case GDK_KEY_slash:
            return 0xBF;
        case GDK_KEY_grave:
            return 0xC0;
        case GDK_KEY_bracketleft:
            return 0xDB;
        case GDK_KEY_backslash:
            return 0xDC;
        case GDK_KEY_bracketright:
            return 0xDD;
        case GDK_KEY_apostrophe:
            return 0xDE;
        default:
            return 0;
    }
}

}  // namespace

int VirtualKeyFromGdkKey(unsigned int keyval, unsigned int hardwareKeycode,
                         unsigned int unshiftedKeyval) {
    // The keypad by its physical key first: with Num Lock off its keys give
    // Home, End, arrows..., and a player cannot see the Num Lock light.
    if (IsKeypadKeyval(keyval) || IsKeypadKeyval(unshiftedKeyval)) {
        int digit = KeypadDigitOfHardwareKey(hardwareKeycode);
        if (digit < 0) {
            digit = KeypadDigitOfKeyval(keyval);
        }
        if (digit < 0) {
            digit = KeypadDigitOfKeyval(unshiftedKeyval);
        }
        if (digit >= 0) {
            return VK_NUMPAD0 + digit;
        }
    }
    // The digit row by position, whatever the shift state and the layout
    // prints on it (X key codes 10..19 are 1..9, 0).
    if (hardwareKeycode >= 10 && hardwareKeycode <= 19 && !IsLatinLetter(unshiftedKeyval)) {
        return VK_0 + static_cast<int>((hardwareKeycode - 9) % 10);
    }
    if (IsLatinLetter(unshiftedKeyval)) {
        return static_cast<int>(gdk_keyval_to_upper(unshiftedKeyval));
    }
    if (IsLatinLetter(keyval)) {
        return static_cast<int>(gdk_keyval_to_upper(keyval));
    }
    if (unshiftedKeyval >= GDK_KEY_0 && unshiftedKeyval <= GDK_KEY_9) {
        return static_cast<int>(unshiftedKeyval);
    }
    int code = VirtualKeyOfKeyval(keyval);
    if (code == 0) {
        code = VirtualKeyOfKeyval(unshiftedKeyval);
    }
    return code;
}

bool OpenDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || x11[0] == '\0') && (wayland == nullptr || wayland[0] == '\0')) {
        return false;
    }
    // The window names itself by the application id (Wayland's app_id, the
    // X11 WM_CLASS), which is also the desktop entry's name: the desktop then
    // shows the entry's name and icon for the running game.
    g_set_prgname(kApplicationId);
    g_set_application_name("ZankoruC");
    // The player's command line is not GTK's. GDK would make the WM_CLASS
    // class from the program name with its first letter raised; its --class
    // option keeps it the id itself.
    std::string classOption = std::string("--class=") + kApplicationId;
    char* arguments[] = {const_cast<char*>(kApplicationId), classOption.data(), nullptr};
    int count = 2;
    char** argv = arguments;
    // GTK would set the whole locale from the environment again, LC_NUMERIC
    // included; UseEnvironmentLocale has set it, numbers the C way.
    gtk_disable_setlocale();
    if (!gtk_init_check(&count, &argv)) {
        return false;
    }
    Gtk::Main::init_gtkmm_internals();
    SetDisplayAvailable(true);
    return true;
}

void PostQuitMessage(int /*exitCode: the process always ends with 0*/) {
    quitPosted = true;
    if (runningLoop != nullptr) {
        g_main_loop_quit(runningLoop);
    }
}

bool QuitRequested() {
    return quitPosted;
}

// A repeating timer that keeps its schedule: each tick is due one period after
// the previous one was due, not after it ran.
struct TimerSource {
    GSource source;
    WindowHandler** handler;
    int id;
    gint64 periodUs;
    gint64 dueUs;
};

struct MainWindow::Impl {
    Gtk::Window window;
    Gtk::DrawingArea area;
    WindowHandler* handler = nullptr;
    GMainLoop* loop = nullptr;
    bool ended = false;
    int result = -1;
    bool minimised = false;
    std::vector<GSource*> timers;
    std::vector<guint> signalSources;
    // Keys whose press this window received and whose release is still due.
    std::set<guint> pressedKeys;

    void StopTimers() {
        for (GSource* timer : timers) {
            g_source_destroy(timer);
            g_source_unref(timer);
        }
        timers.clear();
    }
};

namespace {

// The loop asks how long it may sleep; answering here, instead of setting a
// ready time on every tick, spares the loop a wake-up per tick.
gboolean PrepareTimer(GSource* source, gint* timeoutMs) {
    auto* timer = reinterpret_cast<TimerSource*>(source);
    gint64 left = timer->dueUs - g_source_get_time(source);
    if (left <= 0) {
        *timeoutMs = 0;
        return TRUE;
    }
    *timeoutMs = static_cast<gint>((left + 999) / 1000);
    return FALSE;
}

gboolean CheckTimer(GSource* source) {
    auto* timer = reinterpret_cast<TimerSource*>(source);
    return g_source_get_time(source) >= timer->dueUs;
}

gboolean DispatchTimer(GSource* source, GSourceFunc, gpointer) {
    auto* timer = reinterpret_cast<TimerSource*>(source);
    gint64 now = g_get_monotonic_time();
    timer->dueUs += timer->periodUs;
    // Far behind (the thread was blocked, say by a slow request): ticks are
    // not made up in a burst, as a window timer's are not.
    if (timer->dueUs <= now) {
        timer->dueUs = now + timer->periodUs;
    }
    // The next tick is due before the handler runs: the handler may open a
    // message box whose nested loop must go on ticking.
    if (*timer->handler != nullptr) {
        (*timer->handler)->OnTick(timer->id);
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs timerFuncs = {PrepareTimer, CheckTimer, DispatchTimer, nullptr, nullptr, nullptr};

}  // namespace

MainWindow::MainWindow(const std::string& title, int clientWidth, int clientHeight)
    : impl(std::make_unique<Impl>()) {
    Gtk::Window& window = impl->window;
    window.set_title(title);
    window.set_resizable(false);
    window.set_deletable(false);
    window.set_skip_taskbar_hint(false);
    window.set_position(Gtk::WIN_POS_CENTER);
    impl->area.set_size_request(clientWidth, clientHeight);
    window.add(impl->area);

    Impl* state = impl.get();
    impl->area.signal_draw().connect(
        [state](const Cairo::RefPtr<Cairo::Context>& cr) {
            if (state->handler != nullptr) {
                CairoCanvas canvas(cr->cobj(), state->area.get_allocated_width(),
                                   state->area.get_allocated_height());
                state->handler->OnDraw(canvas, state->minimised);
            }
            return true;
        },
        false);
    // A release counts only for a key pressed in this window: the Enter that
    // closes a message box on its press must not reach the scene on its
    // release and choose a menu item.
    window.signal_key_press_event().connect(
        [state](GdkEventKey* event) {
            state->pressedKeys.insert(event->hardware_keycode);
            return false;
        },
        false);
    window.signal_focus_out_event().connect(
        [state](GdkEventFocus*) {
            state->pressedKeys.clear();
            return false;
        },
        false);
    window.signal_key_release_event().connect(
        [state](GdkEventKey* event) {
            if (state->pressedKeys.erase(event->hardware_keycode) == 0) {
                return true;
            }
            GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(event->window));
            guint unshifted = event->keyval;
            guint translated = 0;
            if (gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode,
                                                    static_cast<GdkModifierType>(0), event->group,
                                                    &translated, nullptr, nullptr, nullptr)) {
                unshifted = translated;
            }
            // A non-Latin layout: letters are named by the first (Latin) group.
            if (!IsLatinLetter(unshifted) && event->group != 0 &&
                gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode,
                                                    static_cast<GdkModifierType>(0), 0, &translated,
                                                    nullptr, nullptr, nullptr) &&
                IsLatinLetter(translated)) {
                unshifted = translated;
            }
            int code = VirtualKeyFromGdkKey(event->keyval, event->hardware_keycode, unshifted);
            if (state->handler != nullptr) {
                state->handler->OnKeyRelease(code);
            }
            return true;
        },
        false);
    // The window has no close box; a close request still ends the run the
    // orderly way, and the window is destroyed by the run, not here.
    window.signal_delete_event().connect(
        [state](GdkEventAny*) {
            if (state->handler != nullptr) {
                state->handler->OnCloseRequest();
            }
            return true;
        },
        false);
    window.signal_window_state_event().connect(
        [state](GdkEventWindowState* event) {
            state->minimised = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
            return false;
        },
        false);
    impl->area.show();
}

MainWindow::~MainWindow() {
    impl->StopTimers();
    for (guint source : impl->signalSources) {
        g_source_remove(source);
    }
}

int MainWindow::Run(WindowHandler& handler) {
    impl->handler = &handler;
    impl->ended = false;
    impl->result = -1;
    AllowDialogs();
    // Logout, a closed terminal, Ctrl+C or kill: the orderly end, so the
    // settings are saved.
    GSourceFunc onSignal = [](gpointer data) -> gboolean {
        auto* state = static_cast<Impl*>(data);
        if (state->handler != nullptr) {
            state->handler->OnCloseRequest();
        }
        // A box waiting for OK (one at start, say) or the score dialog would
        // hold the end up until someone answered it.
        CloseAllDialogs();
        return G_SOURCE_CONTINUE;
    };
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        impl->signalSources.push_back(g_unix_signal_add(signal, onSignal, impl.get()));
    }
    handler.OnStart();
    if (!impl->ended && !QuitRequested()) {
        impl->window.show();
        impl->window.present();
        shownWindow = impl->window.gobj();
        impl->loop = g_main_loop_new(nullptr, FALSE);
        runningLoop = impl->loop;
        g_main_loop_run(impl->loop);
        runningLoop = nullptr;
        g_main_loop_unref(impl->loop);
        impl->loop = nullptr;
    }
    impl->StopTimers();
    handler.OnEnd();
    impl->window.hide();
    shownWindow = nullptr;
    impl->handler = nullptr;
    for (guint source : impl->signalSources) {
        g_source_remove(source);
    }
    impl->signalSources.clear();
    return impl->ended ? impl->result : -1;
}

void MainWindow::EndRun(int result) {
    if (impl->ended) {
        return;
    }
    impl->ended = true;
    impl->result = result;
    if (impl->loop != nullptr) {
        g_main_loop_quit(impl->loop);
    }
}

void MainWindow::SetTimer(int id, int periodMs) {
    GSource* source = g_source_new(&timerFuncs, sizeof(TimerSource));
    auto* timer = reinterpret_cast<TimerSource*>(source);
    timer->handler = &impl->handler;
    timer->id = id;
    timer->periodUs = static_cast<gint64>(periodMs) * 1000;
    timer->dueUs = g_get_monotonic_time() + timer->periodUs;
    // Ticks go on inside nested modal loops that a tick itself opened.
    g_source_set_can_recurse(source, TRUE);
    g_source_attach(source, nullptr);
    impl->timers.push_back(source);
}

void MainWindow::SetIcon(const Picture& icon) {
    // An installed game's icon is in the desktop's icon theme, at every size,
    // under the application id; the picture stands in where the theme has
    // none (a build tree, an unpacked package), for this window and the
    // dialogs alike.
    if (gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), kApplicationId)) {
        gtk_window_set_icon_name(impl->window.gobj(), kApplicationId);
        gtk_window_set_default_icon_name(kApplicationId);
        return;
    }
    auto* pixbuf = static_cast<GdkPixbuf*>(icon.NativePixbuf());
    if (pixbuf != nullptr) {
        gtk_window_set_icon(impl->window.gobj(), pixbuf);
        gtk_window_set_default_icon(pixbuf);
    }
}

void MainWindow::RequestRepaint() {
    impl->area.queue_draw();
}

GtkWindow* ParentForDialogs() {
    return shownWindow;
}

}  // namespace platform
