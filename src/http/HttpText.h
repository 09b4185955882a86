#pragma once
// The text the fetcher reads and writes: addresses, the request target as it
// goes on the wire, header lines of an answer.
#include <string>
#include <vector>

// An address split the way a browser reads it.
struct UrlParts {
    std::string scheme;  // lower case, e.g. "http"
    std::string host;    // without brackets for an IPv6 literal
    int port = 0;        // the scheme's default when none is written
    std::string object;  // path with query text, never empty ("/" at least)
};

// True when the text opens with a scheme and its colon ("http:", "ftp:").
bool HasScheme(const std::string& text);

// Splits "scheme://[user@]host[:port][/path][?query]". The path has its "."
// and ".." segments removed; nothing after "?" is touched. A "#" and what
// follows are left out. Returns false, with empty parts, when there is no
// scheme, no "//" or no host, or the port is not a number from 1 to 65535.
bool CrackUrl(const std::string& url, UrlParts& parts);

// The request target as it goes on the wire: bytes that cannot travel raw in
// a request line (space, control characters, "#", bytes above 0x7E) become
// %XX; everything else, "&", "=", "?", "/" and "%" included, stays as it is.
std::string EncodeRequestTarget(const std::string& object);

// A path beginning with "/" with its "." and ".." segments resolved.
std::string RemoveDotSegments(const std::string& path);

// Compares two texts, ASCII letters in any case.
bool EqualNoCase(const std::string& a, const std::string& b);
char LowerAscii(char c);
// The text without the blanks (space, tab, CR, LF, VT, FF) at either end.
std::string TrimBlanks(const std::string& text);

// The values of every header line called `name` (any letter case) in a raw
// header text, in order, without the blanks around them. The status line is
// not a header line.
std::vector<std::string> FindHeaderValues(const std::string& rawHeaders, const std::string& name);
