#include "server/PostgresScoreStore.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "server/ConnectionPool.h"
#include "server/StoreSql.h"
#include "server/Watchdog.h"

namespace server {
namespace {

// Every registration notifies this channel when it commits; each server
// listens to it to know when its cached pages are out of date.
constexpr const char* kChannel = "zankoruc_scores";
// Request threads beyond this wait for a connection: PostgreSQL keeps a
// process per connection, and several servers share its connection limit.
constexpr size_t kMaxConnections = 8;
// A statement past the time-out is cancelled by the server itself
// (statement_timeout); a server that does not even do that gets this much
// longer before the session is cut.
constexpr std::chrono::milliseconds kCutMargin(1000);
constexpr int kListenRetryMs = 1000;
// Two servers upgrading one new database take turns on this lock.
constexpr const char* kUpgradeLock = "SELECT pg_advisory_xact_lock(7031410)";

// Where the scores are, for messages: host, port and database, never the
// password. The password itself is kept only to be blotted out of the
// messages of libpq and the server, should one ever quote it.
struct Server {
    std::string uri;
    std::string name;
    std::string password;
    std::chrono::milliseconds timeout{0};  // for connecting and for each statement

    std::string Clean(std::string message) const {
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        if (!password.empty()) {
            for (size_t at = message.find(password); at != std::string::npos;
                 at = message.find(password, at)) {
                message.replace(at, password.size(), "***");
            }
        }
        return message;
    }
};

Server Describe(const std::string& uri, std::chrono::milliseconds timeout) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
    if (options == nullptr) {
        PQfreemem(error);
        // libpq's message may quote any part of the URI, the password too.
        throw StoreError("The PostgreSQL address is not a valid connection URI.");
    }
    std::string host, port, database, user, password;
    for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        std::string keyword = option->keyword;
        std::string value = option->val ? option->val : "";
        if (keyword == "host" || keyword == "hostaddr") {
            host = host.empty() ? value : host;
        } else if (keyword == "port") {
            port = value;
        } else if (keyword == "dbname") {
            database = value;
        } else if (keyword == "user") {
            user = value;
        } else if (keyword == "password") {
            password = value;
        }
    }
    PQconninfoFree(options);
    Server server;
    server.uri = uri;
    server.password = password;
    server.timeout = timeout;
    server.name = "the PostgreSQL database \"" + (database.empty() ? user : database) + "\" at " +
                  (host.empty() ? "localhost" : host) + ":" + (port.empty() ? "5432" : port);
    return server;
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// One session, used by one thread at a time, with its statements prepared on
// first use and kept.
class Connection {
  public:
    Connection(const Server& server, const char* role) : m_server(server) {
        std::string application = std::string("zankoruc-ranking ") + role;
        // libpq counts whole seconds, and takes no fewer than 2.
        std::string connectSeconds = std::to_string(
            std::max<long>(2, static_cast<long>((server.timeout.count() + 999) / 1000)));
        // Upgrades may take long on a large database: only requests are bounded.
        std::string options =
            std::string(role) == "upgrade"
                ? std::string()
                : "-c statement_timeout=" + std::to_string(server.timeout.count());
        const char* keywords[] = {"connect_timeout", "options", "application_name",
                                  "client_encoding", "dbname",  nullptr};
        // Values before "dbname" are defaults the URI may override.
        const char* values[] = {connectSeconds.c_str(), options.c_str(),
                                application.c_str(),    "UTF8",
                                server.uri.c_str(),     nullptr};
        m_conn = PQconnectdbParams(keywords, values, 1);
        if (m_conn == nullptr || PQstatus(m_conn) != CONNECTION_OK) {
            std::string message = m_conn ? PQerrorMessage(m_conn) : "out of memory";
            PQfinish(m_conn);
            throw StoreError("Cannot connect to " + server.name + ": " + server.Clean(message));
        }
        PQsetNoticeReceiver(m_conn, &Connection::OnNotice, this);
    }
    ~Connection() { PQfinish(m_conn); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    PGconn* Conn() const { return m_conn; }

    // True when the session is still open and outside any transaction.
    // Reading what waits on the socket finds a session the server closed
    // (a restart, an administrator) before a registration is sent on it.
    bool Usable() {
        // PQisBusy reads the messages PQconsumeInput took in.
        return PQconsumeInput(m_conn) == 1 && PQisBusy(m_conn) == 0 && !m_closedByServer &&
               PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    }

    [[noreturn]] void Fail(const char* doing, const PGresult* result) const {
        std::string message = result ? PQresultErrorMessage(result) : "";
        if (message.empty()) {
            message = PQerrorMessage(m_conn);
        }
        throw StoreError(std::string("Cannot ") + doing + " " + m_server.name + ": " +
                         m_server.Clean(message));
    }

    // A statement without parameters or rows worth reading.
    void Exec(const char* sql, const char* doing) {
        Result result(PQexec(m_conn, sql), &PQclear);
        Check(result.get(), doing);
    }

    // `sql` is one of the constants of StoreSql.h (or another literal): the
    // prepared statement is found again by the text's address.
    Result Run(const char* sql, const std::vector<std::string>& parameters, const char* doing) {
        std::string name = Prepared(sql, doing);
        std::vector<const char*> values;
        for (const std::string& parameter : parameters) {
            values.push_back(parameter.c_str());
        }
        Result result(PQexecPrepared(m_conn, name.c_str(), static_cast<int>(values.size()),
                                     values.data(), nullptr, nullptr, 0),
                      &PQclear);
        Check(result.get(), doing);
        return result;
    }

    struct Step {
        const char* sql;
        std::vector<std::string> parameters;
    };

    // Sends every step at once and then reads every answer: one round trip
    // instead of one per step. The result of each step, in order; the first
    // failure throws once all answers are in.
    std::vector<Result> RunAll(const std::vector<Step>& steps, const char* doing) {
        std::vector<std::string> names;
        for (const Step& step : steps) {
            names.push_back(Prepared(step.sql, doing));
        }
        if (PQenterPipelineMode(m_conn) != 1) {
            Fail(doing, nullptr);
        }
        for (size_t i = 0; i < steps.size(); ++i) {
            std::vector<const char*> values;
            for (const std::string& parameter : steps[i].parameters) {
                values.push_back(parameter.c_str());
            }
            if (PQsendQueryPrepared(m_conn, names[i].c_str(), static_cast<int>(values.size()),
                                    values.data(), nullptr, nullptr, 0) != 1) {
                Fail(doing, nullptr);
            }
        }
        if (PQpipelineSync(m_conn) != 1) {
            Fail(doing, nullptr);
        }
        std::vector<Result> results;
        std::string failure;
        for (size_t i = 0; i < steps.size() && !Broken(); ++i) {
            results.emplace_back(PQgetResult(m_conn), &PQclear);
            ExecStatusType status =
                results.back() ? PQresultStatus(results.back().get()) : PGRES_FATAL_ERROR;
            if (status == PGRES_FATAL_ERROR && failure.empty()) {
                failure = results.back() ? PQresultErrorMessage(results.back().get()) : "";
            }
            // Each step's results end with a null.
            while (PGresult* extra = PQgetResult(m_conn)) {
                PQclear(extra);
            }
        }
        if (!Broken()) {
            Result sync(PQgetResult(m_conn), &PQclear);
            if (PQexitPipelineMode(m_conn) != 1 && failure.empty()) {
                failure = PQerrorMessage(m_conn);
            }
        }
        if (Broken() || !failure.empty()) {
            if (failure.empty()) {
                failure = PQerrorMessage(m_conn);
            }
            throw StoreError(std::string("Cannot ") + doing + " " + m_server.name + ": " +
                             m_server.Clean(failure));
        }
        return results;
    }

    bool Broken() const { return PQstatus(m_conn) != CONNECTION_OK; }

    // Leaves a failed transaction, so the session can be lent again.
    void RollBack() {
        if (PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE) {
            PQclear(PQexec(m_conn, "ROLLBACK"));
        }
    }

  private:
    // Before it closes a session (a restart, an administrator) the server
    // says why; an idle session hears it as a notice. Other notices are of
    // no use to anyone.
    static void OnNotice(void* self, const PGresult* notice) {
        const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
        if (severity && (std::string(severity) == "FATAL" || std::string(severity) == "PANIC")) {
            static_cast<Connection*>(self)->m_closedByServer = true;
        }
    }

    void Check(const PGresult* result, const char* doing) const {
        ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            Fail(doing, result);
        }
    }

