#include "ranking/SendScore.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

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

void AppendUtf8(std::string& text, unsigned long code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The answer is HTML: a server escapes a name such as "Tom & Jerry" or
// "<b>" so that a browser shows it as text. The message box shows text, so
// the escapes the server can use become their characters again. Anything
// else that looks like an escape stays as it is.
std::string DecodeCharacterReferences(const std::string& line) {
    static const std::pair<const char*, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string text;
    for (size_t i = 0; i < line.size();) {
        if (line[i] != '&') {
            text += line[i++];
            continue;
        }
        bool decoded = false;
        for (const auto& [name, character] : kNamed) {
            if (line.compare(i, std::char_traits<char>::length(name), name) == 0) {
                text += character;
                i += std::char_traits<char>::length(name);
                decoded = true;
                break;
            }
        }
        if (!decoded && line.compare(i, 2, "&#") == 0) {
            bool hex = i + 2 < line.size() && (line[i + 2] == 'x' || line[i + 2] == 'X');
            size_t digits = i + (hex ? 3 : 2);
            size_t end = line.find(';', digits);
            if (end != std::string::npos && end > digits && end - digits <= 6) {
                std::string number = line.substr(digits, end - digits);
                char* rest = nullptr;
                unsigned long code = std::strtoul(number.c_str(), &rest, hex ? 16 : 10);
                bool valid = *rest == '\0' && number.find_first_of("+- ") == std::string::npos;
                if (valid && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                    AppendUtf8(text, code);
                    i = end + 1;
                    decoded = true;
                }
            }
        }
        if (!decoded) {
            text += line[i++];
        }
    }
    return text;
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
        std::string text = DecodeCharacterReferences(WithParagraphBreaks(TrimBlanks(line)));
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
