// Fuzz entry for the bytes a server controls: the raw header text of an
// answer (its location and cookies) and the body split into page lines.
//
// Input: the first byte picks the block size the body arrives in; the rest is
// header text, "\r\n\r\n", body (no separator: all of it is body).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/HttpRedirect.h"
#include "http/PageLines.h"
#include "platform/net/Internet.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<std::string> SplitInBlocks(const std::string& body, size_t block) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    for (size_t at = 0; at < body.size(); at += block) {
        splitter.Feed(body.data() + at, std::min(block, body.size() - at));
    }
    splitter.Finish();
    return lines;
}

void CheckHeaders(const std::string& headers) {
    std::string location = RedirectLocation(headers);
    Check(location.find('#') == std::string::npos);
    if (HasScheme(location)) {
        platform::UrlParts parts;
        if (platform::CrackUrl(location, parts)) {
            Check(!parts.host.empty());
            Check(!parts.object.empty() && parts.object[0] == '/');
            Check(parts.port >= 1 && parts.port <= 65535);
        }
    } else if (!location.empty() && location[0] != '/') {
        std::string object = ResolveRelativeObject("/dir/page.asp?q=1", location);
        Check(!object.empty() && object[0] == '/');
    }
    for (char c : platform::EncodeRequestTarget(location)) {
        Check(c > 0x20 && c < 0x7F && c != '#');
    }
    std::vector<std::string> cookies;
    MergeSetCookies(headers, cookies);
    std::string cookieLine = CookieHeaderLine(cookies);
    if (!cookieLine.empty()) {
        std::string text = cookieLine.substr(0, cookieLine.size() - 2);
        Check(text.find('\r') == std::string::npos && text.find('\n') == std::string::npos);
    }
}

void CheckBody(const std::string& body, size_t block) {
    std::vector<std::string> lines = SplitInBlocks(body, block);
    Check(lines == SplitInBlocks(body, body.size() + 1));
    std::string joined;
    for (const std::string& line : lines) {
        Check(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
        joined += line.substr(0, line.size() - 2);
    }
    // Without NUL bytes nothing is lost but the carriage returns.
    if (body.find('\0') == std::string::npos) {
        std::string expected;
        for (char c : body) {
            if (c != '\r') {
                expected += c;
            }
        }
        Check(joined == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    size_t block = data[0] == 0xFF ? 10229 : static_cast<size_t>(data[0] % 64) + 1;
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t end = rest.find("\r\n\r\n");
    std::string headers = end == std::string::npos ? std::string() : rest.substr(0, end + 2);
    std::string body = end == std::string::npos ? rest : rest.substr(end + 4);
    CheckHeaders(headers);
    CheckBody(body, block);
    return 0;
}
