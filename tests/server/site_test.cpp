// The ranking site without HTTP: registering, refusing, the ranking page and
// its cache, the JSON, the rate limit, the request log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include "MemoryScoreStore.h"
#include "http/PageLines.h"
#include "ranking/SendScore.h"
#include "server/RankingSite.h"
#include "server/RateLimiter.h"
#include "server/RequestLog.h"

namespace {

using server::NewScore;
using server::RankingSite;
using server::SiteRequest;
using server::SiteResponse;

constexpr int64_t kDecember8 = 1796725800;  // 2026-12-08T10:30:00Z

// The text the game shows for an answer page, read by the game's own code.
std::string GameReads(const std::string& body) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    splitter.Feed(body.data(), body.size());
    splitter.Finish();
    return ReadScoreAnswer(lines);
}

// Rank, name and hits of every row of the page, section by section.
std::vector<std::string> Rows(const std::string& page) {
    std::vector<std::string> rows;
    std::regex row(
        "<h2 id=\"level-(\\d)\">|<tr><td class=\"n\">(\\d+)</td><td>(.*?)</td><td>.*?</td>"
        "<td class=\"n\">(\\d+)</td>");
    for (std::sregex_iterator it(page.begin(), page.end(), row), end; it != end; ++it) {
        const std::smatch& m = *it;
        rows.push_back(m[1].matched ? "level " + m[1].str()
                                    : m[2].str() + " " + m[3].str() + " " + m[4].str());
    }
    return rows;
}

class Site : public ::testing::Test {
  protected:
    SiteResponse Get(const std::string& target, const std::string& client = "192.0.2.7",
                     const std::string& method = "GET") {
        return site.Handle(SiteRequest{method, target, client, now, steady});
    }
    SiteResponse Register(const std::string& name, int level, int hits,
                          const std::string& area = "Japan") {
        return Get("/game/zankoru/GameSet.asp?aria=" + area + "&name=" + name +
                   "&mode=0&level=" + std::to_string(level) + "&score=" + std::to_string(hits));
    }
    void Put(const std::string& name, int level, int hits, const std::string& area = "Japan") {
        store.Add(NewScore{level, hits, name, area, "0", now});
    }
    static std::string Header(const SiteResponse& response, const std::string& name) {
        for (const auto& [key, value] : response.headers) {
            if (key == name) {
                return value;
            }
        }
        return "";
    }

    MemoryScoreStore store;
    RankingSite site{store, 30};
    int64_t now = kDecember8;
    int64_t steady = 5000;
};

