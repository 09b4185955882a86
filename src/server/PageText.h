#pragma once
// Small text pieces every answer of the ranking server is made of.
#include <cstdint>
#include <string>

namespace server {

// `text` safe inside HTML text and quoted attribute values: & < > " ' become
// character references.
std::string HtmlEscape(const std::string& text);

// `text` as a JSON string, quotes included. Besides what JSON requires, < > &
// and U+2028/U+2029 are written as \u escapes, so the text stays inert even
// when a page embeds it in a script or a browser guesses its type.
std::string JsonQuote(const std::string& text);

// "2026-12-08T10:30:00Z" for `seconds` since 1970-01-01 UTC.
std::string UtcTimestamp(int64_t seconds);

// "Easy", "Normal" or "Hard" for level 1, 2 or 3.
std::string LevelName(int level);

// "1 hit", "0 hits", "12 hits".
std::string HitsText(int hits);

// A stored name as the pages show it: "-" for the empty name.
std::string ShownName(const std::string& name);

}  // namespace server
