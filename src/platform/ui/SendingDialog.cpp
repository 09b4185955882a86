// The wait while the score travels. The request runs on a worker thread; the
// window's thread goes on running its loop, so the game window keeps ticking
// and drawing, signals are heard, and a slow answer brings up a dialog with a
// pulsing bar and Cancel.
//
// Threads. The worker calls no GTK. When its work returns it adds an idle
// callback (adding a source is safe from any thread), and the window's thread
// iterates its loop until that callback has run. Only then is the worker
// joined: the join never waits on a worker that may still need the window's
// thread, and nothing on this stack goes before the worker is done with it.
//
// Password. A server answering 401 makes the work ask for a password. GTK
// lives on the window's thread, so AskCredentials from the worker posts the
// question as an idle callback and waits on a condition variable. The
// window's thread hides the waiting dialog, runs the password dialog, brings
// the waiting dialog back and hands over the answer. That dialog cannot be
// cancelled from the waiting one (it is hidden), but a close request can
// arrive meanwhile: the cancel then answers the password dialog with Cancel,
// which releases the worker, which then sees the cancel flag.
//
// Cancel. Cancel, Esc or the close box sets the flag and hides the dialog at
// once; the loop goes on, with nothing shown, until the worker notices.
#include <gtk/gtk.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/sys/Display.h"
#include "platform/ui/DesktopDialogs.h"
#include "platform/ui/ParentWindow.h"

namespace platform {
namespace {

const char kTitle[] = "Sending your score…";
// A quicker answer shows no dialog: a flash would only startle.
constexpr guint kDialogDelayMs = 300;
constexpr guint kPulseMs = 100;
// Adwaita writes a bar's text in its text colour at 40 % over the dialog's
// background: 2.3:1. The theme's full text colour reads at over 4.5:1.
const char kBarCss[] = "progressbar { color: @theme_fg_color; }";

// Set on a sending worker's own thread: whose worker it is.
thread_local const DesktopDialogs* workerOf = nullptr;

}  // namespace

struct DesktopDialogs::Sending {
    // The worker's password question, answered on the window's thread.
    struct Question {
        Question(Sending& sending, const CredentialsPrompt& prompt)
            : sending(sending), prompt(prompt) {}
        Sending& sending;
        const CredentialsPrompt& prompt;
        Credentials typed;
        bool accepted = false;
        bool done = false;  // under the mutex
    };

    explicit Sending(DesktopDialogs& owner) : owner(owner) {}

    DesktopDialogs& owner;
    std::atomic<bool> cancelled{false};
    // The rest belongs to the window's thread, but for the mutex and what it
    // guards.
    bool workDone = false;
    bool dialogDue = false;  // the delay has passed
    bool askingPassword = false;
    GtkWidget* blocker = nullptr;  // holds the game window's input
    GtkWidget* dialog = nullptr;
    GtkWidget* bar = nullptr;
    guint delayTimer = 0;
    guint pulseTimer = 0;
    std::mutex mutex;
    std::condition_variable answered;

    void Start() {
        // No key reaches the finished duel while the score travels, not even
        // before the dialog shows.
        blocker = gtk_invisible_new();
        gtk_grab_add(blocker);
        delayTimer = g_timeout_add(kDialogDelayMs, &Sending::OnDelayOver, this);
    }

    void Show() {
        if (dialog == nullptr) {
            Build();
        }
        gtk_widget_show_all(dialog);
        gtk_window_present(GTK_WINDOW(dialog));
        if (pulseTimer == 0) {
            pulseTimer = g_timeout_add(kPulseMs, &Sending::OnPulse, this);
        }
    }

    void Build() {
        dialog = gtk_dialog_new_with_buttons(kTitle, ParentForDialogs(), GTK_DIALOG_MODAL, "Cancel",
                                             GTK_RESPONSE_CANCEL, nullptr);
        gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        bar = gtk_progress_bar_new();
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(bar), kTitle);
        gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(bar), TRUE);
        gtk_progress_bar_set_pulse_step(GTK_PROGRESS_BAR(bar), 0.1);
        atk_object_set_name(gtk_widget_get_accessible(bar), kTitle);
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, kBarCss, -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(bar), GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        gtk_widget_set_size_request(bar, 300, -1);
        GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
        gtk_container_set_border_width(GTK_CONTAINER(content), 12);
        gtk_container_add(GTK_CONTAINER(content), bar);
        GtkWidget* cancel =
            gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        gtk_widget_set_can_default(cancel, TRUE);
        gtk_window_set_focus(GTK_WINDOW(dialog), cancel);
        // Esc and the close box answer too; the dialog is hidden, not
        // destroyed, until the wait is over.
        g_signal_connect(dialog, "response", G_CALLBACK(&Sending::OnResponse), this);
        g_signal_connect(dialog, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
    }

