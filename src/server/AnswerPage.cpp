#include "server/AnswerPage.h"

#include "server/PageText.h"

namespace server {

namespace {

std::string Page(const std::string& title, const std::string& lines) {
    // The markers are indented: at the first position of a line the game
    // does not take them for markers.
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           title + "</title>\n</head>\n<body>\n<main>\n  <!-- DATA_START -->\n" + lines +
           "  <!-- DATA_END -->\n</main>\n</body>\n</html>\n";
}

// A name holding a marker would end the game's reading early (or hide the
// line): the thanks go without the name then.
bool HoldsMarker(const std::string& name) {
    return name.find("DATA_START") != std::string::npos ||
           name.find("DATA_END") != std::string::npos;
}

}  // namespace

std::string RegisteredPage(const NewScore& score, const Standing& standing) {
    std::string thanks = score.name.empty() || HoldsMarker(score.name)
                             ? "Thank you."
                             : "Thank you, " + HtmlEscape(score.name) + ".";
    std::string result = LevelName(score.level) + ", " + HitsText(score.hits) + ": rank " +
                         std::to_string(standing.rank) + " of " + std::to_string(standing.total) +
                         ".";
    // One line, "<P>" between the sentences: the game turns it into a line
    // break, where a line end of its own would add an empty line as well.
    return Page("Score registered", thanks + "<P>" + result + "\n");
}

std::string RefusedPage(const std::string& reason) {
    return Page("Score not registered", "The score was not registered: " + reason + ".\n");
}

}  // namespace server
