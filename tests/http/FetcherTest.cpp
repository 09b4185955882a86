// The page fetcher (server on 127.0.0.1 or scripted client), page lines, the score submission.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "FakeServices.h"
#include "TestHttpServer.h"
#include "http/CKelHttpConnect.h"
#include "http/HttpRedirect.h"
#include "platform/net/CurlHttpClient.h"
#include "ranking/RankingHost.h"
#include "ranking/SendScore.h"
#include "shared/DisplayText.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;
using std::chrono::steady_clock;

std::string Get(const TestHttpServer& server, std::string object, std::string cookies = "") {
    return "GET " + object + " HTTP/1.0\r\nHost: " + server.Host() + "\r\nAccept: text/*,*/* \r\n" +
           "Accept-Language: ja \r\nUser-Agent: KelConnect \r\nConnection: Keep-Alive \r\n" +
           cookies + "\r\n";
}

class Fetcher : public ::testing::Test {
  protected:
    void SetUp() override { setenv("no_proxy", "127.0.0.1", 1); }
    void Answer(int status, const std::string& headerLines) {
        scripted.response.received = true;
        scripted.response.status = status;
        scripted.response.rawHeaders = "HTTP/1.0 0 X\r\n" + headerLines + "\r\n\r\n";
    }
    platform::CurlHttpClient http;
    ScriptedDialogs dialogs;
    CKelHttpConnect fetcher{http, dialogs};
    ScriptedHttpClient scripted;
    CKelHttpConnect connect{scripted, dialogs};
};

TEST_F(Fetcher, SendsExactlyTheseBytesAndAnswersOnePasswordChallenge) {
    std::string challenge = "WWW-Authenticate: Basic realm=\"r\"\r\n";
    TestHttpServer server({HttpReply("401 No", challenge, ""),
                           HttpReply("302 Found", "Location: /in\r\n", ""),
                           HttpReply("401 No", challenge, "locked")});
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
    // Again with base64("kel:pw"); the challenge after the redirect is not answered.
    std::string withPassword = post;
    withPassword.insert(post.find("Accept:"), "Authorization: Basic a2VsOnB3\r\n");
    // The redirected GET drops the body and the lines about it.
    size_t agent = post.find("User-Agent");
    std::string redirected = "GET /in" + post.substr(10, post.find("Content-Type") - 10) +
                             post.substr(agent, post.find("Content-Length") - agent) + "\r\n";
    EXPECT_EQ(Lines({post, withPassword, redirected}), server.Requests());
    EXPECT_EQ(1u, dialogs.prompts.size());
    EXPECT_EQ(Lines({"locked\r\n"}), fetcher.m_arrLines);
}

TEST_F(Fetcher, FollowsFiveRedirectsCookiesGoingBackOnlyToTheirServer) {
    // Same host, another port: another server.
    TestHttpServer other(
        {HttpReply("302 Found", "Location: /r4\r\nSet-Cookie: o=1\r\nSet-Cookie: sid=c\r\n", ""),
         HttpReply("302 Found", "Location: r5?x#y\r\n", ""),
         HttpReply("302 Found", "Location: /r6\r\n", "sixth")});
    TestHttpServer server(
        {HttpReply("303 See",
                   "Content-Location: /no\r\nSet-Cookie: sid=a; Path=/\r\nLOCATION:  next?q=1 \r\n",
                   ""),
         HttpReply("301 Moved",
                   "set-cookie: lang=ja\r\nlocation: ../up#p\r\nSet-Cookie: sid=b\r\n"
                   "Set-Cookie: =v\r\nSet-Cookie: bare\r\nSet-Cookie: c\x7F=1\r\n",
                   ""),
         HttpReply("302 Found", "Location: //" + other.Host() + "/r3\r\n", "")});
    EXPECT_EQ(0, fetcher.RequestPage("http://" + server.Host() + "/d/s/p?old=1", "", ""));
    // Cookies of every earlier answer of the server go along; a later one of a name wins.
    EXPECT_EQ(Lines({Get(server, "/d/s/p?old=1"), Get(server, "/d/s/next?q=1", "Cookie: sid=a\r\n"),
                     Get(server, "/d/up", "Cookie: sid=b; lang=ja\r\n")}),
              server.Requests());
    std::string others = "Cookie: o=1; sid=c\r\n";
    EXPECT_EQ(Lines({Get(other, "/r3"), Get(other, "/r4", others), Get(other, "/r5?x", others)}),
              other.Requests());
    EXPECT_EQ(Lines({"sixth\r\n"}), fetcher.m_arrLines);
    EXPECT_EQ("http://127.0.0.1/r5?x", fetcher.m_strFinalUrl);
}