TEST_F(Site, RegistersAndAnswersWithTheRankAmongTheLevel) {
    struct Case {
        std::string name;
        int level, hits;
        std::string shown;
    };
    const Case cases[] = {
        {"Kel", 3, 2, "Thank you, Kel.\nHard, 2 hits: rank 1 of 1.\r\n"},
        {"Ann", 3, 1, "Thank you, Ann.\nHard, 1 hit: rank 1 of 2.\r\n"},
        {"Bob", 3, 2, "Thank you, Bob.\nHard, 2 hits: rank 2 of 3.\r\n"},
        {"Cy", 3, 9, "Thank you, Cy.\nHard, 9 hits: rank 4 of 4.\r\n"},
        {"Dee", 1, 0, "Thank you, Dee.\nEasy, 0 hits: rank 1 of 1.\r\n"},
        {"", 2, 3, "Thank you.\nNormal, 3 hits: rank 1 of 1.\r\n"},
        // A name holding a marker would cut the game's reading short.
        {"xDATA_END", 2, 3, "Thank you.\nNormal, 3 hits: rank 1 of 2.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SiteResponse response = Register(c.name, c.level, c.hits);
        EXPECT_EQ(200, response.status);
        EXPECT_EQ("text/html; charset=utf-8", response.contentType);
        EXPECT_EQ("no-store", Header(response, "Cache-Control"));
        EXPECT_EQ(c.shown, GameReads(*response.body));
    }
    server::StoredScore first = store.All().front();
    EXPECT_EQ(std::make_tuple(3, 2, std::string("Kel"), std::string("Japan"), std::string("0"),
                              kDecember8),
              std::make_tuple(first.level, first.hits, first.name, first.area, first.mode,
                              first.createdAt));
}

TEST_F(Site, RefusesWithASentenceAndStoresNothing) {
    struct Case {
        std::string method, target;
        int status;
        std::string shown;
    };
    const Case cases[] = {
        {"GET", "/game/zankoru/GameSet.asp?aria=Japan&name=Kel&mode=0&level=5&score=2", 400,
         "The score was not registered: the level must be 1, 2 or 3.\r\n"},
        {"GET", "/game/zankoru/GameSet.asp", 400,
         "The score was not registered: the level is missing.\r\n"},
        // HEAD must not change anything, so it does not register.
        {"HEAD", "/game/zankoru/GameSet.asp?level=1&score=2", 405, "Err"},
        {"POST", "/game/zankoru/GameSet.asp?level=1&score=2", 405, "Err"},
        {"GET", "/game/zankoru/gameset.asp?level=1&score=2", 404, "Err"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.target);
        SiteResponse response = Get(c.target, "192.0.2.7", c.method);
        EXPECT_EQ(c.status, response.status);
        EXPECT_EQ(c.shown, GameReads(*response.body));
    }
    EXPECT_EQ(0u, store.Count());

    store.failing = true;
    SiteResponse failed = Register("Kel", 3, 2);
    EXPECT_EQ(503, failed.status);
    EXPECT_EQ(
        "The score was not registered: the ranking database does not answer; please try again "
        "later.\r\n",
        GameReads(*failed.body));
    EXPECT_EQ("The database file is locked.", failed.note);  // for the log
}

TEST_F(Site, AllowsThirtyScoresAMinuteFromOneAddress) {
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(200, Register("Kel", 1, 5).status) << i;
        steady += 1;
    }
    SiteResponse refused = Register("Kel", 1, 5);
    EXPECT_EQ(429, refused.status);
    EXPECT_EQ("60", Header(refused, "Retry-After"));
    EXPECT_EQ(
        "The score was not registered: too many scores came from this address in the last "
        "minute; please try again in a minute.\r\n",
        GameReads(*refused.body));
    EXPECT_EQ(30u, store.Count());
    EXPECT_EQ(200, Get("/game/zankoru/GameSet.asp?level=1&score=1", "192.0.2.8").status);
    steady += 30;  // a minute after the first one
    EXPECT_EQ(200, Register("Kel", 1, 5).status);
    EXPECT_EQ(429, Register("Kel", 1, 5).status);
}

TEST(RateLimiter, CountsPerAddressAndIpv6Network) {
    struct Step {
        std::string client;
        int64_t second;
        bool allowed;
    };
    // Two a minute.
    const Step steps[] = {
        {"192.0.2.1", 0, true},
        {"192.0.2.1", 10, true},
        {"192.0.2.1", 20, false},
        {"192.0.2.2", 20, true},
        {"192.0.2.1", 60, true},
        {"192.0.2.1", 61, false},
        {"2001:db8:0:1::1", 0, true},
        {"2001:db8:0:1::2", 1, true},
        {"2001:db8:0:1:ffff::9", 2, false},
        {"2001:db8:0:2::1", 2, true},
    };
    server::RateLimiter limiter(2);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.client + " at " + std::to_string(step.second));
        EXPECT_EQ(step.allowed, limiter.Allow(step.client, step.second));
    }
    server::RateLimiter unlimited(0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(unlimited.Allow("192.0.2.1", 0));
    }
}

TEST(RateLimiter, ForgetsTheLongestSilentClientWhenFull) {
    server::RateLimiter limiter(1, 2);
    EXPECT_TRUE(limiter.Allow("192.0.2.1", 0));
    EXPECT_TRUE(limiter.Allow("192.0.2.2", 1));
    EXPECT_FALSE(limiter.Allow("192.0.2.2", 2));
    EXPECT_TRUE(limiter.Allow("192.0.2.3", 2));  // 192.0.2.1 is forgotten for it
    EXPECT_TRUE(limiter.Allow("192.0.2.1", 3));
    EXPECT_FALSE(limiter.Allow("192.0.2.1", 4));
}

TEST_F(Site, RankingPageSharesRanksAndListsHardFirst) {
    Put("Ann", 3, 2);
    Put("Bob", 3, 0);
    Put("Cy", 3, 2);
    Put("Dee", 3, 5);
    Put("Eve", 3, 2);
    Put("", 1, 4, "");
    SiteResponse response = Get("/game/zankoru/GameResult.asp");
    ASSERT_EQ(200, response.status);
    const std::string& page = *response.body;
    EXPECT_EQ((std::vector<std::string>{"level 3", "1 Bob 0", "2 Ann 2", "2 Cy 2", "2 Eve 2",
                                        "5 Dee 5", "level 2", "level 1", "1 - 4"}),
              Rows(page));
    size_t normal = page.find("<h2 id=\"level-2\">Normal</h2>");
    std::string normalSection = page.substr(normal, page.find("</section>", normal) - normal);
    EXPECT_NE(std::string::npos,
              normalSection.find("<tbody>\n<tr><td colspan=\"5\">No scores yet.</td></tr>\n"
                                 "</tbody>"));
    EXPECT_NE(std::string::npos, page.find("<td>Japan</td>"));
    EXPECT_NE(std::string::npos, page.find("<td>-</td><td class=\"n\">4</td>"));
    EXPECT_NE(std::string::npos,
              page.find("<time datetime=\"2026-12-08T10:30:00Z\">2026-12-08T10:30:00Z</time>"));
    EXPECT_EQ(std::string::npos, page.find("<script"));
}

