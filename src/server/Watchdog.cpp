#include "server/Watchdog.h"

#include <sys/socket.h>

#include <algorithm>

namespace server {

Watchdog::Watchdog() : m_thread([this] { Watch(); }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

Watchdog::Guard::Guard(Watchdog& watchdog, int fd, std::chrono::milliseconds limit)
    : m_watchdog(watchdog) {
    std::lock_guard<std::mutex> lock(watchdog.m_mutex);
    m_id = watchdog.m_nextId++;
    watchdog.m_watched[m_id] = {fd, std::chrono::steady_clock::now() + limit};
    watchdog.m_changed.notify_all();
}

Watchdog::Guard::~Guard() {
    std::lock_guard<std::mutex> lock(m_watchdog.m_mutex);
    m_watchdog.m_watched.erase(m_id);
}

bool Watchdog::Guard::Fired() const {
    std::lock_guard<std::mutex> lock(m_watchdog.m_mutex);
    return m_watchdog.m_watched.count(m_id) == 0;
}

void Watchdog::Watch() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_ending) {
        auto next = std::chrono::steady_clock::time_point::max();
        auto now = std::chrono::steady_clock::now();
        for (auto watched = m_watched.begin(); watched != m_watched.end();) {
            if (watched->second.deadline <= now) {
                // Under the lock: the guard, and with it the descriptor,
                // cannot go away meanwhile.
                shutdown(watched->second.fd, SHUT_RDWR);
                watched = m_watched.erase(watched);
            } else {
                next = std::min(next, watched->second.deadline);
                ++watched;
            }
        }
        if (next == std::chrono::steady_clock::time_point::max()) {
            m_changed.wait(lock);
        } else {
            m_changed.wait_until(lock, next);
        }
    }
}

}  // namespace server
