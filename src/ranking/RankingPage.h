#pragma once
// "NetRecord": the ranking server's result page, opened in the user's browser.
// The game stays on its menu whatever the browser does.
#include <string>

#include "platform/sys/Shell.h"

// "http://" + the ranking host + "/game/zankoru/GameResult.asp", no query.
std::string RankingPageAddress();

// Hands the page to the desktop's default browser; the answer is ignored.
void OpenRankingPage(platform::Shell& shell);
