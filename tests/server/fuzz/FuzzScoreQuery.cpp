// Fuzz entry for what reaches GameSet.asp: the raw query. Whatever it holds,
// a registered score is in range, its name clean UTF-8, the answer page
// keeps one pair of markers, and the log line stays printable.
#include <glib.h>

#include <cstdint>
#include <cstdlib>

#include "server/AnswerPage.h"
#include "server/PageText.h"
#include "server/PlayerName.h"
#include "server/RequestLog.h"
#include "server/ScoreRequest.h"
#include "shared/AreaNames.h"

#define CHECK(condition) ((condition) ? void() : std::abort())

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

void CheckName(const std::string& name) {
    CHECK(g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr));
    CHECK(g_utf8_strlen(name.data(), static_cast<gssize>(name.size())) <=
          static_cast<glong>(server::kMaxNameCharacters));
    for (const gchar* at = name.data(); at < name.data() + name.size(); at = g_utf8_next_char(at)) {
        gunichar c = g_utf8_get_char(at);
        CHECK(c >= 0x20 && !(c >= 0x7F && c <= 0x9F));
    }
    CHECK(name.empty() || (name.front() != ' ' && name.back() != ' '));
    CHECK(server::CleanPlayerName(name) == name);  // cleaning twice changes nothing
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string query(reinterpret_cast<const char*>(data), size);
    CheckName(server::CleanPlayerName(query));

    server::ScoreRequest read = server::ReadScoreRequest(query);
    if (read.problem.empty()) {
        const server::NewScore& score = read.score;
        CHECK(score.level >= 1 && score.level <= 3 && score.hits >= 0 && score.hits <= 99);
        CHECK(score.area.empty() || AreaIndex(score.area) >= 0);
        CheckName(score.name);
        CHECK(score.mode.size() <= server::kMaxModeBytes);
        std::string page = server::RegisteredPage(score, {1, 1});
        CHECK(Count(page, "DATA_START") == 1 && Count(page, "DATA_END") == 1);
        std::string shown = server::HtmlEscape(score.name);
        CHECK(shown.find_first_of("<>\"'") == std::string::npos);
    } else {
        CHECK(read.problem.find_first_of("<>&") == std::string::npos);
    }

    std::string logged = server::LoggedTarget("/game/zankoru/GameSet.asp?" + query);
    CHECK(logged.size() <= server::kMaxLoggedTarget + 3);
    for (char c : logged) {
        CHECK(c > ' ' && c < 0x7F);
    }
    return 0;
}
