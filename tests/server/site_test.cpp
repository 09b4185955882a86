// The ranking site without HTTP: registering, refusing, the ranking page and
// its cache, the JSON, the rate limit, the request log.
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
    SiteResponse Get(const std::string& target, const std::string& method = "GET") {
        return site.Handle(server::SiteRequest{method, target, "192.0.2.7", kDecember8, 5000});
    }
    SiteResponse Register(const std::string& name, int level, int hits) {
        return Get("/game/zankoru/GameSet.asp?aria=Japan&name=" + name +
                   "&mode=0&level=" + std::to_string(level) + "&score=" + std::to_string(hits));
    }
    void Put(const std::string& name, int level, int hits, const std::string& area = "Japan") {
        store.Add(server::NewScore{level, hits, name, area, "0", kDecember8});
    }
    std::string Page(const std::string& query = "") {
        return *Get("/game/zankoru/GameResult.asp" + query).body;
    }

    MemoryScoreStore store;
    server::RankingSite site{store, 0};
};

TEST_F(Site, RegistersAndAnswersWithTheRankAmongTheLevel) {
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {"Kel", 3, 2, "Thank you, Kel.\nHard, 2 hits: rank 1 of 1.\r\n"},
        {"Ann", 3, 1, "Thank you, Ann.\nHard, 1 hit: rank 1 of 2.\r\n"},
        {"Bob", 3, 2, "Thank you, Bob.\nHard, 2 hits: rank 2 of 3.\r\n"},
        {"", 2, 3, "Thank you.\nNormal, 3 hits: rank 1 of 1.\r\n"},
        // A name holding a marker would cut the game's reading short.
        {"xDATA_END", 2, 3, "Thank you.\nNormal, 3 hits: rank 1 of 2.\r\n"},
    };
    for (const auto& [name, level, hits, shown] : cases) {
        SCOPED_TRACE(name);
        SiteResponse response = Register(name, level, hits);
        EXPECT_EQ(200, response.status);
        EXPECT_EQ(shown, GameReads(*response.body));
    }
    server::StoredScore first = store.All().front();
    EXPECT_EQ(std::make_tuple(3, 2, std::string("Kel"), std::string("Japan"), kDecember8),
              std::tie(first.level, first.hits, first.name, first.area, first.createdAt));
}

TEST_F(Site, RefusesWithASentenceAndStoresNothing) {
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {"GET", "/game/zankoru/GameSet.asp?aria=Japan&name=Kel&mode=0&level=5&score=2", 400,
         "The score was not registered: the level must be 1, 2 or 3.\r\n"},
        {"GET", "/game/zankoru/GameSet.asp", 400,
         "The score was not registered: the level is missing.\r\n"},
        // HEAD must not change anything, so it does not register.
        {"HEAD", "/game/zankoru/GameSet.asp?level=1&score=2", 405, "Err"},
        {"GET", "/game/zankoru/gameset.asp?level=1&score=2", 404, "Err"},
    };
    for (const auto& [method, target, status, shown] : cases) {
        SCOPED_TRACE(method + " " + target);
        SiteResponse response = Get(target, method);
        EXPECT_EQ(status, response.status);
        EXPECT_EQ(shown, GameReads(*response.body));
    }
    EXPECT_TRUE(store.All().empty());

    store.failing = true;
    SiteResponse failed = Register("Kel", 3, 2);
    EXPECT_EQ(503, failed.status);
    EXPECT_EQ(
        "The score was not registered: the ranking database does not answer; please try again "
        "later.\r\n",
        GameReads(*failed.body));
    EXPECT_EQ("The database file is locked.", failed.note);  // for the log
    EXPECT_EQ(503, Get("/game/zankoru/GameResult.asp").status);
    EXPECT_EQ(503, Get("/api/v1/scores?level=1").status);
}

TEST(RateLimiter, CountsPerAddressAndIpv6NetworkAndForgetsTheLongestSilent) {
    server::RateLimiter two(2), small(1, 2);  // a minute; `small` knows two clients at most
    // A braced list calls them in order.
    std::vector<bool> allowed{
        two.Allow("192.0.2.1", 0),         two.Allow("192.0.2.1", 10),
        two.Allow("192.0.2.1", 20),        two.Allow("192.0.2.2", 20),
        two.Allow("192.0.2.1", 60),        two.Allow("192.0.2.1", 61),
        two.Allow("2001:db8:0:1::1", 0),   two.Allow("2001:db8:0:1::2", 1),
        two.Allow("2001:db8:0:1:f::9", 2), two.Allow("2001:db8:0:2::1", 2),
        small.Allow("192.0.2.1", 0),       small.Allow("192.0.2.2", 1),
        small.Allow("192.0.2.2", 2),       small.Allow("192.0.2.3", 2),  // forgets 192.0.2.1
        small.Allow("192.0.2.1", 3),       small.Allow("192.0.2.1", 4)};
    EXPECT_EQ((std::vector<bool>{true, true, false, true, true, false, true, true, false, true,
                                 true, true, false, true, true, false}),
              allowed);
}

