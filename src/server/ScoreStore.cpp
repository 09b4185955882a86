#include "server/ScoreStore.h"

#include <glib.h>

#include <cerrno>
#include <cstring>

namespace server {

std::string DefaultDatabasePath() {
    std::string folder = std::string(g_get_user_data_dir()) + "/zankoruc";
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        throw StoreError("Cannot create the folder " + folder + ": " + std::strerror(errno));
    }
    return folder + "/ranking.sqlite3";
}

}  // namespace server
