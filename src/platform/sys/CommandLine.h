#pragma once
// The game's command line: --help, --version and --data-dir DIR. Without
// options the game behaves as it always has.
#include <string>

namespace platform {

struct GameOptions {
    // 0 or more: the program ends at once with this status (0 after
    // --version, 2 after an unknown option or a stray argument, with the
    // reason on standard error). -1: the game runs.
    int exitStatus = -1;
    std::string dataDirectory;  // --data-dir, "" when not given
};

// Reads the options; --help prints them and ends the process with status 0.
GameOptions ReadGameOptions(int argc, char** argv, const std::string& version);

}  // namespace platform
