#include "app/CZankoruCApp.h"

#include <cstdio>

#include "app/CZankoruCDlg.h"
#include "platform/sys/AppName.h"
#include "platform/ui/MainWindow.h"
#include "platform/files/SettingsFile.h"

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
    {
        CZankoruCDlg dialog;
        dialog.DoModal();
        // The window was destroyed (settings saved, scene gone) when the run
        // ended; the object goes here.
    }
    return 0;
}
