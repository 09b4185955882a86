#include "platform/sys/CommandLine.h"

#include <glib.h>

#include <cstdio>

#include "platform/sys/AppName.h"

namespace platform {

GameOptions ReadGameOptions(int argc, char** argv, const std::string& version) {
    GameOptions options;
    gchar* dataDirectory = nullptr;
    gboolean showVersion = FALSE;
    GOptionEntry entries[] = {
        {"data-dir", 0, 0, G_OPTION_ARG_FILENAME, &dataDirectory,
         "Take the game's sounds and pictures from DIR", "DIR"},
        {"version", 0, 0, G_OPTION_ARG_NONE, &showVersion, "Print the version and exit", nullptr},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
    };
    GOptionContext* context = g_option_context_new(nullptr);
    g_option_context_set_summary(context,
                                 "A sword duel played by ear: answer each sword swing you hear "
                                 "with the key for its position.");
    g_option_context_add_main_entries(context, entries, nullptr);
    GError* error = nullptr;
    std::string name = ApplicationName();
    if (!g_option_context_parse(context, &argc, &argv, &error)) {
        std::fprintf(stderr, "%s: %s\nRun \"%s --help\" to see the options.\n", name.c_str(),
                     error->message, name.c_str());
        g_error_free(error);
        options.exitStatus = 2;
    } else if (argc > 1) {
        std::fprintf(stderr,
                     "%s: unexpected argument \"%s\"\nRun \"%s --help\" to see the options.\n",
                     name.c_str(), argv[1], name.c_str());
        options.exitStatus = 2;
    } else if (showVersion) {
        std::printf("%s %s\n", name.c_str(), version.c_str());
        options.exitStatus = 0;
    } else if (dataDirectory != nullptr) {
        options.dataDirectory = dataDirectory;
    }
    g_free(dataDirectory);
    g_option_context_free(context);
    return options;
}

}  // namespace platform
