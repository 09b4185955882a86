// Splitting a body into page lines, and the text helpers of the fetcher and
// its internet layer: address splitting, the wire encoding of the request
// target, header lookup, location resolution and redirect cookies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/HttpRedirect.h"
#include "http/PageLines.h"
#include "platform/net/Internet.h"

namespace {

std::vector<std::string> Split(const std::string& body, size_t blockSize = 4096) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    for (size_t at = 0; at < body.size(); at += blockSize) {
        splitter.Feed(body.data() + at, std::min(blockSize, body.size() - at));
    }
    splitter.Finish();
    return lines;
}

using Lines = std::vector<std::string>;

TEST(PageLines, LineEndsBecomeLineFeedPlusCrLf) {
    EXPECT_EQ((Lines{"DATA_START\n\r\n", "\n\r\n", "tail\r\n"}), Split("DATA_START\r\n\r\ntail"));
    EXPECT_EQ((Lines{"a\n\r\n", "b\n\r\n"}), Split("a\nb\n"));
    // Carriage returns anywhere are dropped; a body of nothing else gives no line.
    EXPECT_EQ((Lines{"ab\n\r\n"}), Split("a\rb\r\r\n\r\r"));
    EXPECT_TRUE(Split("").empty());
}

TEST(PageLines, LongLineIsCutIntoPiecesOfTheBufferSize) {
    const size_t piece = PageLineSplitter::kMaxPieceBytes;
    // A line that just fits keeps its line feed in the same piece.
    std::string fits(piece - 1, 'a');
    EXPECT_EQ((Lines{fits + "\n\r\n"}), Split(fits + "\n"));

    // One byte more: the line feed becomes a piece of its own.
    std::string full(piece, 'b');
    EXPECT_EQ((Lines{full + "\r\n", "\n\r\n"}), Split(full + "\n"));

    // Carriage returns do not count towards the piece size.
    std::string withCr;
    for (size_t i = 0; i < piece; ++i) {
        withCr += "c\r";
    }
    EXPECT_EQ((Lines{std::string(piece, 'c') + "\r\n", "d\r\n"}), Split(withCr + "d"));

    std::string longLine(2 * piece + 5, 'e');
    EXPECT_EQ(
        (Lines{std::string(piece, 'e') + "\r\n", std::string(piece, 'e') + "\r\n", "eeeee\n\r\n"}),
        Split(longLine + "\n", 1000));
}

TEST(PageLines, OpenTagHoldsThePieceBackUntilItCloses) {
    EXPECT_EQ((Lines{"<td\nalign=right>5</td>\n\r\n"}), Split("<td\nalign=right>5</td>\n"));
    // A ">" first and a "<" after it: still open.
    EXPECT_EQ((Lines{"x > y <b\nc>\n\r\n"}), Split("x > y <b\nc>\n"));
    // A complete tag at the end, or no "<" at all: not held back.
    EXPECT_EQ((Lines{"<br>\n\r\n", "a > b\n\r\n"}), Split("<br>\na > b\n"));
    // Held back over several lines, and still open at the end of the body.
    EXPECT_EQ((Lines{"<a\n<b\n<c\r\n"}), Split("<a\n<b\n<c"));
    // A long open tag joins its pieces into one line.
    std::string tag = "<" + std::string(PageLineSplitter::kMaxPieceBytes + 100, 'z');
    EXPECT_EQ((Lines{tag + ">\n\r\n"}), Split(tag + ">\n"));
}

TEST(PageLines, NulByteEndsThePiecesText) {
    EXPECT_EQ((Lines{"ab\r\n", "next\n\r\n"}), Split(std::string("ab\0cd\nnext\n", 11)));
    EXPECT_EQ((Lines{"\r\n"}), Split(std::string("\0<\n", 3)));
}

TEST(PageLines, BlockSizeDoesNotChangeTheLines) {
    std::string body = "<html>\r\n<body\r\nbgcolor=black>\r\nline\n\n" +
                       std::string(PageLineSplitter::kMaxPieceBytes * 2, 'q') + "\r\n<p>end";
    Lines whole = Split(body, body.size());
    for (size_t block : {1u, 2u, 3u, 7u, 4096u, 10229u}) {
        EXPECT_EQ(whole, Split(body, block)) << "block " << block;
    }
}

