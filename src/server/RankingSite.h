#pragma once
// What the ranking server answers, path by path, apart from HTTP itself:
//   GET /game/zankoru/GameSet.asp?...   registers a score (the game's call)
//   GET /game/zankoru/GameResult.asp    the ranking page; level=, aria=
//   GET /api/v1/scores?level=N          the same as JSON; limit=, aria=
//   GET /healthz                        "ok" while the database answers
// HEAD is answered like GET except on GameSet.asp, which only GET changes.
// Safe to call from every thread.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "server/PageCache.h"
#include "server/RateLimiter.h"
#include "server/ScoreStore.h"

namespace server {

struct SiteRequest {
    std::string method;
    std::string target;         // path and query as sent, still encoded
    std::string client;         // the client's address as text
    int64_t wallSeconds = 0;    // now, since 1970-01-01 UTC: the score's date
    int64_t steadySeconds = 0;  // now on a clock that never goes back
};

struct SiteResponse {
    int status = 200;
    std::string contentType;
    std::shared_ptr<const std::string> body;
    std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type
    std::string note;  // for the request log only: what went wrong inside
};

// Which workers a request waits for: registrations, which queue for the
// database's single writer, never hold up the reading of pages, and neither
// holds up the health check.
enum class Lane { Write, Read, Health };

class RankingSite {
  public:
    static Lane LaneOf(const std::string& method, const std::string& target);

    // `maxPerMinute`: registrations one client may make in a minute, 0 for
    // no limit.
    RankingSite(ScoreStore& store, int maxPerMinute);

    SiteResponse Handle(const SiteRequest& request);

  private:
    SiteResponse Register(const SiteRequest& request, const std::string& query);
    SiteResponse Ranking(const std::string& query);
    SiteResponse Scores(const std::string& query);
    SiteResponse Health();

    ScoreStore& m_store;
    RateLimiter m_limiter;
    PageCache m_cache;
};

}  // namespace server
