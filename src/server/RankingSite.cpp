#include "server/RankingSite.h"

#include "server/AnswerPage.h"
#include "server/Listing.h"
#include "server/RankingPage.h"
#include "server/ScoreRequest.h"

namespace server {

namespace {

const char kScorePath[] = "/game/zankoru/GameSet.asp";
const char kRankingPath[] = "/game/zankoru/GameResult.asp";
const char kScoresPath[] = "/api/v1/scores";
const char kHealthPath[] = "/healthz";

const char kHtml[] = "text/html; charset=utf-8";
const char kJson[] = "application/json; charset=utf-8";
const char kText[] = "text/plain; charset=utf-8";

SiteResponse Answer(int status, const char* contentType, std::string body) {
    SiteResponse response;
    response.status = status;
    response.contentType = contentType;
    response.body = std::make_shared<const std::string>(std::move(body));
    return response;
}

// The key of a listing in the page cache, `kind` telling the page from the JSON.
std::string CacheKey(const char* kind, const Listing& listing) {
    std::string key = kind;
    for (int level : listing.levels) {
        key += std::to_string(level);
    }
    return key + "|" + std::to_string(listing.limit) + "|" + listing.area;
}

std::vector<LevelScores> Fetch(ScoreStore& store, const Listing& listing) {
    std::vector<LevelScores> levels;
    for (int level : listing.levels) {
        levels.push_back({level, store.Top(level, listing.limit, listing.area)});
    }
    return levels;
}

}  // namespace

Lane RankingSite::LaneOf(const std::string& method, const std::string& target) {
    std::string path = target.substr(0, target.find('?'));
    if (path == kHealthPath) {
        return Lane::Health;
    }
    return path == kScorePath && method == "GET" ? Lane::Write : Lane::Read;
}

RankingSite::RankingSite(ScoreStore& store, int maxPerMinute)
    : m_store(store), m_limiter(maxPerMinute) {}

SiteResponse RankingSite::Handle(const SiteRequest& request) {
    size_t mark = request.target.find('?');
    std::string path = request.target.substr(0, mark);
    std::string query = mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
    bool get = request.method == "GET";
    bool readOnly = get || request.method == "HEAD";
    SiteResponse response;
    if (path == kScorePath && get) {
        response = Register(request, query);
    } else if (path == kRankingPath && readOnly) {
        response = Ranking(query);
    } else if (path == kScoresPath && readOnly) {
        response = Scores(query);
    } else if (path == kHealthPath && readOnly) {
        response = Health();
    } else if (path == kScorePath || path == kRankingPath || path == kScoresPath ||
               path == kHealthPath) {
        // A score is registered by GET alone: HEAD must not change anything.
        std::string allowed = path == kScorePath ? "GET" : "GET, HEAD";
        response = Answer(405, kHtml,
                          MessagePage("Method not allowed",
                                      "This address answers " + allowed + " requests only."));
        response.headers.emplace_back("Allow", allowed);
    } else {
        response =
            Answer(404, kHtml, MessagePage("Not found", "There is no page at this address."));
    }
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

SiteResponse RankingSite::Register(const SiteRequest& request, const std::string& query) {
    ScoreRequest read = ReadScoreRequest(query);
    SiteResponse response;
    if (!read.problem.empty()) {
        response = Answer(400, kHtml, RefusedPage(read.problem));
    } else if (!m_limiter.Allow(request.client, request.steadySeconds)) {
        response = Answer(429, kHtml,
                          RefusedPage("too many scores came from this address in the last "
                                      "minute; please try again in a minute"));
        response.headers.emplace_back("Retry-After", "60");
    } else {
        read.score.createdAt = request.wallSeconds;
        try {
            Standing standing = m_store.Add(read.score);
            response = Answer(200, kHtml, RegisteredPage(read.score, standing));
        } catch (const StoreError& error) {
            response = Answer(503, kHtml,
                              RefusedPage("the ranking database does not answer; please try "
                                          "again later"));
            response.note = error.what();
        }
    }
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

SiteResponse RankingSite::Ranking(const std::string& query) {
    Listing listing = ReadListing(query);
    if (!listing.problem.empty()) {
        return Answer(400, kHtml, MessagePage("The ranking cannot be shown", listing.problem));
    }
    SiteResponse response;
    try {
        uint64_t stamp = m_store.ChangeStamp();
        response.body = m_cache.Get(CacheKey("page:", listing), stamp, [&] {
            return RankingPage(Fetch(m_store, listing), listing.area);
        });
        response.contentType = kHtml;
    } catch (const StoreError& error) {
        response = Answer(503, kHtml,
                          MessagePage("The ranking cannot be shown",
                                      "The ranking database does not answer; please try again "
                                      "later."));
        response.note = error.what();
    }
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

SiteResponse RankingSite::Scores(const std::string& query) {
    Listing listing = ReadListing(query);
    if (listing.problem.empty() && !listing.levelGiven) {
        listing.problem = "The level is required: 1 (Easy), 2 (Normal) or 3 (Hard).";
    }
    if (!listing.problem.empty()) {
        return Answer(400, kJson, ErrorJson(listing.problem));
    }
    SiteResponse response;
    try {
        uint64_t stamp = m_store.ChangeStamp();
        response.body = m_cache.Get(CacheKey("json:", listing), stamp,
                                    [&] { return ScoresJson(Fetch(m_store, listing).front()); });
        response.contentType = kJson;
    } catch (const StoreError& error) {
        response = Answer(503, kJson, ErrorJson("The ranking database does not answer."));
        response.note = error.what();
    }
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

SiteResponse RankingSite::Health() {
    bool up = false;
    try {
        up = m_store.Ping();
    } catch (const StoreError&) {
    }
    SiteResponse response = up ? Answer(200, kText, "ok") : Answer(503, kText, "unavailable");
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

}  // namespace server
