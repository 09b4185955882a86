#include "app/CZankoruCApp.h"

#include <cstdio>

#include "app/CZankoruCDlg.h"
#include "platform/audio/SdlAudioOutput.h"
#include "platform/files/SettingsFile.h"
#include "platform/sys/AppName.h"
#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"
#include "platform/sys/Shell.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/MessageBox.h"

CZankoruCApp theApp;

namespace {

// The program's services until each area takes its own: the sound output and
// the message boxes are wired; nothing asks the dialogs or the HTTP client
// through the services yet, so those answer as if cancelled or offline.
class DesktopMessageBoxes final : public platform::MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption) override {
        platform::ShowMessageBox(text, caption);
    }
};
class NoDialogs final : public platform::Dialogs {
  public:
    bool AskScore(platform::ScoreDialogFields&) override { return false; }
    bool AskCredentials(const platform::CredentialsPrompt&, platform::Credentials&) override {
        return false;
    }
};
class NoHttpClient final : public platform::HttpClient {
  public:
    platform::HttpResponse Send(const platform::HttpRequest&) override { return {}; }
};

struct DesktopServices {
    platform::SystemClock clock;
    platform::CrtRandom random;
    platform::SdlAudioOutput audio;
    DesktopMessageBoxes messages;
    platform::DesktopShell shell;
    NoDialogs dialogs;
    NoHttpClient http;
    platform::Services services{clock, random, audio, messages, shell, dialogs, http};
};

}  // namespace

int CZankoruCApp::InitInstance() {
    if (!platform::OpenDisplay()) {
        std::fprintf(stderr,
                     "%s: no display to open the game window on (set DISPLAY or "
                     "WAYLAND_DISPLAY to a running desktop session).\n",
                     platform::ApplicationName().c_str());
        return 1;
    }
    // The settings live under the company folder "velkor".
    platform::SetSettingsCompany("velkor");
    DesktopServices desktop;
    {
        CZankoruCDlg dialog(desktop.services);
        dialog.DoModal();
        // The window was destroyed (settings saved, scene gone) when the run
        // ended; the object goes here.
    }
    return 0;
}
