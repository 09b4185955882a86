#pragma once
// What the ranking page and the scores API are asked to list, and the ranks
// they show.
#include <cstdint>
#include <string>
#include <vector>

#include "server/ScoreStore.h"

namespace server {

// The most entries listed per level.
constexpr int kMaxListed = 100;

struct Listing {
    std::vector<int> levels = {3, 2, 1};  // hardest first
    std::string area;                     // empty: every area
    int limit = kMaxListed;
    bool levelGiven = false;
    std::string problem;  // empty when the query can be answered
};

// Reads `query` (the raw text after "?"): level=1..3 lists that level only,
// aria=AREA that area's entries only (empty: every area), limit=1..100 the count per level.
// The first of a repeated parameter counts; unknown ones are ignored.
// `problem` is a sentence naming the wrong value.
Listing ReadListing(const std::string& query);

// The rank of each entry of `scores` (in the store's order: fewest hits
// first): equal hits share a rank and the next one skips, 1 2 2 4.
std::vector<int64_t> SharedRanks(const std::vector<StoredScore>& scores);

}  // namespace server
