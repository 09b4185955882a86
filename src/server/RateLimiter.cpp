#include "server/RateLimiter.h"

#include <arpa/inet.h>

#include <algorithm>

namespace server {

namespace {

constexpr int64_t kWindowSeconds = 60;

// IPv6 clients are counted by their /64: the first four groups.
std::string ClientKey(const std::string& address) {
    unsigned char bytes[16];
    if (address.find(':') == std::string::npos ||
        inet_pton(AF_INET6, address.c_str(), bytes) != 1) {
        return address;
    }
    char text[INET6_ADDRSTRLEN];
    std::fill(bytes + 8, bytes + 16, 0);
    inet_ntop(AF_INET6, bytes, text, sizeof text);
    return std::string(text) + "/64";
}

}  // namespace

RateLimiter::RateLimiter(int perMinute, size_t maxClients)
    : m_perMinute(perMinute), m_maxClients(maxClients) {}

bool RateLimiter::Allow(const std::string& client, int64_t nowSeconds) {
    if (m_perMinute <= 0) {
        return true;
    }
    std::string key = ClientKey(client);
    std::lock_guard<std::mutex> lock(m_mutex);
    // Clients silent for a minute go once a minute, so the cost is spread
    // thin; a new client finding the table full makes room first.
    if (nowSeconds - m_lastPrune >= kWindowSeconds) {
        Prune(nowSeconds);
    }
    if (m_recent.size() >= m_maxClients && m_recent.find(key) == m_recent.end()) {
        Prune(nowSeconds);
        ForgetLongestSilent();
    }
    std::deque<int64_t>& times = m_recent[key];
    while (!times.empty() && times.front() <= nowSeconds - kWindowSeconds) {
        times.pop_front();
    }
    if (times.size() >= static_cast<size_t>(m_perMinute)) {
        return false;
    }
    times.push_back(nowSeconds);
    return true;
}

void RateLimiter::Prune(int64_t nowSeconds) {
    m_lastPrune = nowSeconds;
    std::erase_if(m_recent, [&](const auto& entry) {
        return entry.second.empty() || entry.second.back() <= nowSeconds - kWindowSeconds;
    });
}

// Still full of clients active in the last minute: the one silent the
// longest makes room. It may then register again sooner than it should,
// which is better than refusing every new client.
void RateLimiter::ForgetLongestSilent() {
    while (!m_recent.empty() && m_recent.size() >= m_maxClients) {
        auto oldest = m_recent.begin();
        for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
            if (it->second.back() < oldest->second.back()) {
                oldest = it;
            }
        }
        m_recent.erase(oldest);
    }
}

}  // namespace server
