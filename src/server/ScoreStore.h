#pragma once
// Where the ranking server keeps the scores. One small interface, two
// databases behind it: SQLite for one machine (the default) and PostgreSQL
// when several server processes on several machines share the scores.
//
// Every call may come from any of the server's threads at the same time; an
// implementation keeps its own connections safe. A failure throws StoreError
// with a sentence a host can act on; nothing is ever half-written. No call
// waits much longer than the store's time-out, whatever the database does:
// a locked file or a stalled server makes it fail, not hang.
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace server {

class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One score as it is registered: already checked and cleaned by the caller.
struct NewScore {
    int level = 1;          // 1 Easy, 2 Normal, 3 Hard
    int hits = 0;           // hits taken, 0..99; fewer is better
    std::string name;       // UTF-8, at most 32 characters, may be empty
    std::string area;       // one of the game's areas, or empty
    std::string mode;       // as the game sent it
    int64_t createdAt = 0;  // seconds since 1970-01-01 UTC
};

struct StoredScore {
    int64_t id = 0;  // grows with every registration
    int level = 1;
    int hits = 0;
    std::string name;
    std::string area;
    std::string mode;
    int64_t createdAt = 0;
};

// Where a new score stands among the entries of its level, itself counted:
// rank is 1 + the number of entries with fewer hits (equal hits share a
// rank), total is the number of entries of the level.
struct Standing {
    int64_t rank = 0;
    int64_t total = 0;
};

class ScoreStore {
  public:
    virtual ~ScoreStore() = default;

    // Stores one score and returns its standing, both in one transaction.
    virtual Standing Add(const NewScore& score) = 0;

    // The best `limit` entries of a level: fewest hits first, the earlier
    // entry first among equal hits. An empty `area` means every area.
    virtual std::vector<StoredScore> Top(int level, int limit, const std::string& area) = 0;

    // A number that changes whenever a score was added since it was last
    // read, by this process or by any other sharing the database. Caches of
    // rendered pages compare it; it is cheap enough to read per request.
    virtual uint64_t ChangeStamp() = 0;

    // True when the database answers and can take a registration: for a
    // file, that it is still the file opened, writable and not damaged.
    virtual bool Ping() = 0;
};

// Opens the database named by `database` and brings its schema up to date:
//   "sqlite:PATH" or a bare path  - a SQLite file, created when missing;
//   "postgresql://..." or "postgres://..." - a PostgreSQL connection URI.
// Throws StoreError naming the file or server when it cannot be opened, is
// not a ranking database, or is newer than this program. It never
// overwrites or truncates a file it cannot read. `timeout` bounds every
// call's wait for the database: its locks, its connections, its answers.
constexpr std::chrono::milliseconds kDatabaseTimeout(3000);
std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& database,
                                           std::chrono::milliseconds timeout = kDatabaseTimeout);

// "$XDG_DATA_HOME/zankoruc/ranking.sqlite3" (XDG_DATA_HOME defaulting to
// ~/.local/share), the folder created when missing.
std::string DefaultDatabasePath();

}  // namespace server
