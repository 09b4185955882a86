#include "server/SqliteScoreStore.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <utility>
#include <vector>

#include "server/ConnectionPool.h"
#include "server/StoreSql.h"

namespace server {
namespace {

// How often the health check reads the whole file for damage; in between
// it says what the last reading found.
constexpr std::chrono::seconds kIntegrityCheckInterval(10);
// More request threads than this wait for a connection; SQLite writes one at
// a time anyway, and each connection keeps its own page cache.
constexpr size_t kMaxConnections = 16;

StoreError NotOurs(const std::string& path, const std::string& why) {
    return StoreError(path + " is not a ranking database (" + why +
                      "); move it away or choose another file.");
}

// The first 16 bytes of every SQLite file, the terminating zero included.
bool HasSqliteHeader(const std::string& path) {
    char header[16] = {};
    std::ifstream file(path, std::ios::binary);
    file.read(header, sizeof header);
    return file.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0;
}

// One connection with its statements, prepared on first use and kept. It is
// used by one thread at a time (SQLite's multi-thread mode).
class Connection {
  public:
    Connection(std::string path, int flags, std::chrono::milliseconds timeout)
        : m_path(std::move(path)) {
        int rc = sqlite3_open_v2(m_path.c_str(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
            sqlite3_close(m_db);
            throw StoreError("Cannot open the ranking database " + m_path + ": " + message);
        }
        sqlite3_extended_result_codes(m_db, 1);
        // A lock another connection holds is waited for this long at most.
        sqlite3_busy_timeout(m_db, static_cast<int>(timeout.count()));
    }
    ~Connection() {
        for (auto& [sql, statement] : m_statements) {
            sqlite3_finalize(statement);
        }
        sqlite3_close(m_db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* Db() const { return m_db; }
    const std::string& Path() const { return m_path; }

    [[noreturn]] void Fail(const char* doing) const {
        throw StoreError(std::string("Cannot ") + doing + " " + m_path + ": " +
                         sqlite3_errmsg(m_db));
    }

    void Exec(const char* sql, const char* doing) {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            Fail(doing);
        }
    }

    // `sql` is one of the constants of StoreSql.h (or another literal): the
    // statement is found again by the text's address.
    sqlite3_stmt* Statement(const char* sql, const char* doing) {
        for (auto& [text, statement] : m_statements) {
            if (text == sql) {
                return statement;
            }
        }
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
            SQLITE_OK) {
            Fail(doing);
        }
        // The queries number their parameters $1, $2 ... in order of first
        // appearance, so the names' positions are their numbers.
        for (int i = 1; i <= sqlite3_bind_parameter_count(statement); ++i) {
            const char* name = sqlite3_bind_parameter_name(statement, i);
            if (name == nullptr || "$" + std::to_string(i) != name) {
                sqlite3_finalize(statement);
                throw StoreError(std::string("Parameters out of order in: ") + sql);
            }
        }
        m_statements.emplace_back(sql, statement);
        return statement;
    }

  private:
    std::string m_path;
    sqlite3* m_db = nullptr;
    std::vector<std::pair<const char*, sqlite3_stmt*>> m_statements;
};

// One run of a prepared statement: parameters bound in order, rows stepped,
// and the statement reset for the next run when this ends.
class Run {
  public:
    Run(Connection& connection, const char* sql, const char* doing)
        : m_connection(connection), m_doing(doing), m_statement(connection.Statement(sql, doing)) {}
    ~Run() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    Run& Bind(int64_t value) {
        Check(sqlite3_bind_int64(m_statement, ++m_bound, value));
        return *this;
    }
    Run& Bind(const std::string& value) {
        Check(sqlite3_bind_text(m_statement, ++m_bound, value.data(),
                                static_cast<int>(value.size()), SQLITE_TRANSIENT));
        return *this;
    }

    // True while there is a row to read.
    bool Step() {
        int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc != SQLITE_DONE) {
            m_connection.Fail(m_doing);
        }
        return false;
    }

    int64_t Int(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(m_statement, column);
        int size = sqlite3_column_bytes(m_statement, column);
        return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
    }

  private:
    void Check(int rc) {
        if (rc != SQLITE_OK) {
            m_connection.Fail(m_doing);
        }
    }