    void Hide() {
        RemoveSource(delayTimer);
        RemoveSource(pulseTimer);
        if (dialog != nullptr) {
            gtk_widget_hide(dialog);
        }
    }

    void Cancel() {
        cancelled = true;
        Hide();
        if (askingPassword) {
            CancelCredentialsDialog();
        }
    }

    void Finish() {
        Hide();
        if (dialog != nullptr) {
            gtk_widget_destroy(dialog);
        }
        gtk_grab_remove(blocker);
        gtk_widget_destroy(blocker);
    }

    static void RemoveSource(guint& source) {
        if (source != 0) {
            g_source_remove(source);
            source = 0;
        }
    }

    static gboolean OnDelayOver(gpointer data) {
        auto* self = static_cast<Sending*>(data);
        self->delayTimer = 0;
        self->dialogDue = true;
        if (!self->askingPassword) {
            self->Show();
        }
        return G_SOURCE_REMOVE;
    }

    static gboolean OnPulse(gpointer data) {
        gtk_progress_bar_pulse(GTK_PROGRESS_BAR(static_cast<Sending*>(data)->bar));
        return G_SOURCE_CONTINUE;
    }

    static void OnResponse(GtkDialog*, gint, gpointer data) {
        static_cast<Sending*>(data)->Cancel();
    }

    static gboolean OnWorkDone(gpointer data) {
        static_cast<Sending*>(data)->workDone = true;
        return G_SOURCE_REMOVE;
    }

    static gboolean OnQuestion(gpointer data) {
        auto* question = static_cast<Question*>(data);
        Sending& self = question->sending;
        Credentials typed;
        bool accepted = false;
        if (!self.cancelled) {
            self.askingPassword = true;
            if (self.dialog != nullptr) {
                gtk_widget_hide(self.dialog);
            }
            accepted = self.owner.AskCredentials(question->prompt, typed);
            self.askingPassword = false;
            if (self.dialogDue && !self.cancelled) {
                self.Show();
            }
        }
        {
            std::lock_guard<std::mutex> lock(self.mutex);
            question->typed = typed;
            question->accepted = accepted;
            question->done = true;
        }
        self.answered.notify_all();
        return G_SOURCE_REMOVE;
    }
};

bool DesktopDialogs::RunWhileSending(
    const std::function<void(const std::atomic<bool>& cancelled)>& work) {
    if (!DisplayAvailable()) {
        std::atomic<bool> cancelled{false};
        work(cancelled);
        return true;
    }
    Sending state(*this);
    sending = &state;
    state.Start();
    std::thread worker([this, &state, &work] {
        workerOf = this;
        work(state.cancelled);
        g_idle_add_full(G_PRIORITY_DEFAULT, &Sending::OnWorkDone, &state, nullptr);
    });
    while (!state.workDone) {
        g_main_context_iteration(nullptr, TRUE);
    }
    worker.join();
    state.Finish();
    sending = nullptr;
    return !state.cancelled;
}

void DesktopDialogs::CancelSending() {
    if (sending != nullptr) {
        sending->Cancel();
    }
}

bool DesktopDialogs::OnSendingWorker() const {
    return workerOf == this;
}

bool DesktopDialogs::AskCredentialsFromWorker(const CredentialsPrompt& prompt,
                                              Credentials& credentials) {
    // `sending` was set before this thread started and is cleared only after
    // it has been joined.
    Sending::Question question(*sending, prompt);
    g_idle_add_full(G_PRIORITY_DEFAULT, &Sending::OnQuestion, &question, nullptr);
    std::unique_lock<std::mutex> lock(sending->mutex);
    sending->answered.wait(lock, [&question] { return question.done; });
    if (question.accepted) {
        credentials = question.typed;
    }
    return question.accepted;
}

}  // namespace platform
