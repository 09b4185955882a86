#include "app/CZankoruCApp.h"

#include <cstdio>

#include "app/CZankoruCDlg.h"
#include "platform/audio/SdlAudioOutput.h"
#include "platform/files/SettingsFile.h"
#include "platform/net/CurlHttpClient.h"
#include "platform/sys/AppName.h"
#include "platform/ui/DesktopDialogs.h"
#include "platform/ui/MainWindow.h"

CZankoruCApp theApp;

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

    // The desktop's services; the output outlives the window, whose scenes
    // hold its sound buffers.
    platform::SystemClock clock;
    platform::CrtRandom random;
    platform::SdlAudioOutput audio;
    platform::DesktopMessageBoxes messages;
    platform::DesktopShell shell;
    platform::DesktopDialogs dialogs;
    platform::CurlHttpClient http;
    platform::Services services{clock, random, audio, messages, shell, dialogs, http};
    {
        CZankoruCDlg dialog(services);
        dialog.DoModal();
        // The window was destroyed (settings saved, scene gone) when the run
        // ended; the object goes here.
    }
    return 0;
}
