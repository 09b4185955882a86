#include "app/CZankoruCApp.h"

#include <cstdio>

#include "app/CZankoruCDlg.h"
#include "app/GameDirectory.h"
#include "platform/audio/SdlAudioOutput.h"
#include "platform/files/SettingsFile.h"
#include "platform/net/CurlHttpClient.h"
#include "platform/sys/AppName.h"
#include "platform/sys/CommandLine.h"
#include "platform/sys/SoundServerEnvironment.h"
#include "platform/ui/DesktopDialogs.h"
#include "platform/ui/MainWindow.h"
#include "shared/DisplayText.h"

CZankoruCApp theApp;

#ifndef ZANKORUC_VERSION
#define ZANKORUC_VERSION "unknown"
#endif

int CZankoruCApp::InitInstance(int argc, char** argv) {
    platform::GameOptions options = platform::ReadGameOptions(argc, argv, ZANKORUC_VERSION);
    if (options.exitStatus >= 0) {
        return options.exitStatus;
    }
    // The environment is changed while this is the only thread: opening the
    // display starts GLib's and GTK's.
    platform::PrepareSoundServerEnvironment();
    if (!platform::OpenDisplay()) {
        std::fprintf(stderr,
                     "%s: no display to open the game window on (set DISPLAY or "
                     "WAYLAND_DISPLAY to a running desktop session).\n",
                     platform::ApplicationName().c_str());
        return 1;
    }
    // Without its sounds the game is a silent window, a dead program for a
    // player who cannot see it: say so, in a box a screen reader reads, and
    // where it looked.
    GameDirectorySearch search = FindGameDirectory(
        options.dataDirectory, platform::CurrentDirectory(), platform::ExecutableDirectory());
    if (search.found.empty()) {
        std::string message = GameFilesMissingMessage(search);
        std::fprintf(stderr, "%s: %s\n", platform::ApplicationName().c_str(), message.c_str());
        platform::DesktopMessageBoxes().Show(message, DisplayText(platform::ApplicationName()));
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
        CZankoruCDlg dialog(services, search.found);
        dialog.DoModal();
        // The window was destroyed (settings saved, scene gone) when the run
        // ended; the object goes here.
    }
    return 0;
}
