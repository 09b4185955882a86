#include "ranking/LaunchUpdater.h"

#include "app/CZankoruCDlg.h"
#include "platform/files/AssetPath.h"
#include "platform/ui/MainWindow.h"
#include "platform/sys/Shell.h"

std::vector<std::string> UpdaterArguments(const std::string& file, const std::string& serverPath,
                                          const std::string& appTitle) {
    return {"/FILE=" + file, "/SERVER_PATH=" + serverPath, "/APPTITLE=" + appTitle};
}

void LaunchUpdater(CZankoruCDlg* window, const std::string& file, const std::string& serverPath,
                   const std::string& appTitle) {
    std::string program = window->baseDir + "\\FetchUpdate.exe";
    // The asset lookup finds the program whatever the letter case of its name.
    std::string found = platform::FindAssetFile(program);
    platform::StartProgram(found.empty() ? program : found,
                           UpdaterArguments(file, serverPath, appTitle));
    // Whether or not it started, the game ends.
    platform::PostQuitMessage(0);
}
