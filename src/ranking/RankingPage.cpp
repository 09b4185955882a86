#include "ranking/RankingPage.h"

#include "ranking/RankingHost.h"

std::string RankingPageAddress() {
    return "http://" + RankingHost() + "/game/zankoru/GameResult.asp";
}

void OpenRankingPage(platform::Shell& shell) {
    shell.OpenUri(RankingPageAddress());
}
