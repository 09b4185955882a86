#include "platform/sys/Shell.h"

#include <gio/gio.h>

#include "platform/sys/Display.h"

namespace platform {

bool DesktopShell::OpenUri(const std::string& uri) {
    if (!DisplayAvailable()) {
        return false;
    }
    GError* error = nullptr;
    gboolean launched = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return launched != FALSE;
}

bool DesktopShell::StartProgram(const std::string& program,
                                const std::vector<std::string>& arguments) {
    std::vector<gchar*> argv;
    argv.push_back(const_cast<gchar*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<gchar*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an
    // intermediate child: nothing is left for us to reap and the program is
    // not ours to wait for.
    GError* error = nullptr;
    gboolean started = g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr,
                                     nullptr, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return started != FALSE;
}

}  // namespace platform
