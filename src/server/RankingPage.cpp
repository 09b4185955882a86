#include "server/RankingPage.h"

#include "server/Listing.h"
#include "server/PageText.h"

namespace server {

namespace {

const char kRankingPath[] = "/game/zankoru/GameResult.asp";

// Light grey on near black: contrast above 15:1, the captions and borders
// still above 7:1 where they carry text.
const char kStyle[] =
    ":root{color-scheme:dark}"
    "body{margin:0 auto;max-width:56rem;padding:1rem;background:#121212;color:#eeeeee;"
    "font:1rem/1.5 system-ui,sans-serif}"
    "a{color:#9ccaff}"
    // Fixed columns: the three levels' tables line up, Name gets the rest.
    "table{border-collapse:collapse;width:100%;margin-bottom:1.5rem;table-layout:fixed}"
    "th:nth-child(1),th:nth-child(4){width:3.5rem}th:nth-child(3){width:9rem}"
    "th:nth-child(5){width:12rem}"
    "caption{text-align:left;padding:.25rem 0;color:#d0d0d0}"
    // A word is cut only when it alone is wider than its cell: a name of 32
    // letters without a space on a phone.
    "th,td{text-align:left;padding:.25rem .5rem;border-bottom:1px solid #5a5a5a;"
    "overflow-wrap:break-word}"
    "th{background:#242424}"
    ".n{text-align:right;font-variant-numeric:tabular-nums}"
    // Too narrow for five columns: each row a block, each cell a line after
    // the label of its column. The headers stay in the table for screen
    // readers, which read each cell with its header and skip the label.
    "@media (max-width:45rem){"
    "table,caption,tbody,tr{display:block}"
    "th[scope]{position:absolute;width:1px;height:1px;padding:0;overflow:hidden;"
    "clip-path:inset(50%);white-space:nowrap}"
    "tr{border-bottom:1px solid #5a5a5a;padding:.25rem 0}"
    "td{display:block;position:relative;border:0;padding:0 .5rem 0 5rem}"
    "td::before{position:absolute;left:.5rem;color:#d0d0d0}"
    "td:nth-child(1)::before{content:\"Rank\"/\"\"}td:nth-child(2)::before{content:\"Name\"/\"\"}"
    "td:nth-child(3)::before{content:\"Area\"/\"\"}td:nth-child(4)::before{content:\"Hits\"/\"\"}"
    "td:nth-child(5)::before{content:\"Date\"/\"\"}"
    "td[colspan]{padding-left:.5rem}td[colspan]::before{content:none}"
    ".n{text-align:left}}";

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           title + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<main>\n";
}

const char kTail[] = "</main>\n</body>\n</html>\n";

std::string Row(int64_t rank, const StoredScore& score) {
    std::string date = UtcTimestamp(score.createdAt);
    return "<tr><td class=\"n\">" + std::to_string(rank) + "</td><td>" +
           HtmlEscape(ShownName(score.name)) + "</td><td>" +
           HtmlEscape(score.area.empty() ? "-" : score.area) + "</td><td class=\"n\">" +
           std::to_string(score.hits) + "</td><td><time datetime=\"" + date + "\">" + date +
           "</time></td></tr>\n";
}

std::string Section(const LevelScores& level, const std::string& area) {
    std::string name = LevelName(level.level);
    std::string id = "level-" + std::to_string(level.level);
    std::string html =
        "<section aria-labelledby=\"" + id + "\">\n<h2 id=\"" + id + "\">" + name + "</h2>\n";
    std::string where = area.empty() ? "" : ", " + HtmlEscape(area);
    html += "<table>\n<caption>" + name + where +
            ": fewest hits first</caption>\n<thead><tr><th scope=\"col\" class=\"n\">Rank</th>"
            "<th scope=\"col\">Name</th><th scope=\"col\">Area</th>"
            "<th scope=\"col\" class=\"n\">Hits</th><th scope=\"col\">Date</th></tr></thead>\n"
            "<tbody>\n";
    // An empty level keeps its table, with one row saying so: every level
    // reads alike to a screen reader.
    if (level.scores.empty()) {
        html += "<tr><td colspan=\"5\">No scores yet.</td></tr>\n";
    }
    std::vector<int64_t> ranks = SharedRanks(level.scores);
    for (size_t i = 0; i < level.scores.size(); ++i) {
        html += Row(ranks[i], level.scores[i]);
    }
    return html + "</tbody>\n</table>\n</section>\n";
}

}  // namespace

std::string RankingPage(const std::vector<LevelScores>& levels, const std::string& area) {
    std::string title = area.empty() ? "ZankoruC ranking" : "ZankoruC ranking: " + HtmlEscape(area);
    std::string html = Head(title) + "<h1>" + title + "</h1>\n" + "<p>The best " +
                       std::to_string(kMaxListed) +
                       " of each level, fewest hits taken first; equal hits share a rank. "
                       "Dates are UTC.</p>\n";
    for (const LevelScores& level : levels) {
        html += Section(level, area);
    }
    if (levels.size() == 1 || !area.empty()) {
        html += "<p><a href=\"" + std::string(kRankingPath) + "\">Every level and area</a></p>\n";
    }
    return html + kTail;
}

std::string MessagePage(const std::string& heading, const std::string& sentence) {
    return Head(heading) + "<h1>" + heading + "</h1>\n<p>" + sentence + "</p>\n<p><a href=\"" +
           kRankingPath + "\">The ranking</a></p>\n" + kTail;
}

std::string ScoresJson(const LevelScores& level) {
    std::string json = "{\"level\":" + std::to_string(level.level) + ",\"scores\":[";
    std::vector<int64_t> ranks = SharedRanks(level.scores);
    for (size_t i = 0; i < level.scores.size(); ++i) {
        const StoredScore& score = level.scores[i];
        json += std::string(i > 0 ? "," : "") + "{\"rank\":" + std::to_string(ranks[i]) +
                ",\"name\":" + JsonQuote(score.name) + ",\"area\":" + JsonQuote(score.area) +
                ",\"hits\":" + std::to_string(score.hits) +
                ",\"date\":" + JsonQuote(UtcTimestamp(score.createdAt)) + "}";
    }
    return json + "]}";
}

std::string ErrorJson(const std::string& sentence) {
    return "{\"error\":" + JsonQuote(sentence) + "}";
}

}  // namespace server