    Connection& m_connection;
    const char* m_doing;
    sqlite3_stmt* m_statement;
    int m_bound = 0;
};

// BEGIN IMMEDIATE takes the write lock at once (waiting up to the busy
// time-out), so a transaction never fails half-way for want of it. Rolled
// back unless committed.
class Transaction {
  public:
    Transaction(Connection& connection, const char* doing)
        : m_connection(connection), m_doing(doing) {
        Run(connection, "BEGIN IMMEDIATE", doing).Step();
    }
    ~Transaction() {
        if (!m_committed) {
            sqlite3_exec(m_connection.Db(), "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit() {
        Run(m_connection, "COMMIT", m_doing).Step();
        m_committed = true;
    }

  private:
    Connection& m_connection;
    const char* m_doing;
    bool m_committed = false;
};

// The schema version of the file: 0 for a new, empty database. Refuses a
// file that is not a database, a database of some other program and one
// written by a newer program.
int ReadVersion(Connection& connection) {
    const char* kObjects =
        "SELECT count(*), coalesce(sum(name = 'ranking_schema'), 0) FROM sqlite_master";
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(connection.Db(), kObjects, -1, &statement, nullptr);
    int64_t objects = 0;
    bool ours = false;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
    }
    if (rc == SQLITE_ROW) {
        objects = sqlite3_column_int64(statement, 0);
        ours = sqlite3_column_int64(statement, 1) > 0;
    }
    std::string message = sqlite3_errmsg(connection.Db());
    sqlite3_finalize(statement);
    if ((rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT) {
        throw NotOurs(connection.Path(), "it is damaged or not a SQLite file");
    }
    if (rc != SQLITE_ROW) {
        throw StoreError("Cannot read " + connection.Path() + ": " + message);
    }
    if (objects == 0) {
        return 0;
    }
    if (!ours) {
        throw NotOurs(connection.Path(), "it holds the tables of another program");
    }
    Run run(connection, sql::kReadVersion, "read");
    if (!run.Step()) {
        throw NotOurs(connection.Path(), "its schema version is missing");
    }
    int64_t version = run.Int(0);
    if (version > sql::kSchemaVersion) {
        throw StoreError(connection.Path() + " was written by a newer ranking server (schema " +
                         std::to_string(version) + "; this one knows up to " +
                         std::to_string(sql::kSchemaVersion) + ").");
    }
    return static_cast<int>(version);
}

// Write-ahead logging: readers never wait for the writer nor the writer for
// readers, and a commit appends to the log without syncing it (see
// synchronous below). The mode stays with the file.
void SwitchToWriteAheadLog(Connection& connection) {
    Run mode(connection, "PRAGMA journal_mode = WAL", "open");
    if (!mode.Step() || mode.Text(0) != "wal") {
        throw StoreError("Cannot switch " + connection.Path() +
                         " to write-ahead logging: is its folder writable?");
    }
}

// Applies the missing schema steps, one transaction each, so two servers
// starting together on a new file take turns. The last transaction rewrites
// the version as it is: a write that fails now, not at the first score, when
// the file or its folder cannot be written.
void Upgrade(Connection& connection) {
    const char* doing = "upgrade the ranking database";
    for (;;) {
        Transaction transaction(connection, doing);
        int version = ReadVersion(connection);
        if (version < sql::kSchemaVersion) {
            connection.Exec(sql::kSchemaSteps[version].sqlite, doing);
        }
        Run(connection, sql::kWriteVersion, doing)
            .Bind(std::min(version + 1, sql::kSchemaVersion))
            .Step();
        transaction.Commit();
        if (version == sql::kSchemaVersion) {
            return;
        }
    }
}

class SqliteScoreStore final : public ScoreStore {
  public:
    SqliteScoreStore(const std::string& path, std::chrono::milliseconds timeout)
        : m_path(path),
          m_timeout(timeout),
          m_pool([this] { return OpenPooled(); }, kMaxConnections, timeout,
                 "The ranking database " + path + " is busy: no connection came free.") {
        CheckBeforeOpening();
        {
            Connection first(m_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, m_timeout);
            // SQLite falls back to reading when the file is write-protected.
            if (sqlite3_db_readonly(first.Db(), "main") == 1) {
                throw StoreError("The ranking database " + m_path +
                                 " cannot be written: it or its folder is read-only.");
            }
            // Everything that refuses the file comes before the first write.
            ReadVersion(first);
            SwitchToWriteAheadLog(first);
            Upgrade(first);
            struct stat opened {};
            if (stat(m_path.c_str(), &opened) != 0) {
                throw StoreError("The ranking database " + m_path + " went away while opening.");
            }
            m_device = opened.st_dev;
            m_inode = opened.st_ino;
        }
        // It never writes, but a read-only connection closing last would
        // leave the log and its index beside the file.
        m_watch = std::make_unique<Connection>(m_path, SQLITE_OPEN_READWRITE, m_timeout);
        ChangeStamp();
    }

    Standing Add(const NewScore& score) override {
        const char* doing = "store a score in";
        // SQLite lets one writer in at a time, and a writer that finds the
        // lock taken sleeps in the busy handler in steps of up to 100 ms:
        // under load that showed as a 50 ms tail. This process's writers
        // queue here instead and get the lock the moment it is free; the busy
        // time-out still covers other processes sharing the file. The two
        // waits together stay within the time-out: when another program
        // holds the lock, each registration fails after it, not after the
        // queue of those before it.
        auto deadline = std::chrono::steady_clock::now() + m_timeout;
        std::unique_lock<std::timed_mutex> oneWriter(m_writeMutex, m_timeout);
        if (!oneWriter.owns_lock()) {
            throw StoreError("The ranking database " + m_path +
                             " is locked: no registration got "
                             "through within " +
                             std::to_string(m_timeout.count()) + " ms.");
        }
        // The file deleted or replaced under the server: a registration would
        // go into a file nobody will ever open again.
        if (!SameFile()) {
            throw StoreError("The ranking database " + m_path +
                             " was deleted or replaced while the server ran; restart the server.");
        }
        auto connection = m_pool.Acquire();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        BusyFor busy(connection->Db(), std::max<std::chrono::milliseconds>(left, {}), m_timeout);
        Transaction transaction(*connection, doing);
        Run(*connection, sql::kCountLevel, doing).Bind(score.level).Step();
        Run(*connection, sql::kInsertScore, doing)
            .Bind(score.level)
            .Bind(score.hits)
            .Bind(score.name)
            .Bind(score.area)
            .Bind(score.mode)
            .Bind(score.createdAt)
            .Step();
        Run(*connection, sql::kCountHits, doing).Bind(score.level).Bind(score.hits).Step();
        Standing standing;
        {
            Run run(*connection, sql::kStanding, doing);
            run.Bind(score.level).Bind(score.hits).Step();
            standing.total = run.Int(0);
            standing.rank = run.Int(1) + 1;
        }
        transaction.Commit();
        return standing;
    }

    std::vector<StoredScore> Top(int level, int limit, const std::string& area) override {
        std::vector<StoredScore> scores;
        if (limit <= 0) {
            return scores;
        }
        const char* doing = "read the scores of";
        auto connection = m_pool.Acquire();
        Run run(*connection, area.empty() ? sql::kTopOfLevel : sql::kTopOfArea, doing);
        run.Bind(level);
        if (!area.empty()) {
            run.Bind(area);
        }
        run.Bind(limit);
        while (run.Step()) {
            scores.push_back({run.Int(0), static_cast<int>(run.Int(1)),
                              static_cast<int>(run.Int(2)), run.Text(3), run.Text(4), run.Text(5),
                              run.Int(6)});
        }
        return scores;
    }

    // PRAGMA data_version changes whenever another connection, of this
    // process or any other, has committed to the file; the watch connection
    // never writes, so every registration anywhere changes it. Reading it
    // takes a read lock on the shared-memory index: microseconds, no I/O.
    uint64_t ChangeStamp() override {
        std::lock_guard<std::mutex> lock(m_watchMutex);
        bool changed = true;  // unreadable: treat as changed
        try {
            Run run(*m_watch, "PRAGMA data_version", "read");
            if (run.Step()) {
                changed = run.Int(0) != m_dataVersion;
                m_dataVersion = run.Int(0);
            }
        } catch (const StoreError&) {
        }
        if (changed) {
            ++m_stamp;
        }
        return m_stamp;
    }

    // A file deleted, replaced, made read-only or damaged under the running
    // server fails it, as well as one that does not answer.
    bool Ping() override {
        try {
            if (!SameFile() || access(m_path.c_str(), W_OK) != 0) {
                return false;
            }
            auto connection = m_pool.Acquire();
            Run run(*connection, sql::kReadVersion, "read");
            return run.Step() && Intact();
        } catch (const StoreError&) {
            return false;
        }
    }

  private:
    // Sets a connection's busy time-out for one registration, and back.
    struct BusyFor {
        BusyFor(sqlite3* db, std::chrono::milliseconds wait, std::chrono::milliseconds usual)
            : m_db(db), m_usual(usual) {
            sqlite3_busy_timeout(m_db, static_cast<int>(wait.count()));
        }
        ~BusyFor() { sqlite3_busy_timeout(m_db, static_cast<int>(m_usual.count())); }
        BusyFor(const BusyFor&) = delete;
        BusyFor& operator=(const BusyFor&) = delete;
        sqlite3* m_db;
        std::chrono::milliseconds m_usual;
    };

    bool SameFile() const {
        struct stat now {};
        return stat(m_path.c_str(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode;
    }

    // PRAGMA quick_check reads every page, at most every
    // kIntegrityCheckInterval and for at most the time-out: a check cut short
    // (a very large file) keeps the last verdict. It runs on a connection of
    // its own, whose empty page cache makes it read the file itself.
    bool Intact() {
        std::lock_guard<std::mutex> lock(m_checkMutex);
        auto now = std::chrono::steady_clock::now();
        if (m_checked && now - m_checkedAt < kIntegrityCheckInterval) {
            return m_intact;
        }
        Connection connection(m_path, SQLITE_OPEN_READWRITE, m_timeout);
        auto deadline = now + m_timeout;
        sqlite3_progress_handler(
            connection.Db(), 1000,
            [](void* end) {
                return std::chrono::steady_clock::now() >
                               *static_cast<std::chrono::steady_clock::time_point*>(end)
                           ? 1
                           : 0;
            },
            &deadline);
        sqlite3_stmt* statement = nullptr;
        int rc =
            sqlite3_prepare_v2(connection.Db(), "PRAGMA quick_check(1)", -1, &statement, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(statement);
        }
        bool ok = rc == SQLITE_ROW &&
                  std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                              "ok") == 0;
        sqlite3_finalize(statement);
        sqlite3_progress_handler(connection.Db(), 0, nullptr, nullptr);
        if ((rc & 0xff) != SQLITE_INTERRUPT) {
            m_intact = ok;
        }
        m_checked = true;
        m_checkedAt = now;
        return m_intact;
    }

    void CheckBeforeOpening() {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::path file(m_path);
        if (fs::exists(file, error)) {
            // An empty file is a new database; anything else must be one.
            if (fs::is_regular_file(file, error) && fs::file_size(file, error) > 0 &&
                !HasSqliteHeader(m_path)) {
                throw NotOurs(m_path, "it is not a SQLite file");
            }
            return;
        }
        if (file.has_parent_path() && !fs::exists(file.parent_path(), error)) {
            fs::create_directories(file.parent_path(), error);
            if (error) {
                throw StoreError("Cannot create the folder " + file.parent_path().string() +
                                 " for the ranking database: " + error.message());
            }
        }
    }

    std::unique_ptr<Connection> OpenPooled() {
        auto connection = std::make_unique<Connection>(m_path, SQLITE_OPEN_READWRITE, m_timeout);
        // In write-ahead logging, NORMAL syncs the log only at checkpoints. A
        // commit is in the log file (the kernel's cache) before Add returns,
        // so a killed server loses nothing; a power cut may lose the last
        // registrations but never damages the file. FULL would sync every
        // registration, and cost more than everything else Add does.
        connection->Exec("PRAGMA synchronous = NORMAL", "open");
        return connection;
    }

    std::string m_path;
    std::chrono::milliseconds m_timeout;
    dev_t m_device = 0;  // the file opened
    ino_t m_inode = 0;
    ConnectionPool<Connection> m_pool;
    std::mutex m_watchMutex;
    std::timed_mutex m_writeMutex;
    std::mutex m_checkMutex;
    bool m_checked = false;
    bool m_intact = true;
    std::chrono::steady_clock::time_point m_checkedAt;
    std::unique_ptr<Connection> m_watch;
    int64_t m_dataVersion = -1;
    uint64_t m_stamp = 0;
};

}  // namespace

std::unique_ptr<ScoreStore> OpenSqliteScoreStore(const std::string& path,
                                                 std::chrono::milliseconds timeout) {
    return std::make_unique<SqliteScoreStore>(path, timeout);
}

}  // namespace server