TEST(RedirectCookies, GoBackToTheirServerOnlyAndStayUnder4KiB) {
    std::vector<RedirectCookie> cookies;
    MergeSetCookies("Set-Cookie: a=1\r\nSet-Cookie: s=2; Path=/; secure\r\n", "h", 80, cookies);
    MergeSetCookies("set-cookie: a=3\r\nSet-Cookie: Secure=4; Path=/secure\r\n", "H", 80, cookies);
    MergeSetCookies("Set-Cookie: b=5\r\n", "h", 81, cookies);
    // 1,001 bytes each with "; ": four fit with the small ones, a fifth does not, a small one
    // still does, and a value grown past the limit leaves the old one.
    std::string big(996, 'v'), many, four;
    for (int i = 0; i < 5; ++i) {
        many += "Set-Cookie: c" + std::to_string(i) + "=" + big + "\r\n";
        four += i < 4 ? "c" + std::to_string(i) + "=" + big + "; " : "";
    }
    MergeSetCookies(many + "Set-Cookie: z=1\r\nSet-Cookie: c0=" + big + big, "big", 80, cookies);
    // Five redirects of 15,500 new names each (as many as curl's 300 KiB of header text takes):
    // the merge must stay linear, the Cookie line short.
    const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::vector<RedirectCookie> flood;
    std::string fifty = "Cookie: ";
    for (int r = 0; r < CKelHttpConnect::kMaxRedirects; ++r) {
        std::string lines;
        for (int i = 0; i < 15500; ++i) {
            std::string pair = {digits[r], digits[i / 1296], digits[i / 36 % 36], digits[i % 36],
                                '='};
            lines += "Set-Cookie: " + pair + "\r\n";
            fifty += r == 0 && i < 50 ? (i > 0 ? "; " : "") + pair : "";
        }
        MergeSetCookies(lines, "flood", 80, flood);
    }
    // host, port, over https, the line
    const std::tuple<std::string, int, bool, std::string> cases[] = {
        {"h", 80, false, "Cookie: a=3; Secure=4\r\n"},
        {"h", 80, true, "Cookie: a=3; s=2; Secure=4\r\n"},
        {"H", 81, false, "Cookie: b=5\r\n"},
        {"g", 80, true, ""},
        {"big", 80, false, "Cookie: " + four + "z=1\r\n"},
    };
    for (const auto& [host, port, secure, line] : cases) {
        EXPECT_EQ(line, CookieHeaderLine(cookies, host, port, secure)) << host << port << secure;
    }
    EXPECT_EQ(fifty + "\r\n", CookieHeaderLine(flood, "flood", 80, false));
}

TEST_F(Fetcher, ChallengePicksThePromptAndTheScheme) {
    using enum platform::HttpAuth;
    const std::tuple<std::string, std::string, platform::HttpAuth> cases[] = {
        {"www-authenticate: Digest realm=\"d\", nonce=\"n\"", "d", Digest},
        {"WWW-Authenticate: Digest realm=a b, q\r\nWWW-Authenticate: Basic", "a b", Basic},
        {"", "", None},  // cancelled
        // The dialog shows the realm as text: Shift-JIS read, a bell dropped.
        {"WWW-Authenticate: Basic realm=\"\x83\x89\x83\x93\x83\x4e\x07\"",
         "\xE3\x83\xA9\xE3\x83\xB3\xE3\x82\xAF", Basic},
    };
    for (auto [challenges, realm, auth] : cases) {
        Answer(401, challenges);
        dialogs.credentialAnswers.push_back({auth != None, {"kel", "pw"}});
        EXPECT_EQ(0, connect.RequestPage("http://rank.example:81/p", "", ""));
        EXPECT_EQ("rank.example/" + realm,
                  dialogs.prompts.back().host + "/" + dialogs.prompts.back().realm);
        const platform::HttpRequest& last = scripted.requests.back();
        EXPECT_EQ(auth, last.auth) << challenges;
        EXPECT_EQ(auth != None ? "kel:pw" : ":", last.user + ":" + last.password);
    }
    EXPECT_EQ(8u, scripted.requests.size());  // each asked once, then once more
}

