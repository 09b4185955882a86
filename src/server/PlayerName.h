#pragma once
// The player's name as the ranking keeps it. The game sends the bytes of the
// name as its settings hold them: UTF-8 from this game, Shift-JIS from the
// Windows clients that write in their ANSI code page.
#include <string>

namespace server {

// The longest name kept, in characters (code points).
constexpr size_t kMaxNameCharacters = 32;

// `bytes` as UTF-8: kept as they are when they are valid UTF-8, else read as
// Shift-JIS (Windows code page 932). Control characters (C0, DEL, C1) and
// bytes that are neither are dropped, blanks at both ends trimmed, and the
// rest cut to kMaxNameCharacters, never inside a character.
std::string CleanPlayerName(const std::string& bytes);

}  // namespace server
