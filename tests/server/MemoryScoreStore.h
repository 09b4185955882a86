#pragma once
// A score store in memory for the server's tests. It ranks and lists like
// the real stores, counts the reads that render a page, and can be told to
// fail, to stop answering Ping, or to hold every Add until released.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "server/ScoreStore.h"

class MemoryScoreStore : public server::ScoreStore {
  public:
    server::Standing Add(const server::NewScore& s) override {
        std::unique_lock<std::mutex> lock(mutex);
        ++addsStarted;
        changed.notify_all();
        changed.wait(lock, [this] { return !holding; });
        if (failing) {
            throw server::StoreError("The database file is locked.");
        }
        scores.push_back({nextId++, s.level, s.hits, s.name, s.area, s.mode, s.createdAt});
        ++stamp;
        server::Standing standing{1, 0};
        for (const server::StoredScore& other : scores) {
            standing.total += other.level == s.level ? 1 : 0;
            standing.rank += other.level == s.level && other.hits < s.hits ? 1 : 0;
        }
        return standing;
    }
    std::vector<server::StoredScore> Top(int level, int limit, const std::string& area) override {
        std::lock_guard<std::mutex> lock(mutex);
        ++topCalls;
        if (failing) {
            throw server::StoreError("The database file is locked.");
        }
        std::vector<server::StoredScore> top;
        std::copy_if(scores.begin(), scores.end(), std::back_inserter(top), [&](const auto& s) {
            return s.level == level && (area.empty() || s.area == area);
        });
        std::stable_sort(top.begin(), top.end(),
                         [](const auto& a, const auto& b) { return a.hits < b.hits; });
        top.resize(std::min(top.size(), static_cast<size_t>(limit)));
        return top;
    }
    uint64_t ChangeStamp() override { return stamp; }
    bool Ping() override { return answering; }

    void Hold(bool hold) {
        std::lock_guard<std::mutex> lock(mutex);
        holding = hold;
        changed.notify_all();
    }
    void WaitForAdd() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return addsStarted > 0; });
    }
    std::vector<server::StoredScore> All() {
        std::lock_guard<std::mutex> lock(mutex);
        return scores;
    }

    std::atomic<bool> failing = false;
    std::atomic<bool> answering = true;
    std::atomic<int> topCalls = 0;

  private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<server::StoredScore> scores;
    int64_t nextId = 1;
    std::atomic<uint64_t> stamp = 0;
    int addsStarted = 0;
    bool holding = false;
};
