#include "http/HttpRedirect.h"

#include <utility>

#include "http/HttpText.h"

std::string RedirectLocation(const std::string& rawHeaders) {
    std::vector<std::string> values = FindHeaderValues(rawHeaders, "Location");
    if (values.empty()) {
        return std::string();
    }
    std::string location = values.front();
    size_t hash = location.find('#');
    if (hash != std::string::npos) {
        location.erase(hash);
    }
    return location;
}

std::string ResolveRelativeObject(const std::string& currentObject, const std::string& location) {
    size_t query = currentObject.find('?');
    std::string currentPath = currentObject.substr(0, query);
    if (currentPath.empty() || currentPath[0] != '/') {
        currentPath.insert(0, "/");
    }
    if (location.empty()) {
        return currentObject;
    }
    if (location[0] == '?') {
        return currentPath + location;
    }
    size_t locationQuery = location.find('?');
    std::string base = currentPath.substr(0, currentPath.rfind('/') + 1);
    std::string path = RemoveDotSegments(base + location.substr(0, locationQuery));
    return path +
           (locationQuery == std::string::npos ? std::string() : location.substr(locationQuery));
}

void MergeSetCookies(const std::string& rawHeaders, const std::string& host, int port,
                     std::vector<RedirectCookie>& cookies) {
    size_t bytes = 0;
    for (const RedirectCookie& cookie : cookies) {
        bytes += cookie.pair.size() + 2;
    }
    for (const std::string& value : FindHeaderValues(rawHeaders, "Set-Cookie")) {
        size_t semicolon = value.find(';');
        std::string pair = TrimBlanks(value.substr(0, semicolon));
        // A pair needs a name; a bare value is not a cookie a server can read
        // back, and control bytes would break the header line.
        size_t equals = pair.find('=');
        bool control = false;
        for (char c : pair) {
            control = control || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        }
        if (equals == std::string::npos || equals == 0 || control) {
            continue;
        }
        RedirectCookie cookie{pair.substr(0, equals), pair, host, port, false};
        while (semicolon != std::string::npos) {
            size_t next = value.find(';', semicolon + 1);
            std::string attribute = value.substr(semicolon + 1, next - semicolon - 1);
            cookie.secure =
                cookie.secure ||
                EqualNoCase(TrimBlanks(attribute.substr(0, attribute.find('='))), "Secure");
            semicolon = next;
        }

        // The kept list is short, so finding the cookie it replaces is a
        // bounded scan, whatever the number of headers.
        RedirectCookie* same = nullptr;
        for (RedirectCookie& existing : cookies) {
            if (existing.name == cookie.name && existing.port == port &&
                EqualNoCase(existing.host, host)) {
                same = &existing;
            }
        }
        size_t oldBytes = same == nullptr ? 0 : same->pair.size() + 2;
        size_t newBytes = bytes - oldBytes + cookie.pair.size() + 2;
        if (newBytes > kMaxCookieBytes || (same == nullptr && cookies.size() >= kMaxCookies)) {
            continue;
        }
        bytes = newBytes;
        if (same != nullptr) {
            *same = std::move(cookie);
        } else {
            cookies.push_back(std::move(cookie));
        }
    }
}

std::string CookieHeaderLine(const std::vector<RedirectCookie>& cookies, const std::string& host,
                             int port, bool secure) {
    std::string line;
    for (const RedirectCookie& cookie : cookies) {
        if (cookie.port != port || !EqualNoCase(cookie.host, host) || (cookie.secure && !secure)) {
            continue;
        }
        line += line.empty() ? "Cookie: " : "; ";
        line += cookie.pair;
    }
    return line.empty() ? line : line + "\r\n";
}
