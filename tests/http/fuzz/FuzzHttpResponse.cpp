// Fuzz entry for what a server sends. Input: the block size the body arrives
// in (first byte), header text, "\r\n\r\n", body (all body without it).
#include <cstdint>
#include <cstdlib>

#include "../TestHttpServer.h"
#include "http/HttpRedirect.h"
#include "http/HttpText.h"

#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t end = rest.find("\r\n\r\n");
    std::string headers = end == std::string::npos ? std::string() : rest.substr(0, end + 2);
    std::string body = end == std::string::npos ? rest : rest.substr(end + 4);

    std::string location = RedirectLocation(headers);
    UrlParts parts;
    CHECK(!CrackUrl(location, parts) || (parts.port > 0 && parts.object[0] == '/'));
    CHECK(HasScheme(location) || ResolveRelativeObject("/d/p?q", location)[0] == '/');
    std::vector<RedirectCookie> cookies;
    MergeSetCookies(headers, "h", 80, cookies);
    MergeSetCookies(headers, "h", 81, cookies);
    std::string line = CookieHeaderLine(cookies, "H", 80, true);
    CHECK(line.empty() || line.find('\n') == line.size() - 1);
    CHECK(cookies.size() <= kMaxCookies && line.size() <= kMaxCookieBytes + 8);

    // The block size changes nothing; without NUL bytes only the CRs are lost.
    std::vector<std::string> lines =
        SplitInBlocks(body, data[0] == 0xFF ? 10229 : data[0] % 64 + 1);
    CHECK(lines == SplitInBlocks(body, body.size() + 1));
    std::string joined;
    for (const std::string& line : lines) {
        CHECK(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
        joined += line.substr(0, line.size() - 2);
    }
    std::erase(body, '\r');
    CHECK(joined == body || body.find('\0') != std::string::npos);
    return 0;
}
