// Fuzz entry for what a server sends. Input: the block size the body arrives
// in (first byte), header text, "\r\n\r\n", body (all body without it).
#include <cstdint>
#include <cstdlib>

#include "http/HttpRedirect.h"
#include "http/HttpText.h"
#include "http/PageLines.h"

static void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

static std::vector<std::string> Split(const std::string& body, size_t block) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    for (size_t at = 0; at < body.size(); at += block) {
        splitter.Feed(body.data() + at, std::min(block, body.size() - at));
    }
    splitter.Finish();
    return lines;
}

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
    Check(!CrackUrl(location, parts) || (parts.port > 0 && parts.object[0] == '/'));
    Check(HasScheme(location) || ResolveRelativeObject("/d/p?q", location)[0] == '/');
    std::vector<std::string> cookies;
    MergeSetCookies(headers, cookies);
    Check(CookieHeaderLine(cookies).find('\n') == CookieHeaderLine(cookies).size() - 1);

    // The block size changes nothing; without NUL bytes only the CRs are lost.
    std::vector<std::string> lines = Split(body, data[0] == 0xFF ? 10229 : data[0] % 64 + 1);
    Check(lines == Split(body, body.size() + 1));
    std::string joined;
    for (const std::string& line : lines) {
        Check(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
        joined += line.substr(0, line.size() - 2);
    }
    std::erase(body, '\r');
    Check(joined == body || body.find('\0') != std::string::npos);
    return 0;
}