TEST_F(Site, RankingPageSharesRanksListsHardFirstAndFilters) {
    for (const auto& [name, hits] : {std::pair{"Ann", 2}, {"Bob", 0}, {"Cy", 2}, {"Eve", 5}}) {
        Put(name, 3, hits);
    }
    Put("Dee", 3, 1, "Sri Lanka");
    Put("", 1, 4, "");
    std::string page = Page();
    EXPECT_NE(std::string::npos, page.find("<td colspan=\"5\">No scores yet.</td>"));
    EXPECT_NE(std::string::npos, page.find("<td>-</td><td class=\"n\">4</td>"));
    EXPECT_NE(std::string::npos,
              page.find("<time datetime=\"2026-12-08T10:30:00Z\">2026-12-08T10:30:00Z</time>"));
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"",
         {"level 3", "1 Bob 0", "2 Dee 1", "3 Ann 2", "3 Cy 2", "5 Eve 5", "level 2", "level 1",
          "1 - 4"}},
        {"?aria=Japan",
         {"level 3", "1 Bob 0", "2 Ann 2", "2 Cy 2", "4 Eve 5", "level 2", "level 1"}},
        {"?aria=Sri%20Lanka&level=3", {"level 3", "1 Dee 1"}},
        {"?limit=2&level=3", {"level 3", "1 Bob 0", "2 Dee 1"}},
    };
    for (const auto& [query, rows] : cases) {
        EXPECT_EQ(rows, Rows(Page(query))) << query;
    }
}

TEST_F(Site, PageIsRenderedOncePerWrite) {
    Put("Ann", 3, 2);
    std::string first = Page();
    EXPECT_EQ(3, store.topCalls);  // one a level
    EXPECT_EQ(first, Page());
    EXPECT_EQ(first, *Get("/game/zankoru/GameResult.asp", "HEAD").body);
    EXPECT_EQ(3, store.topCalls);

    EXPECT_EQ(200, Register("Bob", 3, 1).status);
    EXPECT_NE(std::string::npos, Page().find("Bob"));
    Page();
    EXPECT_EQ(6, store.topCalls);
    // A write by another server process sharing the database shows too.
    Put("Cy", 3, 0);
    EXPECT_NE(std::string::npos, Page().find("Cy"));
    // The level pages and the JSON are kept apart from it.
    EXPECT_EQ(std::vector<std::string>({"level 2"}), Rows(Page("?level=2")));
    EXPECT_EQ("{\"level\":2,\"scores\":[]}", *Get("/api/v1/scores?level=2").body);
}

TEST_F(Site, NamesAreTextEverywhere) {
    SiteResponse answer = Register("%3Cscript%3Ealert(1)%3C/script%3E%26%22%27", 3, 3);
    std::string page = Page();
    std::string json = *Get("/api/v1/scores?level=3").body;
    std::string escaped = "&lt;script&gt;alert(1)&lt;/script&gt;&amp;&quot;&#39;";
    EXPECT_NE(std::string::npos, answer.body->find("Thank you, " + escaped + ".<P>"));
    // The game turns the escapes back into the characters the player typed.
    EXPECT_EQ("Thank you, <script>alert(1)</script>&\"'.\nHard, 3 hits: rank 1 of 1.\r\n",
              GameReads(*answer.body));
    EXPECT_NE(std::string::npos, page.find("<td>" + escaped + "</td>"));
    EXPECT_NE(
        std::string::npos,
        json.find("\"name\":\"\\u003cscript\\u003ealert(1)\\u003c/script\\u003e\\u0026\\\"'\""));
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
        {"level=4", "{\"error\":\"The "},
        {"level=3&limit=0", "{\"error\":\"The "},
        {"level=3&limit=101", "{\"error\":\"The "},
    };
    for (const auto& [query, json] : cases) {
        EXPECT_EQ(0u, Get("/api/v1/scores?" + query).body->find(json)) << query;
    }
}

TEST(RequestLog, LineLeavesNamesOutAndStaysOneLine) {
    const std::pair<std::string, std::string> targets[] = {
        {"/game/zankoru/GameSet.asp?aria=Japan&name=Kel&mode=0&level=3&score=2",
         "/game/zankoru/GameSet.asp?aria=Japan&name=-&mode=0&level=3&score=2"},
        {"/g?%6Eame=Kel&name&name=a=b&names=x", "/g?name=-&name=-&name=-&names=x"},
        {"/a\r\nb?\x1b[31m", "/a%0D%0Ab?%1B[31m"},
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
        for (int i = 0; i < 20000; ++i) {
            log.Write(std::string(200, 'a'));  // 4 MB into a 64 KiB pipe nobody reads yet
        }
        reader = std::thread([&] {
            char buffer[65536];
            for (ssize_t count; (count = read(ends[0], buffer, sizeof buffer)) > 0;) {
                text.append(buffer, static_cast<size_t>(count));
            }
        });
    }  // the log writes what is queued before it goes
    close(ends[1]);
    reader.join();
    close(ends[0]);
    size_t lines = 0, dropped = 0;
    std::regex line("(a{200})\n|(\\d+) log lines dropped: standard error was too slow\n");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        if ((*it)[1].matched) {
            ++lines;
        } else {
            dropped += std::stoul((*it)[2]);
        }
    }
    EXPECT_EQ(20000u, lines + dropped);
    EXPECT_GT(dropped, 10000u);
}

}  // namespace