    std::string Prepared(const char* sql, const char* doing) {
        auto known = std::find(m_prepared.begin(), m_prepared.end(), sql);
        std::string name = "q" + std::to_string(known - m_prepared.begin());
        if (known == m_prepared.end()) {
            Result result(PQprepare(m_conn, name.c_str(), sql, 0, nullptr), &PQclear);
            Check(result.get(), doing);
            m_prepared.push_back(sql);
        }
        return name;
    }

    const Server& m_server;
    PGconn* m_conn = nullptr;
    std::vector<const char*> m_prepared;
    bool m_closedByServer = false;
};

int64_t Number(const Result& result, int row, int column) {
    return std::strtoll(PQgetvalue(result.get(), row, column), nullptr, 10);
}

std::string Text(const Result& result, int row, int column) {
    return std::string(PQgetvalue(result.get(), row, column),
                       PQgetlength(result.get(), row, column));
}

// Applies the missing schema steps, one transaction each. The last
// transaction rewrites the version as it is: a write that fails now, on a
// read-only server, rather than at the first score.
void Upgrade(Connection& connection, const Server& server) {
    const char* doing = "upgrade";
    for (;;) {
        try {
            connection.Exec("BEGIN", doing);
            connection.Exec(kUpgradeLock, doing);
            int64_t version = 0;
            Result exists =
                connection.Run("SELECT to_regclass('ranking_schema') IS NOT NULL", {}, doing);
            if (Text(exists, 0, 0) == "t") {
                Result read = connection.Run(sql::kReadVersion, {}, doing);
                if (PQntuples(read.get()) != 1) {
                    throw StoreError("The table ranking_schema of " + server.name +
                                     " does not hold one version: it is not a ranking database.");
                }
                version = Number(read, 0, 0);
            }
            if (version > sql::kSchemaVersion) {
                throw StoreError(server.name + " was written by a newer ranking server (schema " +
                                 std::to_string(version) + "; this one knows up to " +
                                 std::to_string(sql::kSchemaVersion) + ").");
            }
            if (version < sql::kSchemaVersion) {
                connection.Exec(sql::kSchemaSteps[version].postgres, doing);
            }
            int64_t next = std::min<int64_t>(version + 1, sql::kSchemaVersion);
            connection.Run(sql::kWriteVersion, {std::to_string(next)}, doing);
            connection.Exec("COMMIT", doing);
            if (version == sql::kSchemaVersion) {
                return;
            }
        } catch (const StoreError&) {
            connection.RollBack();
            throw;
        }
    }
}

class PostgresScoreStore final : public ScoreStore {
  public:
    PostgresScoreStore(const std::string& uri, std::chrono::milliseconds timeout)
        : m_server(Describe(uri, timeout)),
          m_pool([this] { return OpenPooled(); }, kMaxConnections, timeout,
                 "No connection to " + m_server.name + " came free in time.") {
        {
            Connection first(m_server, "upgrade");
            Upgrade(first, m_server);
        }
        // Listening before the thread starts: from the first ChangeStamp on,
        // no registration goes unseen.
        m_listener = Listen();
        m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wake < 0) {
            throw StoreError("Cannot make the listener's wake-up event.");
        }
        m_listening = true;
        m_thread = std::thread([this] { ListenLoop(); });
    }

