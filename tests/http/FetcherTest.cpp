// The page fetcher: its bytes on the wire (real client, server on 127.0.0.1),
// redirects, cookies, password challenge and failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "FakeServices.h"
#include "TestHttpServer.h"
#include "http/CKelHttpConnect.h"
#include "platform/net/CurlHttpClient.h"

namespace {

using Lines = std::vector<std::string>;

// A GET as the fetcher sends it to `server`.
std::string Get(const TestHttpServer& server, const std::string& object,
                const std::string& cookieLine = "") {
    return "GET " + object + " HTTP/1.0\r\nHost: " + server.Host() +
           "\r\nAccept: text/*,*/* \r\nAccept-Language: ja \r\nUser-Agent: KelConnect \r\n"
           "Connection: Keep-Alive \r\n" +
           cookieLine + "\r\n";
}

class Fetcher : public ::testing::Test {
  protected:
    void SetUp() override { setenv("no_proxy", "127.0.0.1", 1); }
    // The client's answer: status, header lines, the body "page".
    void Answer(int status, const std::string& headerLines) {
        scripted.response.received = true;
        scripted.response.status = status;
        scripted.response.rawHeaders = "HTTP/1.0 0 X\r\n" + headerLines + "\r\n\r\n";
        scripted.response.body = "page";
    }
    platform::CurlHttpClient http;
    ScriptedDialogs dialogs;
    CKelHttpConnect fetcher{http, dialogs};
    ScriptedHttpClient scripted;
    CKelHttpConnect connect{scripted, dialogs};
};

TEST_F(Fetcher, SendsExactlyTheseBytesAndAnswersOnePasswordChallenge) {
    std::string challenge = "WWW-Authenticate: Basic realm=\"r\"\r\n";
    TestHttpServer server({HttpReply("200 OK", "", ""), HttpReply("401 No", challenge, ""),
                           HttpReply("302 Found", "Location: /in\r\n", ""),
                           HttpReply("401 No", challenge, "locked")});
    std::string score = "/game/zankoru/GameSet.asp?aria=Japan&name=ABC&mode=0&level=2&score=3";
    EXPECT_EQ(0, fetcher.RequestPage("http://" + server.Host() + score, "", ""));
    // A line break in the referer cannot start a header line of its own.
    fetcher.m_bBrowserAgent = 1;
    dialogs.credentialAnswers.push_back({true, {"kel", "pw"}});
    EXPECT_EQ(0, fetcher.RequestPage("http://" + server.Host() + "/post", "a=1&b=2",
                                     "http://ref/x\r\nX: y"));
    std::string post = "POST /post HTTP/1.0\r\nHost: " + server.Host() +
                       "\r\nAccept: text/*,*/* \r\nReferer: http://ref/xX: y \r\n"
                       "Accept-Language: ja \r\nContent-Type: application/x-www-form-urlencoded "
                       "\r\nUser-Agent: Mozilla/4.0+(compatible;+MSIE+7.0;+Windows+NT+5.1;+.NET+"
                       "CLR+2.0.50727;+InfoPath.2;+.NET+CLR+3.0.04506.648;+.NET+CLR+3.5.21022;+"
                       ".NET+CLR+1.1.4322) \r\nConnection: Keep-Alive \r\nContent-Length: "
                       "7\r\n\r\na=1&b=2";
    // The same POST again with base64("kel:pw"); the challenge after the
    // redirect is not answered.
    std::string withPassword = post;
    withPassword.insert(post.find("Accept:"), "Authorization: Basic a2VsOnB3\r\n");
    // The redirected request is a GET without the body or the lines about it.
    size_t agent = post.find("User-Agent");
    std::string redirected = "GET /in" + post.substr(10, post.find("Content-Type") - 10) +
                             post.substr(agent, post.find("Content-Length") - agent) + "\r\n";
    EXPECT_EQ(Lines({Get(server, score), post, withPassword, redirected}), server.Requests());
    EXPECT_EQ(1u, dialogs.prompts.size());
    EXPECT_EQ(Lines({"locked\r\n"}), fetcher.m_arrLines);
}

TEST_F(Fetcher, FollowsFiveRedirectsCarryingTheCookies) {
    TestHttpServer other({HttpReply("302 Found", "Location: /r4\r\n", ""),
                          HttpReply("302 Found", "Location: r5?x#y\r\n", ""),
                          HttpReply("302 Found", "Location: /r6\r\n", "sixth")});
    TestHttpServer server(
        {HttpReply("303 See",
                   "Content-Location: /no\r\nSet-Cookie: sid=a; Path=/\r\nLOCATION:  next?q=1 \r\n",
                   ""),
         HttpReply("301 Moved", "set-cookie: lang=ja\r\nlocation: ../up#p\r\nSet-Cookie: sid=b\r\n",
                   ""),
         HttpReply("302 Found", "Location: //" + other.Host() + "/r3\r\n", "")});
    EXPECT_EQ(0, fetcher.RequestPage("http://" + server.Host() + "/d/s/p?old=1", "", ""));
    // Cookies of every earlier answer go along; a later one of a name wins.
    std::string both = "Cookie: sid=b; lang=ja\r\n";
    EXPECT_EQ(Lines({Get(server, "/d/s/p?old=1"), Get(server, "/d/s/next?q=1", "Cookie: sid=a\r\n"),
                     Get(server, "/d/up", both)}),
              server.Requests());
    EXPECT_EQ(Lines({Get(other, "/r3", both), Get(other, "/r4", both), Get(other, "/r5?x", both)}),
              other.Requests());
    EXPECT_EQ(Lines({"sixth\r\n"}), fetcher.m_arrLines);
    EXPECT_EQ("http://127.0.0.1/r5?x", fetcher.m_strFinalUrl);
}

TEST_F(Fetcher, ChallengePicksThePromptAndTheScheme) {
    using platform::HttpAuth;
    const std::tuple<std::string, std::string, HttpAuth> cases[] = {
        {"WWW-Authenticate: Basic realm=\"rank\"", "rank", HttpAuth::Basic},
        {"www-authenticate: Digest realm=\"d\", nonce=\"n\"", "d", HttpAuth::Digest},
        {"WWW-Authenticate: Digest realm=a b, q\r\nWWW-Authenticate: Basic", "a b",
         HttpAuth::Basic},
        {"", "", HttpAuth::None},  // cancelled
    };
    for (auto [challenges, realm, auth] : cases) {
        Answer(401, challenges);
        dialogs.credentialAnswers.push_back({auth != HttpAuth::None, {"kel", "pw"}});
        EXPECT_EQ(0, connect.RequestPage("http://rank.example:81/p", "", ""));
        EXPECT_EQ("rank.example/" + realm,
                  dialogs.prompts.back().host + "/" + dialogs.prompts.back().realm);
        EXPECT_EQ(auth, scripted.requests.back().auth) << challenges;
        EXPECT_EQ(auth != HttpAuth::None ? "kel:pw" : ":",
                  scripted.requests.back().user + ":" + scripted.requests.back().password);
    }
    EXPECT_EQ(8u, scripted.requests.size());  // each asked once, then once more
}

TEST_F(Fetcher, SchemeCheckPicksPlainOrSecureAndKeepsItForOtherSchemes) {
    // address, the answer (status, location), the last URL asked, the final address
    const char* cases[][4] = {
        {"HtTpS://h:81/s", "200", "https://h:81/s", "https://h/s"},
        {"ftp://h/f", "200", "https://h:21/f", "h/f"},
        {"hTTp://h/p", "200", "http://h:80/p", "http://h/p"},
        {"ftp://[::1]:8080/a b", "200", "http://[::1]:8080/a%20b", "::1/a b"},
        // Line breaks go, the fragment is cut, only what cannot travel raw is encoded.
        {"http://h/p?n=A B&%41/\xE5\t=?\r\n#f", "200", "http://h:80/p?n=A%20B&%41/%E5%09=?",
         "http://h/p?n=A B&%41/\xE5\t=?"},
        {"http://h/", "302 HTTPS://h2/s", "https://h2:443/s", "https://h2/s"},
        {"https://h/", "301 //h3/x", "https://h3:443/x", "https://h3/x"},
        {"https://h/", "303 http://h4/y", "http://h4:80/y", "http://h4/y"},
        {"HTTPS://u:pw@Host:8443", "200", "https://Host:8443/", "https://Host/"},
        {"http://[::1]:81?q=/../x#f", "200", "http://[::1]:81/?q=/../x", "http://::1/?q=/../x"},
        {"http://h/a/b/../c/./d/..?p=../", "200", "http://h:80/a/c/?p=../", "http://h/a/c/?p=../"},
        // Only 301, 302 and 303 with a location are followed.
        {"http://h/a", "307 /x", "http://h:80/a", "http://h/a"},
        {"http://h/b", "300 /x", "http://h:80/b", "http://h/b"},
        {"http://h/c", "500 /x", "http://h:80/c", "http://h/c"},
        {"http://h/d", "302 ", "http://h:80/d", "http://h/d"},
    };
    for (auto [address, answer, url, finalUrl] : cases) {
        Answer(std::atoi(answer), std::string("Location: ") + (answer + 3));
        EXPECT_EQ(0, connect.RequestPage(address, "", ""));
        EXPECT_EQ(url, scripted.requests.back().url);
        EXPECT_EQ(finalUrl, connect.m_strFinalUrl);
    }
}

TEST_F(Fetcher, ReportsFailuresWithTheAddressAndCutsAHugeBody) {
    RefusingPort closed;
    std::string object = "/game/zankoru/GameSet.asp?aria=&name=x";
    EXPECT_EQ(2, fetcher.RequestPage("http://127.0.0.1:" + std::to_string(closed.Port()) + object,
                                     "", ""));
    EXPECT_TRUE(fetcher.m_arrLines.empty());
    std::string prefix = "127.0.0.1" + object + "\r\n";
    EXPECT_EQ(prefix, fetcher.m_strError.substr(0, prefix.size()));
    EXPECT_EQ("http://127.0.0.1" + object, fetcher.m_strFinalUrl);

    // 100-byte lines; the cap falls 16 bytes into a line, which is dropped.
    std::string line = std::string(99, 'x') + "\n";
    std::string body;
    body.reserve(18 << 20);
    for (size_t i = 0; i < platform::CurlHttpClient::kMaxBodyBytes / 100 + 10000; ++i) {
        body += line;
    }
    TestHttpServer server({HttpReply("200 OK", "", "kept"), HttpReply("200 OK", "", body)});
    ASSERT_EQ(0, fetcher.RequestPage("http://" + server.Host() + "/", "", ""));
    // A "#" that opens the address does not cut it, and no host is found.
    EXPECT_EQ(2, fetcher.RequestPage("#top", "", ""));
    EXPECT_EQ("\r\nNo server name could be taken from the address.", fetcher.m_strError);
    EXPECT_EQ(1, fetcher.RequestPage("\r\n\n", "", ""));
    EXPECT_EQ("URLが指定されていません。", fetcher.m_strError);
    EXPECT_EQ(Lines({"kept\r\n"}), fetcher.m_arrLines);
    // Addresses that name no server, or no port from 1 to 65535.
    for (const char* bad : {"example.com/x", "http:/x", "http:///x", "http://h:0/",
                            "http://h:99999/", "http://h:8x/", "1http://h/", "http://[::1/"}) {
        EXPECT_EQ(2, fetcher.RequestPage(bad, "", "")) << bad;
    }
    EXPECT_EQ(2, fetcher.RequestPage("http://" + server.Host() + "/huge", "", ""));
    ASSERT_EQ(platform::CurlHttpClient::kMaxBodyBytes / 100, fetcher.m_arrLines.size());
    EXPECT_EQ(line + "\r\n", fetcher.m_arrLines.back());
    EXPECT_EQ("127.0.0.1/huge\r\nThe answer is longer than 16 MiB; it was cut there.",
              fetcher.m_strError);
}

}  // namespace
