#pragma once
// Where the game's sounds and pictures are. A player may start the program
// from anywhere (a desktop launcher starts it in the home folder), so the
// current directory is only the first place to look.
#include <string>
#include <vector>

struct GameDirectorySearch {
    std::string found;                  // "" when no place holds the game's files
    std::vector<std::string> lookedIn;  // every place tried, in order
};

// True when `directory` holds the game's files: the menu's title voice.
bool HoldsGameFiles(const std::string& directory);

// With a directory named on the command line, only that one. Otherwise, in
// order: the current directory (as the game has always run, from its
// directory), the installed data directory beside the executable
// (`<bin>/../share/zankoruc`, so an installed or unpacked tree works wherever
// it lies), and the build tree's `game/` beside the executable.
GameDirectorySearch FindGameDirectory(const std::string& namedDirectory,
                                      const std::string& currentDirectory,
                                      const std::string& executableDirectory);

// What the player is told when the search found nothing.
std::string GameFilesMissingMessage(const GameDirectorySearch& search);
