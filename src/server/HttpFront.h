#pragma once
// HTTP for the ranking site, over libmicrohttpd: one polling thread per core
// (epoll) that reads requests and sends answers, workers that run the site
// (the database) beside them, the limits on connections set for a crowd of
// idle ones, one log line a request, and a stop that lets the requests in
// flight finish.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "server/RankingSite.h"
#include "server/RequestLog.h"
#include "server/WorkQueue.h"

struct MHD_Daemon;

namespace server {

struct FrontLimits {
    // The time a client has to send a whole request head, counted from the
    // connection's start or the previous answer however slowly the bytes
    // come; then the connection is closed.
    std::chrono::milliseconds requestHead = std::chrono::seconds(20);
    // Open connections at most (fewer when the open-file limit is lower).
    unsigned connections = 4096;
};

class HttpFront {
  public:
    HttpFront(RankingSite& site, RequestLog& log, FrontLimits limits = {});
    // Stops at once when still running.
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Serves on `listenFd` (from OpenListenSocket), which it then owns.
    // Throws std::runtime_error when the HTTP library cannot start.
    void Start(int listenFd);

    // Takes no new connection, lets the requests in flight finish (waiting
    // at most `drainLimit`; answers given meanwhile close their connection),
    // then stops every thread and closes every connection.
    void Stop(std::chrono::milliseconds drainLimit);

  private:
    struct Link;
    // libmicrohttpd's callbacks, which reach into this object.
    struct Callbacks;

    void Sweep();
    SiteResponse Answer(const SiteRequest& request);

    RankingSite& m_site;
    RequestLog& m_log;
    FrontLimits m_limits;
    MHD_Daemon* m_daemon = nullptr;
    unsigned m_connectionLimit = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_inFlightChanged;
    int m_inFlight = 0;  // requests handed to the site whose answer is not sent
    // Every open connection, and how many each address holds; m_mutex.
    std::set<Link*> m_links;
    std::map<std::string, unsigned> m_perAddress;
    bool m_sweeping = false;
    std::condition_variable m_sweepWake;
    std::thread m_sweeper;
    // The lanes' workers (RankingSite::LaneOf): nothing queues behind
    // registrations waiting for a stalled database. Gone (m_workMutex) once
    // a stop has let them finish.
    std::mutex m_workMutex;
    std::unique_ptr<WorkQueue> m_writeWork;
    std::unique_ptr<WorkQueue> m_readWork;
    std::unique_ptr<WorkQueue> m_healthWork;
};

}  // namespace server