TEST_F(Site, RankingPageFiltersByLevelAndArea) {
    Put("Ann", 3, 2, "Japan");
    Put("Bob", 3, 1, "Sri Lanka");
    Put("Cy", 2, 1, "Japan");
    struct Case {
        std::string query;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"?level=3", {"level 3", "1 Bob 1", "2 Ann 2"}},
        {"?aria=Japan", {"level 3", "1 Ann 2", "level 2", "1 Cy 1", "level 1"}},
        {"?aria=Sri%20Lanka&level=2", {"level 2"}},
        {"?limit=1&level=3", {"level 3", "1 Bob 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        SiteResponse response = Get("/game/zankoru/GameResult.asp" + c.query);
        EXPECT_EQ(200, response.status);
        EXPECT_EQ(c.rows, Rows(*response.body));
    }
    SiteResponse bad = Get("/game/zankoru/GameResult.asp?level=7");
    EXPECT_EQ(400, bad.status);
    EXPECT_NE(std::string::npos,
              bad.body->find("<p>The level must be 1 (Easy), 2 (Normal) or 3 (Hard).</p>"));
}

TEST_F(Site, PageIsRenderedOncePerWrite) {
    Put("Ann", 3, 2);
    std::string target = "/game/zankoru/GameResult.asp";
    std::string first = *Get(target).body;
    int reads = store.TopCalls();
    EXPECT_EQ(3, reads);  // one a level
    EXPECT_EQ(first, *Get(target).body);
    EXPECT_EQ(first, *Get(target, "192.0.2.99", "HEAD").body);
    EXPECT_EQ(reads, store.TopCalls());

    EXPECT_EQ(200, Register("Bob", 3, 1).status);
    std::string second = *Get(target).body;
    EXPECT_NE(std::string::npos, second.find("Bob"));
    EXPECT_EQ(reads + 3, store.TopCalls());
    Get(target);
    EXPECT_EQ(reads + 3, store.TopCalls());

    // A write by another server process sharing the database shows too.
    Put("Cy", 3, 0);
    EXPECT_NE(std::string::npos, Get(target).body->find("Cy"));
    // The level pages and the JSON are kept apart from it.
    EXPECT_EQ(std::vector<std::string>({"level 2"}), Rows(*Get(target + "?level=2").body));
    EXPECT_EQ("{\"level\":2,\"scores\":[]}", *Get("/api/v1/scores?level=2").body);
}

TEST_F(Site, NamesAreTextEverywhere) {
    EXPECT_EQ(200, Register("%3Cscript%3Ealert(1)%3C/script%3E%26%22%27", 3, 2).status);
    SiteResponse answer = Register("%3Cscript%3Ealert(1)%3C/script%3E%26%22%27", 3, 3);
    std::string page = *Get("/game/zankoru/GameResult.asp").body;
    std::string json = *Get("/api/v1/scores?level=3").body;
    std::string escaped = "&lt;script&gt;alert(1)&lt;/script&gt;&amp;&quot;&#39;";
    EXPECT_NE(std::string::npos, answer.body->find("Thank you, " + escaped + ".<P>"));
    // The game turns the escapes back into the characters the player typed.
    EXPECT_EQ("Thank you, <script>alert(1)</script>&\"'.\nHard, 3 hits: rank 2 of 2.\r\n",
              GameReads(*answer.body));
    EXPECT_NE(std::string::npos, page.find("<td>" + escaped + "</td>"));
    EXPECT_NE(
        std::string::npos,
        json.find("\"name\":\"\\u003cscript\\u003ealert(1)\\u003c/script\\u003e\\u0026\\\"'\""));
    for (const std::string& text : {*answer.body, page, json}) {
        EXPECT_EQ(std::string::npos, text.find("<script")) << text;
    }
}

TEST_F(Site, ScoresAsJson) {
    Put("Ann", 3, 2, "Japan");
    Put("Bob\n\\", 3, 2, "");
    Put("Cy", 3, 4, "UK");
    Put("Dee", 1, 4, "UK");
    const std::pair<std::string, std::string> cases[] = {
        {"level=3&limit=2",
         "{\"level\":3,\"scores\":[{\"rank\":1,\"name\":\"Ann\",\"area\":\"Japan\",\"hits\":2,"
         "\"date\":\"2026-12-08T10:30:00Z\"},{\"rank\":1,\"name\":\"Bob\\u000a\\\\\",\"area\":"
         "\"\",\"hits\":2,\"date\":\"2026-12-08T10:30:00Z\"}]}"},
        {"level=1&aria=UK",
         "{\"level\":1,\"scores\":[{\"rank\":1,\"name\":\"Dee\",\"area\":\"UK\",\"hits\":4,"
         "\"date\":\"2026-12-08T10:30:00Z\"}]}"},
    };
    for (const auto& [query, json] : cases) {
        SCOPED_TRACE(query);
        SiteResponse response = Get("/api/v1/scores?" + query);
        EXPECT_EQ(200, response.status);
        EXPECT_EQ("application/json; charset=utf-8", response.contentType);
        EXPECT_EQ(json, *response.body);
    }
    for (const char* bad : {"", "level=4", "level=3&limit=0", "level=3&limit=101"}) {
        SCOPED_TRACE(bad);
        SiteResponse response = Get(std::string("/api/v1/scores?") + bad);
        EXPECT_EQ(400, response.status);
        EXPECT_EQ("application/json; charset=utf-8", response.contentType);
        EXPECT_EQ(0u, response.body->find("{\"error\":\"The "));
    }
}

TEST_F(Site, HealthFollowsTheDatabase) {
    SiteResponse up = Get("/healthz");
    EXPECT_EQ(200, up.status);
    EXPECT_EQ("ok", *up.body);
    store.answering = false;
    EXPECT_EQ(503, Get("/healthz").status);
    store.answering = true;
    store.failing = true;
    EXPECT_EQ(503, Get("/game/zankoru/GameResult.asp").status);
    EXPECT_EQ(503, Get("/api/v1/scores?level=1").status);
}

TEST(RequestLog, LineLeavesNamesOutAndStaysOneLine) {
    const std::pair<std::string, std::string> targets[] = {
        {"/game/zankoru/GameSet.asp?aria=Japan&name=Kel&mode=0&level=3&score=2",
         "/game/zankoru/GameSet.asp?aria=Japan&name=-&mode=0&level=3&score=2"},
        {"/g?%6Eame=Kel&name&name=a=b&names=x", "/g?name=-&name=-&name=-&names=x"},
        {"/a\r\nb?\x1b[31m", "/a%0D%0Ab?%1B[31m"},
        {"/healthz", "/healthz"},
        {"/" + std::string(600, 'x'), "/" + std::string(511, 'x') + "..."},
    };
    for (const auto& [target, logged] : targets) {
        EXPECT_EQ(logged, server::LoggedTarget(target));
    }
    EXPECT_EQ(
        "2026-12-08T10:30:00Z 192.0.2.7 GET /game/zankoru/GameSet.asp?name=-&level=3 503 1234us "
        "(disk full; try later)",
        server::RequestLogLine(kDecember8, "192.0.2.7", "GET",
                               "/game/zankoru/GameSet.asp?name=Kel&level=3", 503, 1234,
                               "disk full;\ntry later"));
}

TEST(RequestLog, NeverWaitsForAStuckReader) {
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    std::string text;
    std::thread reader;
    {
        server::RequestLog log(ends[1], 100);
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20000; ++i) {
            log.Write(std::string(200, 'a'));  // 4 MB into a 64 KiB pipe nobody reads yet
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        reader = std::thread([&] {
            char buffer[65536];
            ssize_t count;
            while ((count = read(ends[0], buffer, sizeof buffer)) > 0) {
                text.append(buffer, static_cast<size_t>(count));
            }
        });
    }  // the log writes what is queued before it goes
    close(ends[1]);
    reader.join();
    close(ends[0]);
    size_t lines = 0;
    size_t dropped = 0;
    std::regex droppedLine("(\\d+) log lines dropped: standard error was too slow");
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = text.substr(start, end - start);
        std::smatch count;
        if (std::regex_match(line, count, droppedLine)) {
            dropped += std::stoul(count[1]);
        } else {
            ASSERT_EQ(std::string(200, 'a'), line);
            ++lines;
        }
    }
    EXPECT_EQ(20000u, lines + dropped);
    EXPECT_GT(dropped, 10000u);
}

}  // namespace
