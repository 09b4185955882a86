#include "platform/sys/Shell.h"

#include <gio/gio.h>

#include "platform/sys/Display.h"
#include "platform/sys/SoundServerEnvironment.h"

namespace platform {

bool DesktopShell::OpenUri(const std::string& uri) {
    if (!DisplayAvailable()) {
        return false;
    }
    // The browser's sound is not the game's.
    GAppLaunchContext* context = g_app_launch_context_new();
    for (const std::string& name : SoundServerVariablesSet()) {
        g_app_launch_context_unsetenv(context, name.c_str());
    }
    GError* error = nullptr;
    gboolean launched = g_app_info_launch_default_for_uri(uri.c_str(), context, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    g_object_unref(context);
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
    gchar** environment = g_get_environ();
    for (const std::string& name : SoundServerVariablesSet()) {
        environment = g_environ_unsetenv(environment, name.c_str());
    }
    GError* error = nullptr;
    gboolean started = g_spawn_async(nullptr, argv.data(), environment, G_SPAWN_DEFAULT, nullptr,
                                     nullptr, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    g_strfreev(environment);
    return started != FALSE;
}

}  // namespace platform