TEST(CrackUrl, SplitsHostPortAndObject) {
    platform::UrlParts parts;
    ASSERT_TRUE(platform::CrackUrl("http://example.com/game/a.asp?x=1&y=a b", parts));
    EXPECT_EQ("http", parts.scheme);
    EXPECT_EQ("example.com", parts.host);
    EXPECT_EQ(80, parts.port);
    EXPECT_EQ("/game/a.asp?x=1&y=a b", parts.object);

    ASSERT_TRUE(platform::CrackUrl("HTTPS://user:pw@Host:8443", parts));
    EXPECT_EQ("https", parts.scheme);
    EXPECT_EQ("Host", parts.host);
    EXPECT_EQ(8443, parts.port);
    EXPECT_EQ("/", parts.object);

    ASSERT_TRUE(platform::CrackUrl("http://[::1]:81?q=/../x#frag", parts));
    EXPECT_EQ("::1", parts.host);
    EXPECT_EQ(81, parts.port);
    EXPECT_EQ("/?q=/../x", parts.object);

    ASSERT_TRUE(platform::CrackUrl("http://h/a/b/../c/./d?p=../", parts));
    EXPECT_EQ("/a/c/d?p=../", parts.object);
    ASSERT_TRUE(platform::CrackUrl("ftp://h/f", parts));
    EXPECT_EQ(21, parts.port);
}

TEST(CrackUrl, RefusesAddressesWithoutSchemeOrHost) {
    platform::UrlParts parts;
    for (const char* bad : {"", "#top", "example.com/x", "http:/x", "http:///x", "http://h:0/",
                            "http://h:99999/", "http://h:8x/", "1http://h/", "http://[::1/"}) {
        EXPECT_FALSE(platform::CrackUrl(bad, parts)) << bad;
        EXPECT_EQ("", parts.host) << bad;
    }
}

TEST(EncodeRequestTarget, EncodesOnlyWhatCannotTravelRaw) {
    EXPECT_EQ("/a.asp?aria=Japan&name=A%20B&mode=0%25/x",
              platform::EncodeRequestTarget("/a.asp?aria=Japan&name=A B&mode=0%25/x"));
    EXPECT_EQ("/%00%01%1F%7F%80%FF%23",
              platform::EncodeRequestTarget(std::string("/\0\x01\x1f\x7f\x80\xff#", 8)));
    EXPECT_EQ("/~!$'()*+,;:@[]|\"<>{}\\^`",
              platform::EncodeRequestTarget("/~!$'()*+,;:@[]|\"<>{}\\^`"));
}

TEST(HeaderValues, FindsEveryLineOfANameInAnyCase) {
    std::string raw =
        "HTTP/1.0 302 Found\r\nlocation: /a \r\nContent-Location: /b\r\nX:1\r\nLOCATION:/c\r\n\r\n";
    EXPECT_EQ((std::vector<std::string>{"/a", "/c"}), platform::FindHeaderValues(raw, "Location"));
    EXPECT_EQ("/a", RedirectLocation(raw));
    EXPECT_EQ("", RedirectLocation("HTTP/1.0 302 Found\r\nLocation:\r\n\r\n"));
    EXPECT_EQ("", RedirectLocation("HTTP/1.0 302 Found\r\nLocation: \r\n"));
    EXPECT_EQ("/x?y", RedirectLocation("HTTP/1.0 302 Found\nLocation: /x?y#z\n\n"));
}

TEST(RedirectTarget, RelativeLocationsResolveAgainstTheCurrentObject) {
    EXPECT_EQ("/a/b?x", ResolveRelativeObject("/a/c?y", "b?x"));
    EXPECT_EQ("/a/c?x", ResolveRelativeObject("/a/c?y", "?x"));
    EXPECT_EQ("/a/b", ResolveRelativeObject("/a/c/d", "../b"));
    EXPECT_EQ("/b", ResolveRelativeObject("/a", "../../b"));
    EXPECT_EQ("/a/", ResolveRelativeObject("/a/c", "."));
    EXPECT_TRUE(HasScheme("http://x/"));
    EXPECT_TRUE(HasScheme("HTTPS://x/"));
    EXPECT_FALSE(HasScheme("/a:b"));
    EXPECT_FALSE(HasScheme("page.asp?t=10:30"));
}

TEST(RedirectCookies, PairsWithoutAttributesReplacedByName) {
    std::vector<std::string> pairs;
    MergeSetCookies(
        "HTTP/1.0 302 Found\r\nSet-Cookie: a=1; Path=/\r\nSET-COOKIE:  b = 2 \r\n"
        "Set-Cookie: novalue\r\nSet-Cookie: =x\r\n\r\n",
        pairs);
    EXPECT_EQ((std::vector<std::string>{"a=1", "b = 2"}), pairs);
    MergeSetCookies("HTTP/1.0 302 Found\r\nSet-Cookie: a=3\r\nSet-Cookie: c=\r\n\r\n", pairs);
    EXPECT_EQ("Cookie: a=3; b = 2; c=\r\n", CookieHeaderLine(pairs));
    EXPECT_EQ("", CookieHeaderLine({}));
}

}  // namespace
