#pragma once
// "Update": hands over to the updater program that lies beside the game
// ("FetchUpdate.exe" in the asset base directory); the game then ends so that
// its files can be replaced.
#include <string>
#include <vector>

#include "platform/sys/Shell.h"

// The updater's three switches, in this order, each one argument with no
// quoting: "/FILE=" + file, "/SERVER_PATH=" + serverPath, "/APPTITLE=" +
// appTitle.
std::vector<std::string> UpdaterArguments(const std::string& file, const std::string& serverPath,
                                          const std::string& appTitle);

// Starts the updater without waiting (it inherits the working directory).
// Whether or not it started, the caller ends the game the orderly way, with
// the settings saved.
void LaunchUpdater(platform::Shell& shell, const std::string& baseDir, const std::string& file,
                   const std::string& serverPath, const std::string& appTitle);
