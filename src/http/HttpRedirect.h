#pragma once
// What the fetcher reads from a redirect answer: where it points, and the
// cookies it sets for the next request.
#include <cstddef>
#include <string>
#include <vector>

// The first "Location" header's value (any letter case), without a fragment;
// empty when there is none.
std::string RedirectLocation(const std::string& rawHeaders);

// A location that is neither absolute nor rooted at "/", resolved against the
// current object (path with query): "b?x" from "/a/c?y" gives "/a/b?x", "?x"
// gives "/a/c?x", "../b" from "/a/c/d" gives "/a/b".
std::string ResolveRelativeObject(const std::string& currentObject, const std::string& location);

// A cookie a redirect answer set, and the server it goes back to: the same
// host and port only, and only over https when it came with "Secure".
struct RedirectCookie {
    std::string name;
    std::string pair;  // "name=value", as it goes back
    std::string host;
    int port = 0;
    bool secure = false;
};

// A server answering with thousands of cookies must not make the next
// request huge or the merge slow: what is kept stops at these.
constexpr size_t kMaxCookies = 50;
constexpr size_t kMaxCookieBytes = 4096;  // every kept pair with its "; "

// The name=value pairs of every "Set-Cookie" header of an answer from
// host:port, merged into `cookies`: a later pair replaces the one of the same
// name from the same server, in its place, and a new one is added at the end;
// a pair that would pass kMaxCookies or kMaxCookieBytes is dropped.
void MergeSetCookies(const std::string& rawHeaders, const std::string& host, int port,
                     std::vector<RedirectCookie>& cookies);

// "Cookie: a=1; b=2\r\n" with the cookies for a request to host:port (over
// https when `secure`), or empty when none is for it.
std::string CookieHeaderLine(const std::vector<RedirectCookie>& cookies, const std::string& host,
                             int port, bool secure);
