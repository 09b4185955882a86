#pragma once
// What the fetcher reads from a redirect answer: where it points, and the
// cookies it sets for the next request.
#include <string>
#include <vector>

// The first "Location" header's value (any letter case), without a fragment;
// empty when there is none.
std::string RedirectLocation(const std::string& rawHeaders);

// A location that is neither absolute nor rooted at "/", resolved against the
// current object (path with query): "b?x" from "/a/c?y" gives "/a/b?x", "?x"
// gives "/a/c?x", "../b" from "/a/c/d" gives "/a/b".
std::string ResolveRelativeObject(const std::string& currentObject, const std::string& location);

// The name=value pairs of every "Set-Cookie" header, attributes left out,
// merged into `pairs` (a later pair replaces an earlier one of the same name).
void MergeSetCookies(const std::string& rawHeaders, std::vector<std::string>& pairs);

// "Cookie: a=1; b=2\r\n", or empty when there are no pairs.
std::string CookieHeaderLine(const std::vector<std::string>& pairs);