TEST_F(Fetcher, SchemeCheckPicksPlainOrSecureAndRedirectsGoOnlyToHttpOrHttps) {
    // address, the answer (status, location), the last URL asked, the final address
    const char* cases[][4] = {
        {"HtTpS://u:pw@h:81", "200", "https://h:81/", "https://h/"},
        {"ftp://h/f", "200", "https://h:21/f", "h/f"},
        // Line breaks go, the fragment is cut, only what cannot travel raw is encoded.
        {"hTTp://h/p?n=A B&%41/\xE5\t=?\r\n#f", "200", "http://h:80/p?n=A%20B&%41/%E5%09=?",
         "http://h/p?n=A B&%41/\xE5\t=?"},
        {"ftp://[::1]:8080/a b", "200", "http://[::1]:8080/a%20b", "::1/a b"},
        {"http://h/", "302 HTTPS://h2/s", "https://h2:443/s", "https://h2/s"},
        {"https://h/", "301 //h3/x", "https://h3:443/x", "https://h3/x"},
        {"http://[::1]:81?q=/../x#f", "200", "http://[::1]:81/?q=/../x", "http://::1/?q=/../x"},
        {"http://h/a/b/../c/./d/..?p=../", "200", "http://h:80/a/c/?p=../", "http://h/a/c/?p=../"},
        {"http://h/a", "307 /x", "http://h:80/a", "http://h/a"},  // only 301, 302 and 303
        {"http://h/d", "302 ", "http://h:80/d", "http://h/d"},    // with a location
        {"http://h/", "302 /a?t=1:2", "http://h:80/a?t=1:2", "http://h/a?t=1:2"},  // no scheme
    };
    std::atomic<bool> cancel{false};
    connect.m_cancelled = &cancel;
    connect.m_deadline = steady_clock::now() + 1h;
    for (auto [address, answer, url, finalUrl] : cases) {
        Answer(std::atoi(answer), std::string("Location: ") + (answer + 3));
        EXPECT_EQ(0, connect.RequestPage(address, "", ""));
        EXPECT_EQ(url, scripted.requests.back().url);
        EXPECT_EQ(finalUrl, connect.m_strFinalUrl);
    }
    // Every request, redirected ones too, carries the call's deadline and cancel flag.
    for (const platform::HttpRequest& request : scripted.requests) {
        EXPECT_EQ(connect.m_deadline, request.deadline);
        EXPECT_EQ(&cancel, request.cancelled);
    }

    // Followed, each would send an HTTP request to that server's port.
    const std::string refused =
        "h/\r\nThe answer sends the request on to an address that is neither http nor https: ";
    for (std::string location :
         {"gopher://h:70/1x", "FTP://h/f", "dict://h:2628/d:x", "mailto:a@h"}) {
        Answer(302, "Location: " + location);
        EXPECT_EQ(2, connect.RequestPage("http://h/", "", ""));
        EXPECT_EQ(refused + location.substr(0, location.find(':')), connect.m_strError);
    }
}

TEST_F(Fetcher, ReportsFailuresWithTheAddressAndCutsAHugeBody) {
    // 1000-byte lines; the cap falls 216 bytes into a line, which is dropped.
    std::string line = std::string(999, 'x') + "\n", body;
    for (size_t i = 0; i < platform::CurlHttpClient::kMaxBodyBytes / 1000 + 1000; ++i) {
        body += line;
    }
    TestHttpServer server(
        {HttpReply("200 OK", "", body), HttpReply("200 OK", "", std::string(100000, '\n'))});
    // Addresses that name no server, or no port from 1 to 65535.
    for (const char* bad : {"example.com/x", "http:/x", "http:///x", "http://h:0/",
                            "http://h:99999/", "http://h:8x/", "1http://h/", "http://[::1/"}) {
        EXPECT_EQ(2, fetcher.RequestPage(bad, "", "")) << bad;
    }
    EXPECT_EQ(2, fetcher.RequestPage("http://" + server.Host() + "/huge", "", ""));
    ASSERT_EQ(platform::CurlHttpClient::kMaxBodyBytes / 1000, fetcher.m_arrLines.size());
    EXPECT_EQ(line + "\r\n", fetcher.m_arrLines.back());
    EXPECT_EQ("127.0.0.1/huge\r\nThe answer is longer than 16 MiB; it was cut there.",
              fetcher.m_strError);
    EXPECT_EQ(2, fetcher.RequestPage("http://" + server.Host() + "/lines", "", ""));
    EXPECT_EQ(Lines(PageLineSplitter::kMaxLines, "\n\r\n"), fetcher.m_arrLines);
    EXPECT_EQ("127.0.0.1/lines\r\nThe answer has more than 65536 lines; it was cut there.",
              fetcher.m_strError);
    server.Requests();  // stopped: refuses connections
    std::string object = "/game/zankoru/GameSet.asp?aria=&name=x";
    EXPECT_EQ(2, fetcher.RequestPage("http://" + server.Host() + object, "", ""));
    EXPECT_EQ(0u, fetcher.m_strError.find("127.0.0.1" + object + "\r\n"));
    EXPECT_EQ("http://127.0.0.1" + object, fetcher.m_strFinalUrl);
}

