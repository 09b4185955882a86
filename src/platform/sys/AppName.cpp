#include "platform/sys/AppName.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace platform {

const char kApplicationId[] = ZANKORUC_APP_ID;

std::string BaseNameWithoutExtension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A leading dot starts a hidden file's name, not an extension.
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

namespace {

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return "";
    }
    std::string path(buffer, static_cast<size_t>(length));
    // The kernel marks an executable replaced while running (a rebuild).
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
        path.resize(path.size() - deleted.size());
    }
    return path;
}

}  // namespace

std::string ExecutableDirectory() {
    std::string path = ExecutablePath();
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(512);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return "";  // gone or unreadable: every asset is then missing
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string directory = buffer.data();
    while (!directory.empty() && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

std::string ApplicationName() {
    std::string name = BaseNameWithoutExtension(ExecutablePath());
    return name.empty() ? "zankoruc" : name;
}

}  // namespace platform
