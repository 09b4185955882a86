// The page fetcher against a real HTTP server on 127.0.0.1: the bytes it
// sends, the redirects and the password challenge it handles, the page lines
// it reads, and how it reports network failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestHttpServer.h"
#include "http/CKelHttpConnect.h"
#include "platform/ui/CredentialsDialog.h"
#include "platform/net/Internet.h"

namespace {

const char kScoreHeaders[] =
    "Accept: text/*,*/* \r\n"
    "Accept-Language: ja \r\n"
    "User-Agent: KelConnect \r\n"
    "Connection: Keep-Alive \r\n"
    "\r\n";

class FetcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Requests to the test server must not go through a proxy of the
        // machine running the tests.
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                 "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            unsetenv(name);
        }
        platform::SetInternetTimeouts(platform::InternetTimeouts());
        platform::TakeCredentialsPrompts();
    }
    void TearDown() override { platform::SetInternetTimeouts(platform::InternetTimeouts()); }
};

std::string Base(const TestHttpServer& server) {
    return "http://" + server.Host();
}

std::vector<std::string> Lines(std::initializer_list<const char*> lines) {
    return std::vector<std::string>(lines.begin(), lines.end());
}

TEST_F(FetcherTest, ScoreRequestSendsExactlyTheHeaderLinesAsHttp10Get) {
    TestHttpServer server({HttpReply("200 OK", "Content-Type: text/html\r\n", "hello\r\n")});
    CKelHttpConnect fetcher;
    std::string object = "/game/zankoru/GameSet.asp?aria=Japan&name=ABC&mode=0&level=2&score=3";

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + object, "", ""));

    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ("GET " + object + " HTTP/1.0\r\nHost: " + server.Host() + "\r\n" + kScoreHeaders,
              server.Requests()[0]);
    EXPECT_EQ(kScoreHeaders, fetcher.m_strHeaders);
    EXPECT_EQ(Lines({"hello\n\r\n"}), fetcher.m_arrLines);
    EXPECT_EQ("http://127.0.0.1" + object, fetcher.m_strFinalUrl);
    EXPECT_EQ("", fetcher.m_strError);
    EXPECT_EQ(CKelHttpConnect::kPlainRequestFlags, fetcher.m_dwRequestFlags);
}

