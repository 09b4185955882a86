#include "VoiceScript.h"

#include <fstream>

namespace assets {
namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r";
    size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos) {
        return "";
    }
    size_t end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

}  // namespace

bool ReadVoiceScript(const std::string& path, std::vector<ScriptClip>& clips, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    clips.clear();
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        size_t first = line.find('|');
        size_t second = first == std::string::npos ? first : line.find('|', first + 1);
        if (second == std::string::npos) {
            error = path + ":" + std::to_string(lineNumber) + ": expected name | voice | text";
            return false;
        }
        ScriptLine entry{Trim(line.substr(0, first)),
                         Trim(line.substr(first + 1, second - first - 1)),
                         Trim(line.substr(second + 1)), lineNumber};
        if (entry.clip.empty() || entry.voice.empty()) {
            error = path + ":" + std::to_string(lineNumber) + ": empty name or voice";
            return false;
        }
        if (!clips.empty() && clips.back().clip == entry.clip) {
            clips.back().parts.push_back(entry);
            continue;
        }
        for (const ScriptClip& earlier : clips) {
            if (earlier.clip == entry.clip) {
                error = path + ":" + std::to_string(lineNumber) + ": " + entry.clip +
                        " continues after other clips";
                return false;
            }
        }
        clips.push_back({entry.clip, {entry}});
    }
    return true;
}

}  // namespace assets
