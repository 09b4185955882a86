#include "server/WorkQueue.h"

#include <utility>

namespace server {

WorkQueue::WorkQueue(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { Work(); });
    }
}

WorkQueue::~WorkQueue() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void WorkQueue::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_one();
}

void WorkQueue::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ending || !m_jobs.empty(); });
            if (m_jobs.empty()) {
                return;  // ending, and nothing is left to run
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

}  // namespace server
