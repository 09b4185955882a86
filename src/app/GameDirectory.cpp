#include "app/GameDirectory.h"

#include <filesystem>

#include "manifest/AssetManifest.h"
#include "platform/files/AssetPath.h"
#include "shared/DisplayText.h"

bool HoldsGameFiles(const std::string& directory) {
    return !directory.empty() &&
           !platform::FindAssetFile(directory + manifest::MenuClips()[manifest::kMenuTitle])
                .empty();
}

GameDirectorySearch FindGameDirectory(const std::string& namedDirectory,
                                      const std::string& currentDirectory,
                                      const std::string& executableDirectory) {
    GameDirectorySearch search;
    if (!namedDirectory.empty()) {
        search.lookedIn.push_back(namedDirectory);
    } else {
        search.lookedIn.push_back(currentDirectory);
        if (!executableDirectory.empty()) {
            std::filesystem::path bin(executableDirectory);
            search.lookedIn.push_back((bin / ".." / "share" / "zankoruc").lexically_normal());
            search.lookedIn.push_back((bin / "game").lexically_normal());
        }
    }
    for (std::string& place : search.lookedIn) {
        while (place.size() > 1 && place.back() == '/') {
            place.pop_back();  // the asset names bring their own separator
        }
        if (search.found.empty() && HoldsGameFiles(place)) {
            search.found = place;
        }
    }
    return search;
}

std::string GameFilesMissingMessage(const GameDirectorySearch& search) {
    std::string message = "The game's sounds were not found. Looked in:";
    for (const std::string& place : search.lookedIn) {
        message += "\n" + (place.empty() ? std::string("(the current directory is unreadable)")
                                         : DisplayText(place));
    }
    return message;
}
