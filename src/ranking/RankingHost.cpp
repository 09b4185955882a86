#include "ranking/RankingHost.h"

#include <cstdlib>

#ifndef ZANKORUC_RANKING_HOST
#define ZANKORUC_RANKING_HOST "127.0.0.1:8080"
#endif

std::string RankingHost() {
    const char* fromEnvironment = std::getenv("ZANKORUC_RANKING_HOST");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') {
        return fromEnvironment;
    }
    return ZANKORUC_RANKING_HOST;
}
