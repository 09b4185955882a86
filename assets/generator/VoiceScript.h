#pragma once
// The voice script (voices.txt): which clip says what in which voice.
#include <string>
#include <vector>

namespace assets {

struct ScriptLine {
    std::string clip;   // file name under the game directory, without ".snz"
    std::string voice;  // a voice profile, or "@fanfare"
    std::string text;
    int lineNumber = 0;
};

// One clip made of the lines that share its name, in script order.
struct ScriptClip {
    std::string clip;
    std::vector<ScriptLine> parts;
};

// Reads the script; blank lines and lines starting with '#' are skipped.
// False (with `error` set) on a line that has not three fields or an empty
// name, or on a name that comes back after other clips.
bool ReadVoiceScript(const std::string& path, std::vector<ScriptClip>& clips, std::string& error);

}  // namespace assets
