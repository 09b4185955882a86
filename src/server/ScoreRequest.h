#pragma once
// What GameSet.asp is asked to register, read from the query exactly as the
// game writes it: values percent-encoded (or sent as they are), "+" an
// ordinary character.
#include <string>

#include "server/ScoreStore.h"

namespace server {

// Longer queries are refused unread: the game's are a few hundred bytes.
constexpr size_t kMaxScoreQueryBytes = 2048;
// The mode is the game's own word ("0"); a little room for later ones.
constexpr size_t kMaxModeBytes = 16;

struct ScoreRequest {
    NewScore score;       // createdAt left at 0: the caller knows the time
    std::string problem;  // why it cannot be registered, empty when it can
};

// Reads `query` (the raw text after "?"): level 1..3 and score 0..99 are
// required, as decimal digits alone; aria must be one of the game's areas
// or empty; name is cleaned by CleanPlayerName; mode keeps its printable
// ASCII, cut to kMaxModeBytes. When a parameter comes twice the first one
// counts. Unknown parameters are ignored.
// `problem` is a lower-case phrase that completes "The score was not
// registered: ...".
ScoreRequest ReadScoreRequest(const std::string& query);

}  // namespace server
