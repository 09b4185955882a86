#include "platform/AssetPath.h"

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

// The entry of `directory` named `name`, exactly or else ignoring ASCII case.
std::string FindEntry(const std::string& directory, const std::string& name) {
    std::string exact = directory + "/" + name;
    if (Exists(exact)) {
        return exact;
    }
    DIR* dir = opendir(directory.empty() ? "/" : directory.c_str());
    if (dir == nullptr) {
        return "";
    }
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = directory + "/" + entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::string FindAssetFile(const std::string& assetPath) {
    size_t split = assetPath.find('\\');
    if (split == std::string::npos) {
        return Exists(assetPath) ? assetPath : "";
    }
    std::string path = assetPath.substr(0, split);
    for (const std::string& component : SplitComponents(assetPath.substr(split))) {
        if (component == "." || component == "..") {
            path += "/" + component;  // walked as written, like the original did
            continue;
        }
        path = FindEntry(path, component);
        if (path.empty()) {
            return "";
        }
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return "";
    }
    return path;
}

}  // namespace platform
