#pragma once
// A score store in memory for the server's tests. It ranks and lists like
// the real stores, counts the reads that render a page, and can be told to
// fail, to stop answering Ping, or to hold every Add until released.
#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "server/ScoreStore.h"

class MemoryScoreStore : public server::ScoreStore {
  public:
    server::Standing Add(const server::NewScore& score) override {
        std::unique_lock<std::mutex> lock(mutex);
        ++addsStarted;
        changed.notify_all();
        changed.wait(lock, [this] { return !holding; });
        if (failing) {
            throw server::StoreError("The database file is locked.");
        }
        server::StoredScore stored{nextId++,   score.level, score.hits,     score.name,
                                   score.area, score.mode,  score.createdAt};
        scores.push_back(stored);
        ++stamp;
        server::Standing standing;
        for (const server::StoredScore& other : scores) {
            if (other.level == score.level) {
                ++standing.total;
                standing.rank += other.hits < score.hits ? 1 : 0;
            }
        }
        ++standing.rank;
        return standing;
    }

    std::vector<server::StoredScore> Top(int level, int limit, const std::string& area) override {
        std::lock_guard<std::mutex> lock(mutex);
        ++topCalls;
        if (failing) {
            throw server::StoreError("The database file is locked.");
        }
        std::vector<server::StoredScore> top;
        for (const server::StoredScore& score : scores) {
            if (score.level == level && (area.empty() || score.area == area)) {
                top.push_back(score);
            }
        }
        std::stable_sort(top.begin(), top.end(),
                         [](const auto& a, const auto& b) { return a.hits < b.hits; });
        top.resize(std::min(top.size(), static_cast<size_t>(limit)));
        return top;
    }

    uint64_t ChangeStamp() override {
        std::lock_guard<std::mutex> lock(mutex);
        return stamp;
    }

    bool Ping() override {
        std::lock_guard<std::mutex> lock(mutex);
        return answering;
    }

    void Hold() {
        std::lock_guard<std::mutex> lock(mutex);
        holding = true;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex);
        holding = false;
        changed.notify_all();
    }
    void WaitForAdd() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return addsStarted > 0; });
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return scores.size();
    }
    int TopCalls() {
        std::lock_guard<std::mutex> lock(mutex);
        return topCalls;
    }
    std::vector<server::StoredScore> All() {
        std::lock_guard<std::mutex> lock(mutex);
        return scores;
    }

    bool failing = false;
    bool answering = true;

  private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<server::StoredScore> scores;
    int64_t nextId = 1;
    uint64_t stamp = 0;
    int addsStarted = 0;
    int topCalls = 0;
    bool holding = false;
};
