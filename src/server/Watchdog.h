#pragma once
// Shuts down a socket whose call outlives its deadline. libpq's blocking
// calls wait for the server without end: a database server that stopped
// answering (frozen, or its machine gone without a word) would hold every
// request that reaches it. Shut down, the socket makes the call fail at
// once, and the session is thrown away.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace server {

class Watchdog {
  public:
    Watchdog();
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // While it lives, `fd` is shut down once `limit` has passed. The caller
    // keeps `fd` open until then.
    class Guard {
      public:
        Guard(Watchdog& watchdog, int fd, std::chrono::milliseconds limit);
        ~Guard();
        Guard(const Guard&) = delete;
        // True once the socket has been shut down.
        bool Fired() const;
        Guard& operator=(const Guard&) = delete;

      private:
        Watchdog& m_watchdog;
        unsigned long m_id;
    };

  private:
    struct Watched {
        int fd;
        std::chrono::steady_clock::time_point deadline;
    };

    void Watch();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<unsigned long, Watched> m_watched;
    unsigned long m_nextId = 0;
    bool m_ending = false;
    std::thread m_thread;
};

}  // namespace server