TEST_F(Fetcher, DeadlineAndCancelEndAnExchangeTheServerDragsOut) {
    // ms between the server's bytes, the deadline and the cancel in ms from the start (0: later)
    const std::tuple<int, int, int, std::string> cases[] = {
        {300, 1000, 0, "The answer did not come within the time allowed."},  // a byte each 300 ms
        {5000, 0, 300, "The request was cancelled."},                        // nothing flows
    };
    for (auto [pauseMs, deadlineMs, cancelMs, message] : cases) {
        TestHttpServer server({HttpReply("200 OK", "", std::string(100, 'x'))}, pauseMs);
        std::atomic<bool> cancel{false};
        auto start = steady_clock::now();
        fetcher.m_cancelled = &cancel;
        fetcher.m_deadline = start + 1ms * (deadlineMs > 0 ? deadlineMs : 60000);
        std::thread player([&cancel, cancelMs] {
            std::this_thread::sleep_for(1ms * cancelMs);
            cancel = cancelMs > 0;
        });
        EXPECT_EQ(2, fetcher.RequestPage("http://" + server.Host() + "/slow", "", ""));
        auto took = (steady_clock::now() - start) / 1ms;
        player.join();
        EXPECT_EQ("127.0.0.1/slow\r\n" + message, fetcher.m_strError);
        // Within a fifth of a second of the time set, though the server never stops.
        EXPECT_GE(took, deadlineMs + cancelMs);
        EXPECT_LT(took, deadlineMs + cancelMs + 200) << message;
    }
}

TEST_F(Fetcher, FollowsARedirectToHttpsAndRefusesACertificateNotForTheHost) {
    TestTlsServer tls(TLS_SERVER_SCRIPT);
    ASSERT_NE(0, tls.otherNamePort) << "this needs python3 and openssl";
    platform::CurlHttpClient trusting(tls.caFile);
    CKelHttpConnect secure(trusting, dialogs);
    std::string address = "https://127.0.0.1:" + std::to_string(tls.port);
    TestHttpServer server({HttpReply("302 Found", "Location: " + address + "/p?q=1\r\n", "")});
    EXPECT_EQ(0, secure.RequestPage("http://" + server.Host() + "/", "", ""));
    EXPECT_EQ(Lines({"secure /p?q=1\n\r\n"}), secure.m_arrLines);
    EXPECT_EQ(2,
              secure.RequestPage("https://127.0.0.1:" + std::to_string(tls.otherNamePort), "", ""));
    EXPECT_NE(std::string::npos, secure.m_strError.find("certificate subject name"));
    EXPECT_EQ(2, fetcher.RequestPage(address, "", ""));  // the test's authority is not the system's
    EXPECT_NE(std::string::npos, fetcher.m_strError.find("certificate problem"));
}

