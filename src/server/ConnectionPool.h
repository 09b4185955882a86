#pragma once
// Database connections lent to one thread at a time. A connection is opened
// when every open one is lent and fewer than `limit` are open; past that a
// caller waits for one to come back, at most `wait`, then gets a
// StoreError. A lent connection found broken is discarded instead of being
// given back, so the next caller opens a fresh one.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "server/ScoreStore.h"

namespace server {

template <class Connection>
class ConnectionPool {
  public:
    using Opener = std::function<std::unique_ptr<Connection>()>;

    ConnectionPool(Opener open, size_t limit, std::chrono::milliseconds wait,
                   std::string busyMessage)
        : m_open(std::move(open)),
          m_limit(limit),
          m_wait(wait),
          m_busyMessage(std::move(busyMessage)) {}

    class Lease {
      public:
        Lease(ConnectionPool* pool, std::unique_ptr<Connection> connection)
            : m_pool(pool), m_connection(std::move(connection)) {}
        Lease(Lease&& other) noexcept = default;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        ~Lease() {
            if (m_connection) {
                m_pool->GiveBack(std::move(m_connection));
            }
        }

        Connection& operator*() const { return *m_connection; }
        Connection* operator->() const { return m_connection.get(); }

        // Closes the connection instead of giving it back.
        void Discard() {
            if (m_connection) {
                m_connection.reset();
                m_pool->Forget();
            }
        }

      private:
        ConnectionPool* m_pool;
        std::unique_ptr<Connection> m_connection;
    };

    Lease Acquire() {
        std::unique_lock<std::mutex> lock(m_mutex);
        bool ready = m_changed.wait_for(
            lock, m_wait, [this] { return !m_idle.empty() || m_openCount < m_limit; });
        if (!ready) {
            throw StoreError(m_busyMessage);
        }
        if (!m_idle.empty()) {
            std::unique_ptr<Connection> connection = std::move(m_idle.back());
            m_idle.pop_back();
            return Lease(this, std::move(connection));
        }
        ++m_openCount;
        lock.unlock();
        try {
            return Lease(this, m_open());
        } catch (...) {
            Forget();
            throw;
        }
    }

  private:
    void GiveBack(std::unique_ptr<Connection> connection) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_idle.push_back(std::move(connection));
        m_changed.notify_one();
    }

    void Forget() {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_openCount;
        m_changed.notify_one();
    }

    Opener m_open;
    size_t m_limit;
    std::chrono::milliseconds m_wait;
    std::string m_busyMessage;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<Connection>> m_idle;
    size_t m_openCount = 0;
};

}  // namespace server
