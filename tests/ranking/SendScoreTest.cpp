// The score submission: the address it builds, the text it reads from the
// server's answer, and the whole round trip against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestHttpServer.h"
#include "platform/net/Internet.h"
#include "ranking/RankingHost.h"
#include "ranking/SendScore.h"

namespace {

using Lines = std::vector<std::string>;

// The answer of the example: a comment holding the start marker, the text
// line, an empty line, a comment holding the end marker; as page lines.
const Lines kExampleAnswer = {"<!-- DATA_START -->\n\r\n", "  You are No.5<P>Thank you  \n\r\n",
                              "\n\r\n", "<!-- DATA_END -->\n\r\n"};

TEST(ScoreAddress, QueryKeepsItsOrderAndTheValuesAsTheyAre) {
    EXPECT_EQ(
        "http://rank.example:8080/game/zankoru/GameSet.asp"
        "?aria=Japan&name=ABC&mode=0&level=2&score=3",
        ScoreAddress("rank.example:8080", "Japan", "ABC", 2, 3));
    EXPECT_EQ("http://h/game/zankoru/GameSet.asp?aria=&name=A B&C#1&mode=0&level=3&score=-1",
              ScoreAddress("h", "", "A B&C#1", 3, -1));
}

TEST(ReadScoreAnswer, TakesTheTrimmedTextBetweenTheMarkers) {
    EXPECT_EQ("You are No.5\nThank you\r\n", ReadScoreAnswer(kExampleAnswer));
    // Several text lines, several paragraph marks, blanks of every kind.
    EXPECT_EQ("a\n\nb\r\nlast\r\n", ReadScoreAnswer({"x<DATA_START>\n\r\n", "\t\v\fa<P><P>b \r\n",
                                                     " \n\r\n", "last\r\n", "<DATA_END>\r\n"}));
    // A line with both markers starts; a repeated start adds nothing.
    EXPECT_EQ("one\r\ntwo\r\n", ReadScoreAnswer({"<DATA_START DATA_END>\r\n", "one\r\n",
                                                 "<!--DATA_START-->\r\n", "two\r\n"}));
    // Lines after the end marker are left out.
    EXPECT_EQ("in\r\n",
              ReadScoreAnswer({"<!-- DATA_START -->\r\n", "in\r\n", "<!-- DATA_END -->\r\n",
                               "out\r\n", "<!-- DATA_START -->\r\n", "again\r\n"}));
}

TEST(ReadScoreAnswer, IsErrWithoutUsableText) {
    EXPECT_EQ("Err", ReadScoreAnswer({}));
    // A marker that opens its line does not count.
    EXPECT_EQ("Err", ReadScoreAnswer({"DATA_START\n\r\n", "text\n\r\n", "<!-- DATA_END -->\r\n"}));
    // The end marker before any start ends the reading.
    EXPECT_EQ("Err",
              ReadScoreAnswer({"<!-- DATA_END -->\r\n", "<!-- DATA_START -->\r\n", "text\r\n"}));
    // Markers with nothing but blanks between them.
    EXPECT_EQ("Err", ReadScoreAnswer({" DATA_START\r\n", "  \t\r\n", "\n\r\n", " DATA_END\r\n"}));
    // No markers at all: an error page.
    EXPECT_EQ("Err", ReadScoreAnswer({"<html>404 Not Found</html>\r\n"}));
}

class SendScoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"http_proxy", "all_proxy", "ALL_PROXY"}) {
            unsetenv(name);
        }
    }
    void TearDown() override { unsetenv("ZANKORUC_RANKING_HOST"); }

    void UseServer(const TestHttpServer& server) {
        setenv("ZANKORUC_RANKING_HOST", server.Host().c_str(), 1);
    }
};

std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

