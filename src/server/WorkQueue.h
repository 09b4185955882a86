#pragma once
// Jobs run in order by a fixed set of threads. The HTTP front hands every
// request that reaches the database to one, so a slow database holds up a
// worker, never one of the threads that read requests and send answers.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace server {

class WorkQueue {
  public:
    explicit WorkQueue(unsigned threads);
    // Runs the jobs still queued, then joins the threads.
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    void Post(std::function<void()> job);

  private:
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    bool m_ending = false;
    std::vector<std::thread> m_threads;
};

}  // namespace server
