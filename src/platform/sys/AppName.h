#pragma once
// The application name: the executable's file name without its extension
// ("zankoruc" for the game). It names the settings file and is the caption of
// the program's message boxes.
#include <string>

namespace platform {

std::string ApplicationName();

// The desktop's name for the game, reverse-DNS. It names the desktop entry,
// the AppStream metadata and the icon, and the window carries it (X11
// WM_CLASS, Wayland app_id) so the desktop can match the running window to
// them. Set at build time from the one CMake variable ZANKORUC_APP_ID.
extern const char kApplicationId[];

// The folder the executable lies in, without a trailing separator; "" when
// it cannot be found.
std::string ExecutableDirectory();

// The working directory, whatever its length, without a trailing separator;
// "" when it is gone or unreadable.
std::string CurrentDirectory();

// The file name of `path` without its directory and without its last
// extension ("/usr/games/zankoruc.bin" gives "zankoruc").
std::string BaseNameWithoutExtension(const std::string& path);

}  // namespace platform
