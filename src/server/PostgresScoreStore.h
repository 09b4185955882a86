#pragma once
// The scores in a PostgreSQL database, shared by ranking servers on several
// machines.
#include <memory>
#include <string>

#include "server/ScoreStore.h"

namespace server {

// Connects to the database named by the connection URI `uri` and brings its
// schema up to date. Throws StoreError naming the host and database (never
// the password) when it cannot connect or the schema is newer than this
// program.
// `timeout` bounds connecting and every statement, a server that stopped
// answering included.
std::unique_ptr<ScoreStore> OpenPostgresScoreStore(const std::string& uri,
                                                   std::chrono::milliseconds timeout);

}  // namespace server
