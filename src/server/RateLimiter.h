#pragma once
// How many scores one client may register in a minute. A client is its
// IPv4 address, or the /64 network of its IPv6 address (one host commonly
// owns a whole /64). Safe to call from every thread.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class RateLimiter {
  public:
    // At most `perMinute` registrations in any 60 seconds from one client;
    // 0 lets everything through. `maxClients` bounds the memory: past it the
    // clients silent the longest are forgotten first.
    explicit RateLimiter(int perMinute, size_t maxClients = 16384);

    // Counts one registration of `client` (an address as text) at
    // `nowSeconds` (a clock that never goes back) and says whether it is
    // within the limit. A refused one does not count.
    bool Allow(const std::string& client, int64_t nowSeconds);

  private:
    void Prune(int64_t nowSeconds);
    void ForgetLongestSilent();

    const int m_perMinute;
    const size_t m_maxClients;
    std::mutex m_mutex;
    // The times of each client's registrations in the last minute, oldest first.
    std::unordered_map<std::string, std::deque<int64_t>> m_recent;
    int64_t m_lastPrune = 0;
};

}  // namespace server