    ~PostgresScoreStore() override {
        m_stopping = true;
        uint64_t one = 1;
        if (write(m_wake, &one, sizeof one) < 0) {
            // Only a counter near overflow refuses a write; it holds 1.
        }
        m_thread.join();
        close(m_wake);
    }

    Standing Add(const NewScore& score) override {
        const char* doing = "store a score in";
        std::string level = std::to_string(score.level);
        std::string hits = std::to_string(score.hits);
        Standing standing;
        OnSession(OnClosedSession::Fail, [&](Connection& connection) {
            std::vector<Result> results = connection.RunAll(
                {
                    {"BEGIN", {}},
                    {sql::kCountLevel, {level}},
                    {sql::kInsertScore,
                     {level, hits, score.name, score.area, score.mode,
                      std::to_string(score.createdAt)}},
                    {sql::kCountHits, {level, hits}},
                    {sql::kStanding, {level, hits}},
                    {"SELECT pg_notify($1, '')", {kChannel}},
                    {"COMMIT", {}},
                },
                doing);
            standing.total = Number(results[4], 0, 0);
            standing.rank = Number(results[4], 0, 1) + 1;
        });
        // The notification reaches this server's listener a moment later;
        // a page asked for right after this registration must show it now.
        m_stamp.fetch_add(1);
        return standing;
    }

    std::vector<StoredScore> Top(int level, int limit, const std::string& area) override {
        std::vector<StoredScore> scores;
        if (limit <= 0) {
            return scores;
        }
        const char* doing = "read the scores of";
        OnSession(OnClosedSession::RunAgain, [&](Connection& connection) {
            Result result =
                area.empty()
                    ? connection.Run(sql::kTopOfLevel,
                                     {std::to_string(level), std::to_string(limit)}, doing)
                    : connection.Run(sql::kTopOfArea,
                                     {std::to_string(level), area, std::to_string(limit)}, doing);
            for (int row = 0; row < PQntuples(result.get()); ++row) {
                scores.push_back({Number(result, row, 0), static_cast<int>(Number(result, row, 1)),
                                  static_cast<int>(Number(result, row, 2)), Text(result, row, 3),
                                  Text(result, row, 4), Text(result, row, 5),
                                  Number(result, row, 6)});
            }
        });
        return scores;
    }

