#include "server/ScoreRequest.h"

#include <optional>

#include "server/PlayerName.h"
#include "shared/AreaNames.h"
#include "shared/QueryText.h"

namespace server {

namespace {

// The first value of `name`, or nothing when the query does not have it.
std::optional<std::string> FirstValue(const std::vector<std::pair<std::string, std::string>>& pairs,
                                      const std::string& name) {
    for (const auto& [key, value] : pairs) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

// Decimal digits only, no sign and no blanks; -1 when that is not what
// `text` is or when its value passes `highest`.
int DigitsValue(const std::string& text, int highest) {
    if (text.empty()) {
        return -1;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
        if (value > highest) {
            return -1;
        }
    }
    return value;
}

std::string PrintableMode(const std::string& text) {
    std::string mode;
    for (char c : text) {
        if (c > ' ' && c < 0x7F && mode.size() < kMaxModeBytes) {
            mode += c;
        }
    }
    return mode;
}

}  // namespace

ScoreRequest ReadScoreRequest(const std::string& query) {
    ScoreRequest request;
    if (query.size() > kMaxScoreQueryBytes) {
        request.problem = "the request is longer than 2 KiB";
        return request;
    }
    auto pairs = SplitQuery(query);
    std::optional<std::string> level = FirstValue(pairs, "level");
    std::optional<std::string> score = FirstValue(pairs, "score");
    std::string area = FirstValue(pairs, "aria").value_or("");
    if (!level) {
        request.problem = "the level is missing";
    } else if ((request.score.level = DigitsValue(*level, 3)) < 1) {
        request.problem = "the level must be 1, 2 or 3";
    } else if (!score) {
        request.problem = "the score is missing";
    } else if ((request.score.hits = DigitsValue(*score, 99)) < 0) {
        request.problem = "the score must be a number of hits from 0 to 99";
    } else if (!area.empty() && AreaIndex(area) < 0) {
        request.problem = "the area is not one of the game's areas";
    }
    if (!request.problem.empty()) {
        request.score = NewScore();
        return request;
    }
    request.score.area = area;
    request.score.name = CleanPlayerName(FirstValue(pairs, "name").value_or(""));
    request.score.mode = PrintableMode(FirstValue(pairs, "mode").value_or(""));
    return request;
}

}  // namespace server
