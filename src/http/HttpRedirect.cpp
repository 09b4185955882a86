#include "http/HttpRedirect.h"

#include "http/HttpText.h"

namespace {

std::string CookieName(const std::string& pair) {
    return pair.substr(0, pair.find('='));
}

}  // namespace

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

void MergeSetCookies(const std::string& rawHeaders, std::vector<std::string>& pairs) {
    for (const std::string& value : FindHeaderValues(rawHeaders, "Set-Cookie")) {
        std::string pair = TrimBlanks(value.substr(0, value.find(';')));
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
        std::string name = CookieName(pair);
        bool replaced = false;
        for (std::string& existing : pairs) {
            if (CookieName(existing) == name) {
                existing = pair;
                replaced = true;
            }
        }
        if (!replaced) {
            pairs.push_back(pair);
        }
    }
}

std::string CookieHeaderLine(const std::vector<std::string>& pairs) {
    if (pairs.empty()) {
        return std::string();
    }
    std::string line = "Cookie: ";
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (i > 0) {
            line += "; ";
        }
        line += pairs[i];
    }
    return line + "\r\n";
}
