// The fetcher's text work: splitting addresses, the wire form of a request
// target, header lookup. No network here, so it can be fuzzed alone.
#include "http/HttpText.h"

#include <algorithm>

namespace {

int DefaultPort(const std::string& scheme) {
    if (scheme == "https") {
        return 443;
    }
    if (scheme == "ftp") {
        return 21;
    }
    return 80;
}

}  // namespace

bool HasScheme(const std::string& text) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    for (size_t i = 0; i < colon; ++i) {
        char c = text[i];
        bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!(alpha || (i > 0 && other))) {
            return false;
        }
    }
    return true;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string RemoveDotSegments(const std::string& path) {
    if (path.find('.') == std::string::npos) {
        return path;
    }
    std::vector<std::string> segments;
    bool trailingSlash = false;
    size_t start = path.empty() || path[0] != '/' ? 0 : 1;
    for (;;) {
        size_t end = path.find('/', start);
        bool last = end == std::string::npos;
        std::string segment = path.substr(start, last ? std::string::npos : end - start);
        if (segment == ".") {
            trailingSlash = last;
        } else if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
            trailingSlash = last;
        } else {
            segments.push_back(segment);
            trailingSlash = false;
        }
        if (last) {
            break;
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string& segment : segments) {
        resolved += "/" + segment;
    }
    if (trailingSlash || resolved.empty()) {
        resolved += "/";
    }
    return resolved;
}

bool CrackUrl(const std::string& url, UrlParts& parts) {
    parts = UrlParts();
    if (!HasScheme(url)) {
        return false;
    }
    size_t colon = url.find(':');
    std::string scheme;
    for (size_t i = 0; i < colon; ++i) {
        scheme += LowerAscii(url[i]);
    }
    if (url.compare(colon + 1, 2, "//") != 0) {
        return false;
    }
    size_t authorityStart = colon + 3;
    size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    std::string authority = url.substr(authorityStart, authorityEnd == std::string::npos
                                                           ? std::string::npos
                                                           : authorityEnd - authorityStart);
    // A user name and password in the address are not used.
    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        authority.erase(0, at + 1);
    }

    std::string host;
    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = authority.substr(1, close - 1);
        std::string rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') {
                return false;
            }
            portText = rest.substr(1);
        }
    } else {
        size_t portColon = authority.rfind(':');
        host = authority.substr(0, portColon);
        if (portColon != std::string::npos) {
            portText = authority.substr(portColon + 1);
        }
    }
    if (host.empty()) {
        return false;
    }
    int port = DefaultPort(scheme);
    if (!portText.empty()) {
        if (portText.size() > 5 || !std::all_of(portText.begin(), portText.end(),
                                                [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        port = std::stoi(portText);
        if (port < 1 || port > 65535) {
            return false;
        }
    }

    std::string object =
        authorityEnd == std::string::npos ? std::string() : url.substr(authorityEnd);
    size_t hash = object.find('#');
    if (hash != std::string::npos) {
        object.erase(hash);
    }
    if (object.empty() || object[0] == '?') {
        object.insert(0, "/");
    }
    size_t query = object.find('?');
    std::string path = RemoveDotSegments(object.substr(0, query));
    parts.scheme = scheme;
    parts.host = host;
    parts.port = port;
    parts.object = path + (query == std::string::npos ? std::string() : object.substr(query));
    return true;
}

std::string EncodeRequestTarget(const std::string& object) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(object.size());
    for (char c : object) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#') {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

std::vector<std::string> FindHeaderValues(const std::string& rawHeaders, const std::string& name) {
    std::vector<std::string> values;
    size_t start = 0;
    while (start < rawHeaders.size()) {
        size_t end = rawHeaders.find('\n', start);
        std::string line =
            rawHeaders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? rawHeaders.size() : end + 1;
        size_t colon = line.find(':');
        if (colon == std::string::npos ||
            (line.size() >= 5 && EqualNoCase(line.substr(0, 5), "HTTP/"))) {
            continue;
        }
        if (EqualNoCase(line.substr(0, colon), name)) {
            values.push_back(TrimBlanks(line.substr(colon + 1)));
        }
    }
    return values;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string TrimBlanks(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}
