#pragma once
// HTTP for the ranking site, over libmicrohttpd: one polling thread per core
// (epoll), the limits on connections set for a crowd of idle ones, one log
// line a request, and a stop that lets the requests in flight finish.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "server/RankingSite.h"
#include "server/RequestLog.h"

struct MHD_Daemon;

namespace server {

class HttpFront {
  public:
    HttpFront(RankingSite& site, RequestLog& log);
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
    struct Exchange;
    // libmicrohttpd's callbacks, which reach into this object.
    struct Callbacks;

    RankingSite& m_site;
    RequestLog& m_log;
    MHD_Daemon* m_daemon = nullptr;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_inFlightChanged;
    int m_inFlight = 0;  // requests whose request line came and whose answer is not sent
};

}  // namespace server