TEST_F(FetcherTest, BodyMakesAPostWithTypeAndLengthEachHeaderOnce) {
    TestHttpServer server({HttpReply("200 OK", "", "ok")});
    CKelHttpConnect fetcher;
    fetcher.m_bBrowserAgent = 1;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/post.asp", "a=1&b=2", "http://ref/x"));

    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(
        "POST /post.asp HTTP/1.0\r\n"
        "Host: " +
            server.Host() +
            "\r\n"
            "Accept: text/*,*/* \r\n"
            "Referer: http://ref/x \r\n"
            "Accept-Language: ja \r\n"
            "Content-Type: application/x-www-form-urlencoded \r\n"
            "User-Agent: "
            "Mozilla/4.0+(compatible;+MSIE+7.0;+Windows+NT+5.1;+.NET+CLR+2.0.50727;+InfoPath.2;+"
            ".NET+CLR+3.0.04506.648;+.NET+CLR+3.5.21022;+.NET+CLR+1.1.4322) \r\n"
            "Connection: Keep-Alive \r\n"
            "Content-Length: 7\r\n"
            "\r\n"
            "a=1&b=2",
        server.Requests()[0]);
    EXPECT_EQ(Lines({"ok\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, RequestTargetIsEncodedOnlyWhereTheWireNeedsIt) {
    TestHttpServer server({HttpReply("200 OK", "", "")});
    CKelHttpConnect fetcher;

    // A line break inside the address is dropped and the fragment is cut.
    EXPECT_EQ(
        0, fetcher.RequestPage(Base(server) + "/p?n=A B&x=%41/\xE5\xB1\xB1\t=?\r\n#frag", "", ""));

    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(0u, server.Requests()[0].find("GET /p?n=A%20B&x=%41/%E5%B1%B1%09=? HTTP/1.0\r\n"))
        << server.Requests()[0];
    EXPECT_EQ("http://127.0.0.1/p?n=A B&x=%41/\xE5\xB1\xB1\t=?", fetcher.m_strFinalUrl);
}

TEST_F(FetcherTest, FollowsARedirectToAPathOnTheSameServer) {
    TestHttpServer server({HttpReply("302 Found", "Location: /next.asp?k=1\r\n", "moved"),
                           HttpReply("200 OK", "", "arrived\n")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/first.asp", "", ""));

    ASSERT_EQ(2u, server.Requests().size());
    EXPECT_EQ("GET /next.asp?k=1 HTTP/1.0\r\nHost: " + server.Host() + "\r\n" + kScoreHeaders,
              server.Requests()[1]);
    EXPECT_EQ(Lines({"arrived\n\r\n"}), fetcher.m_arrLines);
    EXPECT_EQ("http://127.0.0.1/next.asp?k=1", fetcher.m_strFinalUrl);
}

TEST_F(FetcherTest, FollowsAMovedAnswerToAFullAddressOnAnotherPort) {
    TestHttpServer target({HttpReply("200 OK", "", "elsewhere")});
    TestHttpServer server({HttpReply(
        "301 Moved Permanently", "Location: http://" + target.Host() + "/other.asp?x=2\r\n", "")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/", "", ""));

    EXPECT_EQ(1u, server.Requests().size());
    ASSERT_EQ(1u, target.Requests().size());
    EXPECT_EQ(0u, target.Requests()[0].find(
                      "GET /other.asp?x=2 HTTP/1.0\r\nHost: " + target.Host() + "\r\n"));
    EXPECT_EQ(Lines({"elsewhere\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, FollowsFiveRedirectsAndReadsTheSixthAnswer) {
    std::vector<TestHttpServer::Reply> replies;
    for (int i = 1; i <= 6; ++i) {
        replies.push_back(HttpReply("302 Found", "Location: /r" + std::to_string(i) + "\r\n",
                                    "hop " + std::to_string(i)));
    }
    replies.push_back(HttpReply("200 OK", "", "never asked"));
    TestHttpServer server(replies);
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/r0", "", ""));

    ASSERT_EQ(6u, server.Requests().size());
    EXPECT_EQ(0u, server.Requests()[5].find("GET /r5 HTTP/1.0\r\n"));
    EXPECT_EQ(Lines({"hop 6\r\n"}), fetcher.m_arrLines);
    EXPECT_EQ("http://127.0.0.1/r5", fetcher.m_strFinalUrl);
}

TEST_F(FetcherTest, RedirectWithoutALocationHeaderReadsItsOwnBody) {
    // "Content-Location" is no location, whatever its letter case.
    TestHttpServer server(
        {HttpReply("303 See Other", "content-location: /not-this\r\n", "stay here\n"),
         HttpReply("200 OK", "", "wrong")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/a", "", ""));

    EXPECT_EQ(1u, server.Requests().size());
    EXPECT_EQ(Lines({"stay here\n\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, LocationIsFoundInAnyCaseAndRelativeOnesAreResolved) {
    TestHttpServer server({HttpReply("302 Found", "LOCATION:   next.asp?q=1  \r\n", ""),
                           HttpReply("302 Found", "location: ../up.asp#part\r\n", ""),
                           HttpReply("200 OK", "", "done")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/dir/sub/page.asp?old=1", "", ""));

    ASSERT_EQ(3u, server.Requests().size());
    EXPECT_EQ(0u, server.Requests()[1].find("GET /dir/sub/next.asp?q=1 HTTP/1.0\r\n"));
    EXPECT_EQ(0u, server.Requests()[2].find("GET /dir/up.asp HTTP/1.0\r\n"));
    EXPECT_EQ(Lines({"done\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, CookiesSetOnARedirectTravelWithTheNextRequest) {
    TestHttpServer server({HttpReply("302 Found",
                                     "Set-Cookie: sid=abc123; Path=/; HttpOnly\r\nLocation: /in\r\n"
                                     "set-cookie: lang=ja\r\n",
                                     "body of the redirect"),
                           HttpReply("200 OK", "", "in")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/login", "", ""));

    ASSERT_EQ(2u, server.Requests().size());
    EXPECT_EQ("GET /in HTTP/1.0\r\nHost: " + server.Host() +
                  "\r\n"
                  "Accept: text/*,*/* \r\n"
                  "Accept-Language: ja \r\n"
                  "User-Agent: KelConnect \r\n"
                  "Connection: Keep-Alive \r\n"
                  "Cookie: sid=abc123; lang=ja\r\n"
                  "\r\n",
              server.Requests()[1]);
}

TEST_F(FetcherTest, RedirectedPostBecomesAGetWithoutBodyOrBodyHeaders) {
    TestHttpServer server({HttpReply("303 See Other", "Location: /result\r\n", ""),
                           HttpReply("200 OK", "", "thanks")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/post", "score=3", ""));

    ASSERT_EQ(2u, server.Requests().size());
    EXPECT_EQ("GET /result HTTP/1.0\r\nHost: " + server.Host() + "\r\n" + kScoreHeaders,
              server.Requests()[1]);
    EXPECT_EQ(Lines({"thanks\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, PasswordChallengeIsAnsweredOnceWithTheDialogsCredentials) {
    TestHttpServer server(
        {HttpReply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"ranking\"\r\n", "no"),
         HttpReply("200 OK", "", "welcome")});
    platform::QueueCredentialsAnswer(true, {"kel", "pw"});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/private", "", ""));

    std::vector<platform::CredentialsPrompt> prompts = platform::TakeCredentialsPrompts();
    ASSERT_EQ(1u, prompts.size());
    EXPECT_EQ("127.0.0.1", prompts[0].host);
    EXPECT_EQ("ranking", prompts[0].realm);
    ASSERT_EQ(2u, server.Requests().size());
    EXPECT_EQ("GET /private HTTP/1.0\r\nHost: " + server.Host() + "\r\n" + kScoreHeaders,
              server.Requests()[0]);
    // base64("kel:pw")
    EXPECT_NE(std::string::npos,
              server.Requests()[1].find("\r\nAuthorization: Basic a2VsOnB3\r\n"));
    EXPECT_EQ(Lines({"welcome\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, ChallengeIsNotRepeatedNorOfferedAfterARedirect) {
    TestHttpServer twice(
        {HttpReply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"r\"\r\n", "first"),
         HttpReply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"r\"\r\n", "denied")});
    platform::QueueCredentialsAnswer(true, {"kel", "wrong"});
    CKelHttpConnect fetcher;
    EXPECT_EQ(0, fetcher.RequestPage(Base(twice) + "/p", "score=3", ""));
    EXPECT_EQ(1u, platform::TakeCredentialsPrompts().size());
    ASSERT_EQ(2u, twice.Requests().size());
    // The retried POST carries its body again, as its Content-Length promises.
    EXPECT_EQ(0u, twice.Requests()[1].find("POST /p HTTP/1.0\r\n"));
    EXPECT_EQ("\r\n\r\nscore=3", twice.Requests()[1].substr(twice.Requests()[1].size() - 11));
    EXPECT_EQ(Lines({"denied\r\n"}), fetcher.m_arrLines);

    TestHttpServer redirected(
        {HttpReply("302 Found", "Location: /locked\r\n", ""),
         HttpReply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"r\"\r\n", "locked")});
    EXPECT_EQ(0, fetcher.RequestPage(Base(redirected) + "/p", "", ""));
    EXPECT_TRUE(platform::TakeCredentialsPrompts().empty());
    EXPECT_EQ(Lines({"locked\r\n"}), fetcher.m_arrLines);
}

TEST_F(FetcherTest, BodyLinesKeepTheirLineFeedAndJoinOpenTags) {
    // An error status is no failure: its body is the page.
    TestHttpServer server({HttpReply("500 Internal Server Error", "",
                                     "<a href=\"x\"\r\nclass=y>link</a>\n"
                                     "plain\r\n"
                                     "1 > 0 <b\n"
                                     "last<i>no end")});
    CKelHttpConnect fetcher;

    EXPECT_EQ(0, fetcher.RequestPage(Base(server) + "/", "", ""));

    EXPECT_EQ(Lines({"<a href=\"x\"\nclass=y>link</a>\n\r\n", "plain\n\r\n",
                     "1 > 0 <b\nlast<i>no end\r\n"}),
              fetcher.m_arrLines);
}

TEST_F(FetcherTest, RefusedConnectionIsANetworkErrorWithoutLines) {
    RefusingPort closed;
    CKelHttpConnect fetcher;
    std::string object = "/game/zankoru/GameSet.asp?aria=&name=x";

    EXPECT_EQ(2, fetcher.RequestPage("http://127.0.0.1:" + std::to_string(closed.Port()) + object,
                                     "", ""));

    EXPECT_TRUE(fetcher.m_arrLines.empty());
    std::string prefix = "127.0.0.1" + object + "\r\n";
    ASSERT_GT(fetcher.m_strError.size(), prefix.size());
    EXPECT_EQ(prefix, fetcher.m_strError.substr(0, prefix.size()));
    EXPECT_LE(fetcher.m_strError.size(), prefix.size() + 1023);
    EXPECT_EQ("http://127.0.0.1" + object, fetcher.m_strFinalUrl);
}

TEST_F(FetcherTest, SilentServerEndsAsANetworkErrorAfterTheTimeOut) {
    TestHttpServer::Reply silent;
    silent.silent = true;
    TestHttpServer server({silent});
    platform::SetInternetTimeouts(
        {std::chrono::milliseconds(2000), std::chrono::milliseconds(1000)});
    CKelHttpConnect fetcher;

    EXPECT_EQ(2, fetcher.RequestPage(Base(server) + "/slow", "", ""));

    EXPECT_EQ(1u, server.Requests().size());
    EXPECT_TRUE(fetcher.m_arrLines.empty());
    EXPECT_EQ(0u, fetcher.m_strError.find("127.0.0.1/slow\r\n"));
}

TEST_F(FetcherTest, HugeBodyIsCutAtTheCapKeepingTheWholeLinesBeforeIt) {
    // 100-byte lines; the cap falls 16 bytes into a line, which is dropped.
    const size_t lineBytes = 100;
    const size_t lineCount = platform::kMaxBodyBytes / lineBytes + 10000;
    std::string line(lineBytes - 1, 'x');
    line += '\n';
    std::string body;
    body.reserve(lineBytes * lineCount);
    for (size_t i = 0; i < lineCount; ++i) {
        body += line;
    }
    TestHttpServer server({HttpReply("200 OK", "", body)});
    body.clear();
    body.shrink_to_fit();
    CKelHttpConnect fetcher;

    EXPECT_EQ(2, fetcher.RequestPage(Base(server) + "/huge", "", ""));

    ASSERT_EQ(platform::kMaxBodyBytes / lineBytes, fetcher.m_arrLines.size());
    EXPECT_EQ(line + "\r\n", fetcher.m_arrLines.back());
    EXPECT_EQ(0u, fetcher.m_strError.find("127.0.0.1/huge\r\n"));
}

TEST_F(FetcherTest, EmptyAddressIsRefusedAndKeepsThePreviousPage) {
    TestHttpServer server({HttpReply("200 OK", "", "kept")});
    CKelHttpConnect fetcher;
    ASSERT_EQ(0, fetcher.RequestPage(Base(server) + "/", "", ""));

    EXPECT_EQ(1, fetcher.RequestPage("\r\n\n", "", ""));

    EXPECT_EQ("URLが指定されていません。", fetcher.m_strError);
    EXPECT_EQ(Lines({"kept\r\n"}), fetcher.m_arrLines);
    EXPECT_EQ("http://127.0.0.1/", fetcher.m_strFinalUrl);
}

TEST_F(FetcherTest, AddressWithoutHostIsANetworkError) {
    CKelHttpConnect fetcher;

    // A "#" that opens the address does not cut it; no host can be found.
    EXPECT_EQ(2, fetcher.RequestPage("#top", "", ""));
    EXPECT_TRUE(fetcher.m_arrLines.empty());
    EXPECT_EQ(0u, fetcher.m_strError.find("\r\n"));
    EXPECT_GT(fetcher.m_strError.size(), 2u);
}

TEST_F(FetcherTest, SchemeCheckPicksTheRequestFlagsAndKeepsThemOtherwise) {
    RefusingPort closed;
    std::string hostPort = "127.0.0.1:" + std::to_string(closed.Port());
    CKelHttpConnect fetcher;
    EXPECT_EQ(CKelHttpConnect::kDefaultRequestFlags, fetcher.m_dwRequestFlags);

    EXPECT_EQ(2, fetcher.RequestPage("HtTpS://" + hostPort + "/s", "", ""));
    EXPECT_EQ(CKelHttpConnect::kSecureRequestFlags, fetcher.m_dwRequestFlags);
    // A secure address stays one in the final address.
    EXPECT_EQ("https://127.0.0.1/s", fetcher.m_strFinalUrl);
    EXPECT_EQ(0u, fetcher.m_strError.find("127.0.0.1/s\r\n"));

    EXPECT_EQ(2, fetcher.RequestPage("ftp://" + hostPort + "/f", "", ""));
    EXPECT_EQ(CKelHttpConnect::kSecureRequestFlags, fetcher.m_dwRequestFlags);
    EXPECT_EQ("127.0.0.1/f", fetcher.m_strFinalUrl);

    EXPECT_EQ(2, fetcher.RequestPage("hTTp://" + hostPort + "/p", "", ""));
    EXPECT_EQ(CKelHttpConnect::kPlainRequestFlags, fetcher.m_dwRequestFlags);
    EXPECT_EQ("http://127.0.0.1/p", fetcher.m_strFinalUrl);
}

TEST_F(FetcherTest, SessionThatCannotOpenPassesTheFailureToTheCaller) {
    platform::FailNextSessionOpen();
    CKelHttpConnect fetcher;
    EXPECT_THROW(fetcher.RequestPage("http://127.0.0.1:1/", "", ""), platform::InternetException);
}

}  // namespace
