#pragma once
// The ranking server's host (and port), e.g. "127.0.0.1:8080". Compiled in,
// and overridden at run time by the environment variable
// ZANKORUC_RANKING_HOST when it is set and not empty.
#include <string>

std::string RankingHost();
