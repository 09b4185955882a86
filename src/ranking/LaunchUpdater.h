#pragma once
// "Update": hands over to the updater program that lies beside the game
// ("FetchUpdate.exe" in the asset base directory) and ends the game, so that
// its files can be replaced.
#include <string>
#include <vector>

class CZankoruCDlg;

// The updater's three switches, in this order, each one argument with no
// quoting: "/FILE=" + file, "/SERVER_PATH=" + serverPath, "/APPTITLE=" +
// appTitle.
std::vector<std::string> UpdaterArguments(const std::string& file, const std::string& serverPath,
                                          const std::string& appTitle);

// Starts the updater without waiting (it inherits the working directory),
// then posts the quit request: the window is destroyed as usual and the
// settings are saved. A missing or failing updater changes nothing of that.
void LaunchUpdater(CZankoruCDlg* window, const std::string& file, const std::string& serverPath,
                   const std::string& appTitle);
