// Fuzz entry for the score answer as a server may send it: the body split
// into page lines and read. The text for the box is "Err" or at most 2,000
// characters and 20 line feeds of display text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/PageLines.h"
#include "ranking/SendScore.h"
#include "shared/DisplayText.h"

#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    splitter.Feed(reinterpret_cast<const char*>(data), size);
    splitter.Finish();
    std::string text = ReadScoreAnswer(lines);
    CHECK(DisplayText(text) == text);
    size_t characters = 0;
    size_t lineFeeds = 0;
    for (char c : text) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        lineFeeds += c == '\n';
    }
    CHECK(characters <= 2000 && lineFeeds <= 20);
    return 0;
}
