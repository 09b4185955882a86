// The score submission: the request it sends, the text it reads from the answer.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeServices.h"
#include "ranking/RankingHost.h"
#include "ranking/SendScore.h"

namespace {

using Lines = std::vector<std::string>;

TEST(ReadScoreAnswer, TakesTheTrimmedTextBetweenTheMarkers) {
    const std::pair<Lines, std::string> cases[] = {
        {{"x<DATA_START>", "\t\v\fa<P><P>b \r\n", " \n\r\n", "last", "<DATA_END>"},
         "a\n\nb\r\nlast\r\n"},
        // A line with both markers starts; a repeated start adds nothing.
        {{"<DATA_START DATA_END>", "one", "<DATA_START>", "two"}, "one\r\ntwo\r\n"},
        {{"<DATA_START>", "in", "<DATA_END>", "out", "<DATA_START>", "again"}, "in\r\n"},
        {{"DATA_START", "text", "<DATA_END>"}, "Err"},  // a marker opening its line is none
        {{"<DATA_END>", "<DATA_START>", "text"}, "Err"},
        {{" DATA_START", "  \t\r\n", "\n\r\n", " DATA_END"}, "Err"},
        {{}, "Err"},
    };
    for (const auto& [page, text] : cases) {
        EXPECT_EQ(text, ReadScoreAnswer(page)) << page.size();
    }
}

TEST(SendScore, AsksTheRankingHostAndReadsItsAnswer) {
    FakeServices fakes;
    setenv("ZANKORUC_RANKING_HOST", "rank.example:81", 1);
    fakes.http.response.received = true;
    fakes.http.response.body =
        "<html>\n<!-- DATA_START -->\n  No.5<P>Thanks \r\n\n<!-- DATA_END -->";
    EXPECT_EQ("No.5\nThanks\r\n", SendScore(fakes.http, fakes.dialogs, "Japan", "A B&C#1", 2, 3));
    fakes.http.response.received = false;
    EXPECT_EQ("Err", SendScore(fakes.http, fakes.dialogs, "山", "x", 1, 0));
    setenv("ZANKORUC_RANKING_HOST", "", 1);
    EXPECT_EQ(EXPECTED_RANKING_HOST, RankingHost());
    unsetenv("ZANKORUC_RANKING_HOST");

    ASSERT_EQ(2u, fakes.http.requests.size());
    // The name travels as it is, but for what the wire cannot carry; a "#" cuts the address.
    EXPECT_EQ("http://rank.example:81/game/zankoru/GameSet.asp?aria=Japan&name=A%20B&C",
              fakes.http.requests[0].url);
    EXPECT_EQ("GET", fakes.http.requests[0].method);
    EXPECT_EQ(
        "http://rank.example:81/game/zankoru/"
        "GameSet.asp?aria=%E5%B1%B1&name=x&mode=0&level=1&score=0",
        fakes.http.requests[1].url);
}

}  // namespace
