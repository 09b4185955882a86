// Reading what the game and browsers ask: the score query, the player's
// name in UTF-8 or Shift-JIS, the listing query of the ranking page.
#include <gtest/gtest.h>

#include "server/Listing.h"
#include "server/PlayerName.h"
#include "server/ScoreRequest.h"

namespace {

using server::CleanPlayerName;

TEST(ScoreQuery, ReadsWhatTheGameSends) {
    using Read = std::tuple<int, int, std::string, std::string, std::string>;
    const std::pair<std::string, Read> cases[] = {
        {"aria=Japan&name=Kel&mode=0&level=3&score=2", {3, 2, "Japan", "Kel", "0"}},
        // "+" is the player's own character, never a space.
        {"aria=Antigua%20and%20Barbuda&name=a+b%2Bc&mode=0&level=1&score=0",
         {1, 0, "Antigua and Barbuda", "a+b+c", "0"}},
        {"aria=Secret&name=%26%3D%25&level=2&score=99", {2, 99, "Secret", "&=%", ""}},
        // The first of a repeated parameter counts.
        {"level=1&score=5&level=3&score=9&name=A&name=B&aria=UK&aria=USA", {1, 5, "UK", "A", ""}},
        {"x=1&&level=3&score=1&mode=0123%0A456789abcdefXYZ", {3, 1, "", "", "0123456789abcdef"}},
        {"level=3&score=1&name=%8C%95%8Em", {3, 1, "", "剣士", ""}},
    };
    for (const auto& [query, expected] : cases) {
        server::ScoreRequest read = server::ReadScoreRequest(query);
        const server::NewScore& s = read.score;
        EXPECT_EQ("", read.problem) << query;
        EXPECT_EQ(expected, std::tie(s.level, s.hits, s.area, s.name, s.mode)) << query;
    }
}

TEST(ScoreQuery, RefusesWhatCannotBeRegistered) {
    const std::string valid = "aria=Japan&name=Kel&mode=0&level=3&score=2&pad=";
    const std::string level = "the level must be 1, 2 or 3";
    const std::string hits = "the score must be a number of hits from 0 to 99";
    const std::pair<std::string, std::string> cases[] = {
        {"", "the level is missing"},
        {"score=2&name=level", "the level is missing"},
        {"level=4&score=1", level},
        {"level=+1&score=1", level},
        {"level=%201&score=1", level},
        {"level=&score=1", level},
        {"level=1", "the score is missing"},
        {"level=1&score=100", hits},
        {"level=1&score=2%20", hits},
        {"level=1&score=99999999999999999999", hits},
        {"level=1&score=1&aria=japan", "the area is not one of the game's areas"},
        {valid + std::string(2049 - valid.size(), 'x'), "the request is longer than 2 KiB"},
        {valid + std::string(2048 - valid.size(), 'x'), ""},
    };
    for (const auto& [query, problem] : cases) {
        SCOPED_TRACE(query.substr(0, 80));
        EXPECT_EQ(problem, server::ReadScoreRequest(query).problem);
    }
}

TEST(PlayerName, KeepsUtf8ReadsShiftJisDropsControlsAndCutsAt32) {
    auto repeat = [](const std::string& text, int count) {
        std::string repeated;
        while (count-- > 0) {
            repeated += text;
        }
        return repeated;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"剣士", "剣士"},
        {"\x8c\x95\x8e\x6d", "剣士"},        // CP932 from a Japanese Windows
        {"\x8c\x95\\", "剣\\"},              // code page 932's 0x5C is a backslash
        {"\x80Kel\x8c", "Kel"},              // stray and cut-off bytes go
        {"a\001b\tc\177d\r\n", "abcd"},      // C0 and DEL
        {"a\302\240b", "a\302\240b"},        // no-break space is no control
        {std::string("剣\0士", 7), "剣士"},  // a NUL does not make it Shift-JIS
        {"  Kel \xe3\x80\x80", "Kel"},       // blanks at the ends, ideographic too
        {repeat("a", 40), repeat("a", 32)},
        {repeat("😀", 33), repeat("😀", 32)},
        {"x" + repeat("é", 40), "x" + repeat("é", 31)},
        {repeat("\x8c\x95", 40), repeat("剣", 32)},
        {repeat("\x01", 10) + repeat("a", 32) + "b", repeat("a", 32)},
        {repeat("a", 31) + " b", repeat("a", 31)},  // the cut leaves no blank at the end
    };
    for (const auto& [bytes, name] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name, CleanPlayerName(bytes));
    }
}

TEST(ListingQuery, ReadsLevelAreaAndLimit) {
    using Read = std::tuple<std::string, std::vector<int>, std::string, int>;
    const std::pair<std::string, Read> cases[] = {
        {"", {"", {3, 2, 1}, "", 100}},
        {"level=2&level=1", {"", {2}, "", 100}},
        {"aria=Sri%20Lanka&limit=5", {"", {3, 2, 1}, "Sri Lanka", 5}},
    };
    for (const auto& [query, expected] : cases) {
        server::Listing l = server::ReadListing(query);
        EXPECT_EQ(expected, std::tie(l.problem, l.levels, l.area, l.limit)) << query;
    }
    for (const char* bad :
         {"level=0", "level=4", "level=x", "level=", "aria=Sri+Lanka", "limit=0", "limit=101"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE("", server::ReadListing(bad).problem);
    }
}

}  // namespace
