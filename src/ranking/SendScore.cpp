#include "ranking/SendScore.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "http/CKelHttpConnect.h"
#include "http/HttpText.h"
#include "ranking/RankingHost.h"
#include "shared/DisplayText.h"
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
// Only this much of the text between the markers is read at all, so reading
// a 16 MiB answer costs no more than reading a short one. 2,000 characters
// written as the longest character references (10 bytes, "&#x10FFFF;") fit
// three times over.
constexpr size_t kMaxAnswerBytes = 64 * 1024;
// The longest character reference the answer may use after its "&#" or
// "&#x": six digits and the ";".
constexpr size_t kMaxReferenceTail = 7;

// The marker counts only after the line's first character, so a line that
// opens with it is not a marker line.
bool HasMarker(const std::string& line, const char* marker) {
    size_t at = line.find(marker);
    return at != std::string::npos && at > 0;
}

// The raw text cut to at most kMaxAnswerBytes without splitting a character
// where possible: in UTF-8 and in Shift-JIS alike a byte below 0x40 is a
// character of its own, so the cut goes before the last such byte of the
// final kilobyte (a line's CR LF, a space, a digit).
std::string CutRawAnswer(std::string raw) {
    if (raw.size() <= kMaxAnswerBytes) {
        return raw;
    }
    size_t cut = kMaxAnswerBytes;
    for (size_t at = cut; at + 1024 > kMaxAnswerBytes && at > 0; --at) {
        if (static_cast<unsigned char>(raw[at]) < 0x40) {
            cut = at;
            break;
        }
    }
    raw.resize(cut);
    return raw;
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

// The answer is HTML: a server escapes a name such as "Tom & Jerry" or
// "<b>" so that a browser shows it as text. The message box shows text, so
// the escapes the server can use become their characters again. Anything
// else that looks like an escape stays as it is - and so does a reference to
// a control character ("&#7;", "&#27;", "&#13;"): the box shows no control
// characters, and the literal text tells the player what the server wrote
// where dropping it would hide that anything was there. The ";" is looked
// for only as far as the longest reference reaches, so every "&" costs a few
// bytes' work however long the line.
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
            size_t digits = std::min(line.size(), i + (hex ? 3 : 2));
            size_t length = std::string_view(line).substr(digits, kMaxReferenceTail).find(';');
            if (length != std::string_view::npos && length > 0) {
                std::string number = line.substr(digits, length);
                char* rest = nullptr;
                unsigned long code = std::strtoul(number.c_str(), &rest, hex ? 16 : 10);
                bool valid = *rest == '\0' && number.find_first_of("+- ") == std::string::npos;
                if (valid && code <= 0x10FFFF && !IsControlCharacter(static_cast<char32_t>(code)) &&
                    (code < 0xD800 || code > 0xDFFF)) {
                    AppendUtf8(text, static_cast<char32_t>(code));
                    i = digits + length + 1;
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

// Every pass is linear, and all but the marker search see at most
// kMaxAnswerBytes: the raw lines between the markers are cut first, read as
// text (DisplayText, which decides the encoding once for the whole answer:
// the lines joined by CR LF, which it keeps), and only then trimmed, given
// their paragraph breaks and their character references.
std::string ReadScoreAnswer(const std::vector<std::string>& pageLines) {
    bool started = false;
    std::string raw;
    for (const std::string& line : pageLines) {
        if (HasMarker(line, "DATA_START")) {
            started = true;
            continue;
        }
        if (HasMarker(line, "DATA_END") || raw.size() > kMaxAnswerBytes) {
            break;
        }
        if (started) {
            raw.append(line, 0, kMaxAnswerBytes + 1 - raw.size());
            raw += "\r\n";
        }
    }
    std::string text = DisplayText(CutRawAnswer(std::move(raw)));
    std::string result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find("\r\n", start), text.size());
        std::string line = DecodeCharacterReferences(
            WithParagraphBreaks(TrimBlanks(text.substr(start, end - start))));
        if (!line.empty()) {
            result += line + "\r\n";
        }
        start = end + 2;
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
