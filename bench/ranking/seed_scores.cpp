// Fills a ranking database with generated scores, as many as asked, so the
// server's benchmarks run against a database of a realistic size.
//
//   seed_scores DATABASE COUNT
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "server/ScoreStore.h"
#include "shared/AreaNames.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: seed_scores DATABASE COUNT\n");
        return 2;
    }
    try {
        auto store = server::OpenScoreStore(argv[1]);
        long count = std::atol(argv[2]);
        std::srand(7);
        int64_t now = std::time(nullptr);
        for (long i = 0; i < count; ++i) {
            server::NewScore score;
            score.level = 1 + static_cast<int>(i % 3);
            // Mostly few hits, as real duels end: the low ranks crowd.
            score.hits = std::rand() % 10 + (std::rand() % 4 == 0 ? std::rand() % 90 : 0);
            score.name = "Player " + std::to_string(i);
            score.area = AreaName(static_cast<int>(i % kAreaCount));
            score.mode = "0";
            score.createdAt = now - (count - i);
            store->Add(score);
        }
    } catch (const server::StoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
