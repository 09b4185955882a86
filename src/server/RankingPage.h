#pragma once
// The pages a browser is shown: the ranking (GameResult.asp) and the short
// pages that say why something cannot be shown. Plain HTML with a little
// inline CSS in a dark, high-contrast theme; no script, so a text browser
// and a screen reader get all of it.
#include <string>
#include <vector>

#include "server/ScoreStore.h"

namespace server {

struct LevelScores {
    int level = 1;
    std::vector<StoredScore> scores;  // fewest hits first, as the store gives them
};

// One section a level, in the order given, each with a table of rank, name,
// area, hits and date; a row "No scores yet." for a level without entries.
// `area` non-empty: the page says it lists that area only.
std::string RankingPage(const std::vector<LevelScores>& levels, const std::string& area);

// A page with a heading and one sentence, for refusals and errors.
std::string MessagePage(const std::string& heading, const std::string& sentence);

// The scores as JSON: {"level":N,"scores":[{"rank":..,"name":..,"area":..,
// "hits":..,"date":".."}]}. Names and areas as stored (an empty name stays
// empty).
std::string ScoresJson(const LevelScores& level);

// {"error":"SENTENCE"}
std::string ErrorJson(const std::string& sentence);

}  // namespace server