TEST_F(SendScoreTest, SendsTheScoreAndReturnsTheServersText) {
    TestHttpServer server(
        {HttpReply("200 OK", "Content-Type: text/html\r\n",
                   "<html>\r\n<!-- DATA_START -->\r\n  You are No.5<P>Thank you  \r\n\r\n"
                   "<!-- DATA_END -->\r\n</html>\r\n")});
    UseServer(server);

    EXPECT_EQ("You are No.5\nThank you\r\n", SendScore("Japan", "ABC", 2, 3));

    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(
        "GET /game/zankoru/GameSet.asp?aria=Japan&name=ABC&mode=0&level=2&score=3 HTTP/1.0\r\n"
        "Host: " +
            server.Host() +
            "\r\n"
            "Accept: text/*,*/* \r\n"
            "Accept-Language: ja \r\n"
            "User-Agent: KelConnect \r\n"
            "Connection: Keep-Alive \r\n"
            "\r\n",
        server.Requests()[0]);
}

TEST_F(SendScoreTest, NamesTravelUnchangedButEncodedForTheWire) {
    const std::string answer = "<!-- DATA_START -->\r\nok\r\n<!-- DATA_END -->\r\n";
    std::vector<TestHttpServer::Reply> replies(4, HttpReply("200 OK", "", answer));
    TestHttpServer server(replies);
    UseServer(server);

    EXPECT_EQ("ok\r\n", SendScore("Secret", "A B", 1, 0));
    EXPECT_EQ("ok\r\n", SendScore("UK", "Tom&Jerry", 3, 4));
    EXPECT_EQ("ok\r\n", SendScore("", "No#1", 2, 1));
    EXPECT_EQ("ok\r\n", SendScore("Japan", "山田", 1, 2));

    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(4u, requests.size());
    const std::string page = "GET /game/zankoru/GameSet.asp";
    EXPECT_EQ(page + "?aria=Secret&name=A%20B&mode=0&level=1&score=0 HTTP/1.0",
              RequestLine(requests[0]));
    // The ampersand splits the name on the server, as it always has.
    EXPECT_EQ(page + "?aria=UK&name=Tom&Jerry&mode=0&level=3&score=4 HTTP/1.0",
              RequestLine(requests[1]));
    // A number sign cuts the address: mode, level and score are not sent.
    EXPECT_EQ(page + "?aria=&name=No HTTP/1.0", RequestLine(requests[2]));
    EXPECT_EQ(page + "?aria=Japan&name=%E5%B1%B1%E7%94%B0&mode=0&level=1&score=2 HTTP/1.0",
              RequestLine(requests[3]));
}

TEST_F(SendScoreTest, IsErrWhenNothingUsableComesBack) {
    RefusingPort closed;
    setenv("ZANKORUC_RANKING_HOST", ("127.0.0.1:" + std::to_string(closed.Port())).c_str(), 1);
    EXPECT_EQ("Err", SendScore("Japan", "ABC", 1, 0));

    TestHttpServer server({HttpReply("404 Not Found", "", "<html>Not Found</html>\r\n"),
                           HttpReply("200 OK", "", "")});
    UseServer(server);
    EXPECT_EQ("Err", SendScore("Japan", "ABC", 1, 0));

    // No internet session at all: still an answer, and nothing is sent.
    platform::FailNextSessionOpen();
    EXPECT_EQ("Err", SendScore("Japan", "ABC", 1, 0));
    EXPECT_EQ(1u, server.Requests().size());
}

TEST_F(SendScoreTest, RankingHostComesFromTheEnvironmentWhenSet) {
    unsetenv("ZANKORUC_RANKING_HOST");
    EXPECT_EQ(EXPECTED_RANKING_HOST, RankingHost());
    setenv("ZANKORUC_RANKING_HOST", "", 1);
    EXPECT_EQ(EXPECTED_RANKING_HOST, RankingHost());
    setenv("ZANKORUC_RANKING_HOST", "rank.example:81", 1);
    EXPECT_EQ("rank.example:81", RankingHost());
}

}  // namespace
