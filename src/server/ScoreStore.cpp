#include "server/ScoreStore.h"

#include <glib.h>

#include <cerrno>
#include <cstring>

#include "server/PostgresScoreStore.h"
#include "server/SqliteScoreStore.h"

namespace server {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& database,
                                           std::chrono::milliseconds timeout) {
    if (StartsWith(database, "postgresql://") || StartsWith(database, "postgres://")) {
        return OpenPostgresScoreStore(database, timeout);
    }
    std::string path = StartsWith(database, "sqlite:") ? database.substr(7) : database;
    if (path.empty()) {
        throw StoreError("No ranking database given: name a SQLite file or a PostgreSQL URI.");
    }
    return OpenSqliteScoreStore(path, timeout);
}

std::string DefaultDatabasePath() {
    std::string folder = std::string(g_get_user_data_dir()) + "/zankoruc";
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        throw StoreError("Cannot create the folder " + folder + ": " + std::strerror(errno));
    }
    return folder + "/ranking.sqlite3";
}

}  // namespace server
