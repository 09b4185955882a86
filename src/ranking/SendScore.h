#pragma once
// The score submission: one GET of the ranking server's GameSet.asp with the
// area, the name, the mode, the level and the score, and the player-facing
// text read from the answer.
#include <atomic>
#include <string>
#include <vector>

#include "platform/net/HttpClient.h"
#include "platform/ui/Dialogs.h"

// "http://" + host + "/game/zankoru/GameSet.asp?aria=...&name=...&mode=0&level=...&score=..."
// with the area and the name percent-encoded (PercentEncode), so that "&",
// "=", "#" or "%" in a name stay in the name.
std::string ScoreAddress(const std::string& host, const std::string& aria, const std::string& name,
                         int level, int score);

// The text between the line holding "DATA_START" and the line holding
// "DATA_END" (each marker after the line's first character), only its first
// 64 KiB read: those bytes read as text (DisplayText: UTF-8, else Shift-JIS,
// else U+FFFD for what is neither; no control characters), every line
// trimmed, "<P>" turned into "\n", HTML character references (&amp; &lt; &gt;
// &quot; &apos; &#N; &#xH;) turned into their characters unless they name a
// control character, empty lines dropped, each kept line followed by "\r\n",
// the whole cut after 2,000 characters or 20 lines ("\n"), never inside a
// UTF-8 character. "Err" when that leaves nothing.
std::string ReadScoreAnswer(const std::vector<std::string>& pageLines);

// Sends the score to the ranking server (RankingHost()) and returns the text
// to show the player, or "Err" when nothing usable came back: no network, no
// server, no markers, or no answer within 20 s. A server asking for a password
// gets one through `dialogs`.
// aria, name: the settings' values as confirmed in the score dialog.
// level: the game's level - 1 (1 Easy, 2 Normal, 3 Hard); score: the hits taken.
// cancelled: when set by another thread, the submission stops soon after and
// its answer is not shown; null when nobody can cancel.
std::string SendScore(platform::HttpClient& http, platform::Dialogs& dialogs,
                      const std::string& aria, const std::string& name, int level, int score,
                      const std::atomic<bool>* cancelled = nullptr);
