// Reading what the game and browsers ask: the score query, the player's
// name in UTF-8 or Shift-JIS, the listing query of the ranking page.
#include <gtest/gtest.h>

#include "server/Listing.h"
#include "server/PlayerName.h"
#include "server/ScoreRequest.h"

namespace {

using server::CleanPlayerName;
using server::ReadListing;
using server::ReadScoreRequest;

std::string Repeat(const std::string& text, int count) {
    std::string repeated;
    for (int i = 0; i < count; ++i) {
        repeated += text;
    }
    return repeated;
}

TEST(ScoreQuery, ReadsWhatTheGameSends) {
    struct Case {
        std::string query;
        int level, hits;
        std::string area, name, mode;
    };
    const Case cases[] = {
        {"aria=Japan&name=Kel&mode=0&level=3&score=2", 3, 2, "Japan", "Kel", "0"},
        // "+" is the player's own character, never a space.
        {"aria=Antigua%20and%20Barbuda&name=a+b%2Bc&mode=0&level=1&score=0", 1, 0,
         "Antigua and Barbuda", "a+b+c", "0"},
        {"aria=Secret&name=%26%3D%25&level=2&score=99", 2, 99, "Secret", "&=%", ""},
        {"aria=&name=&mode=0&level=2&score=007", 2, 7, "", "", "0"},
        {"level=1&score=5", 1, 5, "", "", ""},
        // The first of a repeated parameter counts.
        {"level=1&score=5&level=3&score=9&name=A&name=B&aria=UK&aria=USA", 1, 5, "UK", "A", ""},
        {"x=1&&level=3&score=1&mode=ab%0Acd%20e", 3, 1, "", "", "abcde"},
        {"level=3&score=1&mode=0123456789abcdefXYZ", 3, 1, "", "", "0123456789abcdef"},
        {"level=3&score=1&name=%E5%89%A3%E5%A3%AB", 3, 1, "", "剣士", ""},
        {"level=3&score=1&name=%8C%95%8Em", 3, 1, "", "剣士", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        server::ScoreRequest read = ReadScoreRequest(c.query);
        EXPECT_EQ("", read.problem);
        EXPECT_EQ(c.level, read.score.level);
        EXPECT_EQ(c.hits, read.score.hits);
        EXPECT_EQ(c.area, read.score.area);
        EXPECT_EQ(c.name, read.score.name);
        EXPECT_EQ(c.mode, read.score.mode);
    }
}

TEST(ScoreQuery, RefusesWhatCannotBeRegistered) {
    const std::string valid = "aria=Japan&name=Kel&mode=0&level=3&score=2";
    const std::pair<std::string, std::string> cases[] = {
        {"", "the level is missing"},
        {"score=2&name=level", "the level is missing"},
        {"level=0&score=1", "the level must be 1, 2 or 3"},
        {"level=4&score=1", "the level must be 1, 2 or 3"},
        {"level=-1&score=1", "the level must be 1, 2 or 3"},
        {"level=+1&score=1", "the level must be 1, 2 or 3"},
        {"level=%201&score=1", "the level must be 1, 2 or 3"},
        {"level=1.0&score=1", "the level must be 1, 2 or 3"},
        {"level=&score=1", "the level must be 1, 2 or 3"},
        {"level=Hard&score=1", "the level must be 1, 2 or 3"},
        {"level=1", "the score is missing"},
        {"level=1&score=100", "the score must be a number of hits from 0 to 99"},
        {"level=1&score=-1", "the score must be a number of hits from 0 to 99"},
        {"level=1&score=1e1", "the score must be a number of hits from 0 to 99"},
        {"level=1&score=2%20", "the score must be a number of hits from 0 to 99"},
        {"level=1&score=", "the score must be a number of hits from 0 to 99"},
        {"level=1&score=99999999999999999999", "the score must be a number of hits from 0 to 99"},
        {"level=1&score=1&aria=Atlantis", "the area is not one of the game's areas"},
        {"level=1&score=1&aria=japan", "the area is not one of the game's areas"},
        {"level=1&score=1&aria=Japan%20", "the area is not one of the game's areas"},
        {valid + "&pad=" + std::string(2049 - valid.size() - 5, 'x'),
         "the request is longer than 2 KiB"},
    };
    for (const auto& [query, problem] : cases) {
        SCOPED_TRACE(query.substr(0, 80));
        EXPECT_EQ(problem, ReadScoreRequest(query).problem);
    }
    EXPECT_EQ(
        "", ReadScoreRequest(valid + "&pad=" + std::string(2048 - valid.size() - 5, 'x')).problem);
}

TEST(PlayerName, KeepsUtf8ReadsShiftJisAndDropsControls) {
    const std::pair<std::string, std::string> cases[] = {
        {"Kel", "Kel"},
        {"剣士", "剣士"},
        {"\x8c\x95\x8e\x6d", "剣士"},        // CP932 from a Japanese Windows
        {"\x83\x4c\x83\x8b\xb1", "キルｱ"},   // with a half-width katakana
        {"\x8c\x95\\", "剣\\"},              // code page 932's 0x5C is a backslash
        {"\x80Kel\x8c", "Kel"},              // stray and cut-off bytes go
        {"a\001b\tc\177d\r\n", "abcd"},      // C0 and DEL
        {"a\302\205b\302\237c", "abc"},      // C1 in UTF-8
        {"a\302\240b", "a\302\240b"},        // no-break space is no control
        {std::string("剣\0士", 7), "剣士"},  // a NUL does not make it Shift-JIS
        {"  Kel \xe3\x80\x80", "Kel"},       // blanks at the ends, ideographic too
        {"   ", ""},
        {"", ""},
    };
    for (const auto& [bytes, name] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name, CleanPlayerName(bytes));
    }
}

TEST(PlayerName, IsCutToThirtyTwoCharactersNeverInsideOne) {
    const std::pair<std::string, std::string> cases[] = {
        {Repeat("a", 40), Repeat("a", 32)},
        {Repeat("剣", 40), Repeat("剣", 32)},
        {Repeat("😀", 33), Repeat("😀", 32)},
        {"x" + Repeat("é", 40), "x" + Repeat("é", 31)},
        {Repeat("\x8c\x95", 40), Repeat("剣", 32)},
        {Repeat("\x01", 10) + Repeat("a", 32) + "b", Repeat("a", 32)},
        {Repeat("a", 31) + " b", Repeat("a", 31)},  // the cut leaves no blank at the end
    };
    for (const auto& [bytes, name] : cases) {
        SCOPED_TRACE(bytes.substr(0, 12));
        EXPECT_EQ(name, CleanPlayerName(bytes));
    }
}

TEST(ListingQuery, ReadsLevelAreaAndLimit) {
    struct Case {
        std::string query;
        std::vector<int> levels;
        std::string area;
        int limit;
    };
    const Case cases[] = {
        {"", {3, 2, 1}, "", 100},
        {"level=2", {2}, "", 100},
        {"level=2&level=1", {2}, "", 100},
        {"aria=Sri%20Lanka&limit=5", {3, 2, 1}, "Sri Lanka", 5},
        {"aria=&limit=100&other=x", {3, 2, 1}, "", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        server::Listing listing = ReadListing(c.query);
        EXPECT_EQ("", listing.problem);
        EXPECT_EQ(c.levels, listing.levels);
        EXPECT_EQ(c.area, listing.area);
        EXPECT_EQ(c.limit, listing.limit);
    }
    for (const char* bad : {"level=0", "level=4", "level=x", "level=", "aria=Atlantis",
                            "aria=Sri+Lanka", "limit=0", "limit=101", "limit=-1", "limit=1000"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE("", ReadListing(bad).problem);
    }
}

}  // namespace
