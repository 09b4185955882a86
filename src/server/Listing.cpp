#include "server/Listing.h"

#include "shared/AreaNames.h"
#include "shared/QueryText.h"

namespace server {

namespace {

// 1..highest written as decimal digits alone, else 0.
int SmallNumber(const std::string& text, int highest) {
    if (text.empty() || text.size() > 3) {
        return 0;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value <= highest ? value : 0;
}

}  // namespace

Listing ReadListing(const std::string& query) {
    Listing listing;
    bool levelSeen = false;
    bool areaSeen = false;
    bool limitSeen = false;
    for (const auto& [key, value] : SplitQuery(query)) {
        if (key == "level" && !levelSeen) {
            levelSeen = true;
            int level = SmallNumber(value, 3);
            if (level == 0) {
                listing.problem = "The level must be 1 (Easy), 2 (Normal) or 3 (Hard).";
                return listing;
            }
            listing.levels = {level};
            listing.levelGiven = true;
        } else if (key == "aria" && !areaSeen) {
            areaSeen = true;
            if (!value.empty() && AreaIndex(value) < 0) {
                listing.problem = "The area is not one of the game's areas.";
                return listing;
            }
            listing.area = value;
        } else if (key == "limit" && !limitSeen) {
            limitSeen = true;
            listing.limit = SmallNumber(value, kMaxListed);
            if (listing.limit == 0) {
                listing.problem = "The limit must be a number from 1 to 100.";
                return listing;
            }
        }
    }
    return listing;
}

std::vector<int64_t> SharedRanks(const std::vector<StoredScore>& scores) {
    std::vector<int64_t> ranks;
    ranks.reserve(scores.size());
    for (size_t i = 0; i < scores.size(); ++i) {
        bool tied = i > 0 && scores[i].hits == scores[i - 1].hits;
        ranks.push_back(tied ? ranks.back() : static_cast<int64_t>(i) + 1);
    }
    return ranks;
}

}  // namespace server
