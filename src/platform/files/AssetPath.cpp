#include "platform/files/AssetPath.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace platform {
namespace {

std::vector<std::string> SplitComponents(const std::string& relative) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : relative) {
        if (c == '\\' || c == '/') {
            if (!current.empty()) {
                parts.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        parts.push_back(current);
    }
    return parts;
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The entries of `directory` named `name`: the exact name first, then those
// that differ from it in ASCII letter case only.
std::vector<std::string> MatchingEntries(const std::string& directory, const std::string& name) {
    std::vector<std::string> matches;
    if (Exists(directory + "/" + name)) {
        matches.push_back(directory + "/" + name);
    }
    DIR* dir = opendir(directory.empty() ? "/" : directory.c_str());
    if (dir == nullptr) {
        return matches;
    }
    while (dirent* entry = readdir(dir)) {
        if (name != entry->d_name && strcasecmp(entry->d_name, name.c_str()) == 0) {
            matches.push_back(directory + "/" + entry->d_name);
        }
    }
    closedir(dir);
    return matches;
}

// Walks the components from `index` on below `path`. Two folders may differ
// only in case ("sound" and "Sound"), so each match is tried in turn until
// one leads to a file.
std::string Walk(const std::string& path, const std::vector<std::string>& components,
                 size_t index) {
    if (index == components.size()) {
        return IsRegularFile(path) ? path : "";
    }
    const std::string& component = components[index];
    if (component == "." || component == "..") {
        return Walk(path + "/" + component, components, index + 1);
    }
    for (const std::string& match : MatchingEntries(path, component)) {
        std::string found = Walk(match, components, index + 1);
        if (!found.empty()) {
            return found;
        }
    }
    return "";
}

}  // namespace

std::string FindAssetFile(const std::string& assetPath) {
    size_t split = assetPath.find('\\');
    if (split == std::string::npos) {
        return IsRegularFile(assetPath) ? assetPath : "";
    }
    return Walk(assetPath.substr(0, split), SplitComponents(assetPath.substr(split)), 0);
}

}  // namespace platform
