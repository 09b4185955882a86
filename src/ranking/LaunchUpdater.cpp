#include "ranking/LaunchUpdater.h"

#include "platform/files/AssetPath.h"

std::vector<std::string> UpdaterArguments(const std::string& file, const std::string& serverPath,
                                          const std::string& appTitle) {
    return {"/FILE=" + file, "/SERVER_PATH=" + serverPath, "/APPTITLE=" + appTitle};
}

void LaunchUpdater(platform::Shell& shell, const std::string& baseDir, const std::string& file,
                   const std::string& serverPath, const std::string& appTitle) {
    std::string program = baseDir + "\\FetchUpdate.exe";
    // The asset lookup finds the program whatever the letter case of its name.
    std::string found = platform::FindAssetFile(program);
    shell.StartProgram(found.empty() ? program : found,
                       UpdaterArguments(file, serverPath, appTitle));
}
