#include "ranking/RankingPage.h"

#include "platform/sys/Shell.h"
#include "ranking/RankingHost.h"

std::string RankingPageAddress() {
    return "http://" + RankingHost() + "/game/zankoru/GameResult.asp";
}

void OpenRankingPage() {
    platform::OpenUri(RankingPageAddress());
}
