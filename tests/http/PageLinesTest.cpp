// Splitting a body into page lines.
#include <gtest/gtest.h>

#include "http/PageLines.h"

namespace {

using Lines = std::vector<std::string>;

Lines Split(const std::string& body, size_t block) {
    Lines lines;
    PageLineSplitter splitter(lines);
    for (size_t at = 0; at < body.size(); at += block) {
        splitter.Feed(body.data() + at, std::min(block, body.size() - at));
    }
    splitter.Finish();
    return lines;
}

TEST(PageLines, SplitAtLineFeedsPieceSizeAndClosedTags) {
    const size_t piece = PageLineSplitter::kMaxPieceBytes;
    const std::string full(piece, 'b');
    std::string withCr;
    for (size_t i = 0; i < piece; ++i) {
        withCr += "c\r";
    }
    const std::string tag = "<" + std::string(piece + 100, 'z');
    struct Case {
        std::string body;
        Lines lines;
    } cases[] = {
        {"DATA_START\r\n\r\ntail", {"DATA_START\n\r\n", "\n\r\n", "tail\r\n"}},
        {"a\nb\n", {"a\n\r\n", "b\n\r\n"}},
        {"a\rb\r\r\n\r\r", {"ab\n\r\n"}},  // every CR goes
        {"", {}},
        {full.substr(1) + "\n", {full.substr(1) + "\n\r\n"}},  // just fits
        {full + "\n", {full + "\r\n", "\n\r\n"}},
        {withCr + "d", {std::string(piece, 'c') + "\r\n", "d\r\n"}},  // CRs do not count
        {full + full + "e\n", {full + "\r\n", full + "\r\n", "e\n\r\n"}},
        {"<td\nalign=right>5</td>\n", {"<td\nalign=right>5</td>\n\r\n"}},
        {"x > y <b\nc>\n", {"x > y <b\nc>\n\r\n"}},
        {"<br>\na > b\n", {"<br>\n\r\n", "a > b\n\r\n"}},
        {"<a\n<b\n<c", {"<a\n<b\n<c\r\n"}},  // still open at the end
        {tag + ">\n", {tag + ">\n\r\n"}},
        {std::string("ab\0cd\nnext\n", 11), {"ab\r\n", "next\n\r\n"}},  // NUL ends the text
        {std::string("\0<\n", 3), {"\r\n"}},
    };
    for (const Case& c : cases) {
        for (size_t block : {size_t{1}, size_t{7}, size_t{4096}, c.body.size() + 1}) {
            EXPECT_EQ(c.lines, Split(c.body, block)) << c.body.substr(0, 40) << " in " << block;
        }
    }
}

}  // namespace
