#pragma once
// The request log: one line a request on standard error. Lines are queued
// and written by a thread of their own, so a slow or stuck reader of
// standard error never holds up an answer; when the queue is full, lines
// are dropped and counted, and the count is written when the writer catches
// up.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace server {

// The longest request target written to the log.
constexpr size_t kMaxLoggedTarget = 512;

// `target` as the log shows it: the value of every name= parameter replaced
// by "-" (the log keeps no player names), bytes outside printable ASCII as
// %XX, cut to kMaxLoggedTarget with "..." after it.
std::string LoggedTarget(const std::string& target);

// "2026-12-08T10:30:00Z 127.0.0.1 GET /healthz 200 153us", with " (NOTE)"
// after it when `note` is not empty.
std::string RequestLogLine(int64_t wallSeconds, const std::string& client,
                           const std::string& method, const std::string& target, int status,
                           int64_t microseconds, const std::string& note);

class RequestLog {
  public:
    // Writes to file descriptor `fd` (2 for standard error); keeps at most
    // `maxQueued` lines waiting.
    explicit RequestLog(int fd, size_t maxQueued = 4096);
    // Writes what is queued, then stops the writer.
    ~RequestLog();

    // Queues `line` (without its line break); never waits for the writing.
    void Write(std::string line);

  private:
    void Run();

    const int m_fd;
    const size_t m_maxQueued;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_lines;
    uint64_t m_dropped = 0;
    bool m_stopping = false;
    std::thread m_writer;
};

}  // namespace server