    // Counts the notifications the listener has seen (and this server's own
    // registrations). While the listener is cut off from the server, every
    // read is a new number: nothing can be known to be unchanged.
    uint64_t ChangeStamp() override {
        if (!m_listening) {
            return m_stamp.fetch_add(1) + 1;
        }
        return m_stamp.load();
    }

    bool Ping() override {
        try {
            OnSession(OnClosedSession::RunAgain, [](Connection& connection) {
                connection.Run(sql::kReadVersion, {}, "read");
            });
            return true;
        } catch (const StoreError&) {
            return false;
        }
    }

  private:
    std::unique_ptr<Connection> OpenPooled() {
        auto connection = std::make_unique<Connection>(m_server, "pool");
        // A commit returns once the server has it in memory; its log reaches
        // the disk within a fraction of a second. A killed ranking server
        // loses nothing, a crashed database server may lose the last
        // registrations but stays consistent: the same bargain as SQLite's
        // synchronous=NORMAL, and it spares a disk flush per registration.
        connection->Exec("SET synchronous_commit = off", "open");
        return connection;
    }

    // Whether work that failed on a session the server had closed may run
    // again on a fresh one: reading may, a registration whose commit was sent
    // along with it may not (it may have been carried out).
    enum class OnClosedSession { Fail, RunAgain };

    // Runs `work` on a pooled session. A session the server closed while it
    // sat in the pool (a restart) may look open until its first statement
    // fails.
    void OnSession(OnClosedSession retry, const std::function<void(Connection&)>& work) {
        for (int attempt = 1;; ++attempt) {
            auto connection = Lend();
            std::optional<Watchdog::Guard> guard;
            guard.emplace(m_watchdog, PQsocket(connection->Conn()), m_server.timeout + kCutMargin);
            try {
                work(*connection);
                return;
            } catch (const StoreError&) {
                if (!connection->Broken()) {
                    connection->RollBack();
                    throw;
                }
                bool cut = guard->Fired();
                guard.reset();  // before the socket closes
                connection.Discard();
                if (cut) {
                    throw StoreError(m_server.Clean(m_server.name) + " did not answer within " +
                                     std::to_string(m_server.timeout.count()) + " ms.");
                }
                if (retry == OnClosedSession::Fail || attempt > 1) {
                    throw;
                }
            }
        }
    }

    // A pooled session not known to be closed.
    ConnectionPool<Connection>::Lease Lend() {
        for (;;) {
            auto connection = m_pool.Acquire();
            if (connection->Usable()) {
                return connection;
            }
            connection.Discard();
        }
    }

    std::unique_ptr<Connection> Listen() {
        auto connection = std::make_unique<Connection>(m_server, "listener");
        connection->Exec((std::string("LISTEN ") + kChannel).c_str(), "listen to");
        return connection;
    }

    // Waits for notifications on the listener's socket and for the wake-up
    // event. A lost session is opened again after a pause; what happened
    // meanwhile is unknown, so the stamp moves on.
    void ListenLoop() {
        while (!m_stopping) {
            if (!m_listener) {
                try {
                    m_listener = Listen();
                    // Moved on before it is trusted again: no number read
                    // while nobody listened can come back.
                    m_stamp.fetch_add(1);
                    m_listening = true;
                } catch (const StoreError&) {
                    WaitForWake(kListenRetryMs);
                }
                continue;
            }
            pollfd waits[2] = {{PQsocket(m_listener->Conn()), POLLIN, 0}, {m_wake, POLLIN, 0}};
            if (poll(waits, 2, -1) < 0 || (waits[1].revents & POLLIN) != 0) {
                continue;
            }
            if (PQconsumeInput(m_listener->Conn()) == 0 ||
                PQstatus(m_listener->Conn()) != CONNECTION_OK) {
                m_listening = false;
                m_listener.reset();
                continue;
            }
            bool notified = false;
            while (PGnotify* notification = PQnotifies(m_listener->Conn())) {
                PQfreemem(notification);
                notified = true;
            }
            if (notified) {
                m_stamp.fetch_add(1);
            }
        }
    }

    void WaitForWake(int milliseconds) {
        pollfd wait = {m_wake, POLLIN, 0};
        poll(&wait, 1, milliseconds);
    }

    Server m_server;
    Watchdog m_watchdog;
    ConnectionPool<Connection> m_pool;
    std::unique_ptr<Connection> m_listener;  // the listener thread's alone once it runs
    std::atomic<uint64_t> m_stamp{0};
    std::atomic<bool> m_listening{false};
    std::atomic<bool> m_stopping{false};
    int m_wake = -1;
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<ScoreStore> OpenPostgresScoreStore(const std::string& uri,
                                                   std::chrono::milliseconds timeout) {
    return std::make_unique<PostgresScoreStore>(uri, timeout);
}

}  // namespace server