TEST(PageLines, SplitAtLineFeedsPieceSizeAndClosedTags) {
    const std::string full(PageLineSplitter::kMaxPieceBytes, 'b');
    const std::pair<std::string, Lines> cases[] = {
        {"DATA_START\r\n\r\ntail", {"DATA_START\n\r\n", "\n\r\n", "tail\r\n"}},
        {"\r" + full + "\r\n", {full + "\r\n", "\n\r\n"}},  // CRs do not count
        {"<br>\na > b <c\nd>\n", {"<br>\n\r\n", "a > b <c\nd>\n\r\n"}},
        {"<a\n<b\n<" + full, {"<a\n<b\n<" + full + "\r\n"}},            // still open at the end
        {std::string("ab\0<d\nnext\n", 11), {"ab\r\n", "next\n\r\n"}},  // NUL ends the text
    };
    for (const auto& [body, lines] : cases) {
        for (size_t block : {size_t{1}, size_t{7}, size_t{4096}, body.size() + 1}) {
            EXPECT_EQ(lines, SplitInBlocks(body, block)) << body.substr(0, 40) << " in " << block;
        }
    }
    std::atomic<bool> cancelled{true};
    Lines none;
    PageLineSplitter stopped(none, &cancelled);
    stopped.Feed("a\nb\n", 4);
    EXPECT_TRUE(none.empty() && stopped.Cancelled());
}

TEST(ReadScoreAnswer, TakesTheTextAfterAStartMarkerInsideItsLine) {
    // A screen reader reads the answer: 2,000 characters and 20 lines at most, "<P>" counting.
    std::string kana, twenty;
    for (int i = 0; i < 2100; ++i) {
        kana += "\xE3\x81\x82";
        twenty += i < 10 ? "a\nb\r\n" : "";
    }
    Lines paragraphs(16, "a<P>b");
    paragraphs[0] = "<DATA_START>";
    const std::pair<Lines, std::string> cases[] = {
        {{"<DATA_START>", kana}, kana.substr(0, 3 * 2000)},
        {{"<DATA_START>", std::string(1998, 'x'), "y"}, std::string(1998, 'x') + "\r\n"},
        {paragraphs, twenty},
        // A line with both markers starts; a repeated start adds nothing.
        {{"<DATA_START DATA_END>", "one", "<DATA_START>", "two"}, "one\r\ntwo\r\n"},
        {{"DATA_START", "text", "<DATA_END>"}, "Err"},
        {{"<DATA_END>", "<DATA_START>", "text"}, "Err"},
        {{" DATA_START", "  \t\r\n", " DATA_END"}, "Err"},
        // The server escapes names as HTML; the box shows them as typed.
        {{"<DATA_START>",
          "Tom &amp; &lt;P&gt; &#8220;&#x5263;&#39;&quot;&amp;amp; &bogus; &#xD800; &#12"},
         "Tom & <P> \xE2\x80\x9C\xE5\x89\xA3'\"&amp; &bogus; &#xD800; &#12\r\n"},
        // No control character reaches the box, written or as a reference.
        {{"<DATA_START>", "\x01&#7;&#27; &#13;&#x85;&#0;\x1B", "\x7F"},
         "&#7;&#27; &#13;&#x85;&#0;\r\n"},
        // A server on a Japanese system answers in Shift-JIS, one on a Western one in Latin-1.
        {{"<DATA_START>", "\x91\xE6 5 \x88\xCA<P>\x83\x89\x83\x93\x83\x4E"},
         "\xE7\xAC\xAC 5 \xE4\xBD\x8D\n\xE3\x83\xA9\xE3\x83\xB3\xE3\x82\xAF\r\n"},
        {{"<DATA_START>", "Caf\xE9 No.1"}, "Caf\xEF\xBF\xBD No.1\r\n"},
    };
    for (const auto& [page, text] : cases) {
        EXPECT_EQ(text, ReadScoreAnswer(page)) << page[0];
    }
}

TEST(DisplayText, ReadsUtf8ThenCodePage932ElseReplacesAndDropsControls) {
    const std::string kReplaced = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"Tom & Jerry \xE5\x89\xA3 \xF0\x9F\x97\xA1\xC2\xA0",
         "Tom & Jerry \xE5\x89\xA3 \xF0\x9F\x97\xA1\xC2\xA0"},
        {"\x83\x89\x83\x93\x83\x4E", "\xE3\x83\xA9\xE3\x83\xB3\xE3\x82\xAF"},  // Shift-JIS
        {"No.1 \x88\xEA\x88\xCA\x5C\r\n\x07", "No.1 \xE4\xB8\x80\xE4\xBD\x8D\\\r\n"},
        {"caf\xE9", "caf" + kReplaced},                     // Latin-1
        {"a\x80\xBF-", "a" + kReplaced + kReplaced + "-"},  // lone continuation bytes
        {"\xC0\xAF\xE0\x80\xAF\xFF",
         kReplaced + kReplaced + kReplaced + kReplaced + kReplaced + kReplaced},  // overlong
        {"\xED\xA0\x80\xFF", kReplaced + kReplaced + kReplaced + kReplaced},      // a surrogate
        {"\xF4\x90\x80\x80", kReplaced + kReplaced + kReplaced + kReplaced},      // past U+10FFFF
        {"\xF0\x9F\x97", kReplaced + kReplaced + kReplaced},                      // cut short
        {std::string("a\0b", 3), "ab"},
        {"a\x01\x1B[31mb\x7F\xC2\x85\xC2\x9F", "a[31mb"},  // C0, DEL, C1
        {"a\tb\r\nc\rd\n\r", "a\tb\r\ncd\n"},              // only a CR before LF stays
        {"", ""},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(text, DisplayText(bytes)) << bytes;
        EXPECT_EQ(text, DisplayText(text));
    }
}

