#include "ranking/SendScore.h"

#include <chrono>

#include "http/CKelHttpConnect.h"
#include "http/HttpText.h"
#include "ranking/RankingHost.h"
#include "shared/QueryText.h"

namespace {

const char kErr[] = "Err";
// The player waits for the answer: whatever the server does (no answer, a
// byte every few seconds, redirects), the submission ends by then.
constexpr std::chrono::seconds kTimeLimit{20};
// The answer goes into a message box that a screen reader reads out, and a
// server's 100 MB answer once froze the window in a single Pango layout: the
// text shown stops after this many characters or lines, whichever comes first.
constexpr size_t kMaxAnswerCharacters = 2000;
constexpr size_t kMaxAnswerLines = 20;

// The marker counts only after the line's first character, so a line that
// opens with it is not a marker line.
bool HasMarker(const std::string& line, const char* marker) {
    size_t at = line.find(marker);
    return at != std::string::npos && at > 0;
}

std::string WithParagraphBreaks(const std::string& line) {
    std::string text;
    size_t start = 0;
    for (;;) {
        size_t at = line.find("<P>", start);
        if (at == std::string::npos) {
            text += line.substr(start);
            return text;
        }
        text += line.substr(start, at - start);
        text += "\n";
        start = at + 3;
    }
}

// The text up to kMaxAnswerCharacters characters and kMaxAnswerLines line
// ends, never cut inside a UTF-8 character.
std::string CutForDisplay(const std::string& text) {
    size_t characters = 0;
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation) {
            if (characters == kMaxAnswerCharacters || lines == kMaxAnswerLines) {
                return text.substr(0, i);
            }
            ++characters;
        }
        if (text[i] == '\n') {
            ++lines;
        }
    }
    return text;
}

}  // namespace

std::string ScoreAddress(const std::string& host, const std::string& aria, const std::string& name,
                         int level, int score) {
    return "http://" + host + "/game/zankoru/GameSet.asp" + "?aria=" + PercentEncode(aria) +
           "&name=" + PercentEncode(name) + "&mode=0" + "&level=" + std::to_string(level) +
           "&score=" + std::to_string(score);
}

std::string ReadScoreAnswer(const std::vector<std::string>& pageLines) {
    bool started = false;
    std::string result;
    for (const std::string& line : pageLines) {
        if (HasMarker(line, "DATA_START")) {
            started = true;
            continue;
        }
        if (HasMarker(line, "DATA_END")) {
            break;
        }
        if (!started) {
            continue;
        }
        std::string text = WithParagraphBreaks(TrimBlanks(line));
        if (!text.empty()) {
            result += text + "\r\n";
        }
    }
    return result.empty() ? std::string(kErr) : CutForDisplay(result);
}

std::string SendScore(platform::HttpClient& http, platform::Dialogs& dialogs,
                      const std::string& aria, const std::string& name, int level, int score,
                      const std::atomic<bool>* cancelled) {
    CKelHttpConnect fetcher(http, dialogs);
    fetcher.m_cancelled = cancelled;
    fetcher.m_deadline = std::chrono::steady_clock::now() + kTimeLimit;
    // The result code and the error text say nothing the player needs:
    // without usable lines the answer is "Err".
    fetcher.RequestPage(ScoreAddress(RankingHost(), aria, name, level, score), std::string(),
                        std::string());
    return ReadScoreAnswer(fetcher.m_arrLines);
}
