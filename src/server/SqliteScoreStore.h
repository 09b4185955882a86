#pragma once
// The scores in one SQLite file, for a ranking server on one machine. Several
// server processes may share the file.
#include <memory>
#include <string>

#include "server/ScoreStore.h"

namespace server {

// Opens (or creates, with its folder) the file at `path` and brings its
// schema up to date. Throws StoreError naming the file when it is not a
// ranking database, was written by a newer program or cannot be written; the
// file is then left as it was.
// `timeout` bounds each wait for a lock held by another connection.
std::unique_ptr<ScoreStore> OpenSqliteScoreStore(const std::string& path,
                                                 std::chrono::milliseconds timeout);

}  // namespace server