TEST(SendScore, ReadsTheWorstSixteenMebibyteAnswersToTheirShortText) {
    // The first `characters` characters of `unit` repeated.
    auto repeated = [](const std::string& unit, size_t characters) {
        std::string text;
        for (size_t i = 0; i < characters; ++i) {
            text += unit[i % unit.size()];
        }
        return text;
    };
    std::string kana, replaced;
    for (int i = 0; i < 20; ++i) {
        kana += "\xE3\x83\xA9\xE3\x83\xB3\r\n";
    }
    for (int i = 0; i < 2000; ++i) {
        replaced += "\xEF\xBF\xBD";
    }
    // Each unit repeated to 16 MiB after the start marker, and what the box shows.
    const std::pair<std::string, std::string> cases[] = {
        {"&#<", repeated("&#<", 2000)},  // one line: references never closed
        {"<&#1", repeated("<&#1", 2000)},
        {"&amp;", std::string(2000, '&')},
        {"<P>", std::string(20, '\n')},
        {"\x83\x89\x83\x93\n", kana},  // 65,536 lines of Shift-JIS and more
        {"xDATA_START\n", "Err"},
        {"\xFF\x01", replaced},
    };
    FakeServices fakes;
    fakes.http.response.received = true;
    for (const auto& [unit, text] : cases) {
        std::string& body = fakes.http.response.body = "xDATA_START\n";
        while (body.size() + unit.size() <= 16 << 20) {
            body += unit;
        }
        EXPECT_EQ(text, SendScore(fakes.http, fakes.dialogs, "Japan", "A", 1, 0)) << unit;
    }
}

TEST(SendScore, AsksTheRankingHostWithTheQueryEncodedAndReadsItsAnswer) {
    FakeServices fakes;
    setenv("ZANKORUC_RANKING_HOST", "rank.example:81", 1);
    fakes.http.response.received = true;
    fakes.http.response.body = "<!-- DATA_START -->\n\tNo.5<P><P>Hi \n \nlast\n<!-- DATA_END -->x";
    auto start = steady_clock::now();
    // "&", "=" and "#" would give the name a score of its own or cut it.
    EXPECT_EQ("No.5\n\nHi\r\nlast\r\n", SendScore(fakes.http, fakes.dialogs, "Papua New Guinea",
                                                  "50% +\xC3\xA9~/?&=#", 2, 3));
    EXPECT_EQ(
        "http://rank.example:81/game/zankoru/GameSet.asp?aria=Papua%20New%20Guinea&name=50%25"
        "%20%2B%C3%A9~%2F%3F%26%3D%23&mode=0&level=2&score=3",
        fakes.http.requests.back().url);
    // The player is held 20 s at most, whatever the server does.
    EXPECT_LE(start + 20s, fakes.http.requests.back().deadline);
    EXPECT_GE(steady_clock::now() + 20s, fakes.http.requests.back().deadline);
    std::atomic<bool> cancel{false};  // the player cancels as the answer arrives
    fakes.http.onSend = [&cancel](const platform::HttpRequest&) { cancel = true; };
    EXPECT_EQ("Err", SendScore(fakes.http, fakes.dialogs, "Japan", "A", 1, 0, &cancel));
    fakes.http.response.received = false;
    EXPECT_EQ("Err", SendScore(fakes.http, fakes.dialogs, "Japan", "A", 1, 0));
    setenv("ZANKORUC_RANKING_HOST", "", 1);
    EXPECT_EQ(EXPECTED_RANKING_HOST, RankingHost());  // an empty setting is none
}

}  // namespace
