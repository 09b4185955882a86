#include "platform/files/SettingsFile.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/sys/AppName.h"

namespace platform {
namespace {

std::mutex companyMutex;
std::string company;

// The empty section is the program's own; a key file needs a group name for
// it.
const char* GroupOf(const std::string& section) {
    return section.empty() ? "settings" : section.c_str();
}

std::string ConfigHome() {
    // Read the variable each time: GLib's g_get_user_config_dir() caches it.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        if (passwd* entry = getpwuid(getuid())) {
            home = entry->pw_dir;
        }
    }
    return std::string(home != nullptr ? home : "") + "/.config";
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void AppendHex(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Length of the valid UTF-8 sequence at `p` (2 to 4 bytes), or 0.
size_t Utf8SequenceLength(const char* p, size_t remaining) {
    gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(remaining));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
        return 0;
    }
    return static_cast<size_t>(g_utf8_skip[static_cast<unsigned char>(*p)]);
}

// A name and an area take a few hundred bytes. A file past this size is
// nothing we wrote: it is not read at all (every line of it would be parsed
// on its own, a long start for megabytes of short lines), and counts as
// damaged, so the first save keeps it aside.
constexpr size_t kLargestFile = size_t{64} << 10;

enum class Stored {
    Missing,   // no file yet
    Whole,     // every line was read
    Damaged,   // lines or the whole file could not be read: a save keeps it as ".bad" first
    NotAFile,  // a FIFO, device or folder: read as no settings, never written over
};

bool KeyFileAccepts(const std::string& text) {
    GKeyFile* probe = g_key_file_new();
    bool accepted = g_key_file_load_from_data(probe, text.data(), text.size(), G_KEY_FILE_NONE,
                                              nullptr) != FALSE;
    g_key_file_free(probe);
    return accepted;
}

// Whether GLib's parser takes `line` where it stands; each line is tried on
// its own, so one bad line costs only itself.
bool LineIsReadable(std::string_view line, bool& inGroup) {
    size_t first = 0;
    while (first < line.size() && g_ascii_isspace(line[first])) {
        ++first;
    }
    bool blankOrComment = first == line.size() || line[first] == '#';
    if (!blankOrComment && line[first] == '[') {
        bool group = KeyFileAccepts(std::string(line));
        inGroup = inGroup || group;
        return group;
    }
    if (!blankOrComment && !inGroup) {
        return false;  // a key before any group
    }
    return KeyFileAccepts("[probe]\n" + std::string(line));
}

// The file's text without a leading byte-order mark and without the lines the
// key file parser would refuse. `lost` is set when a line was left out.
std::string ReadableLines(const std::string& text, bool& lost) {
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::string kept;
    bool inGroup = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string_view line(text.data() + start, next - start);
        if (LineIsReadable(line, inGroup)) {
            kept.append(line);
        } else {
            lost = true;
        }
        start = next;
    }
    return kept;
}

// Said on standard error, once for each oversized file the run meets: every
// value read would otherwise say it again.
void ReportOversized(const std::string& path, uint64_t bytes) {
    static std::string reportedPath;
    static uint64_t reportedBytes = 0;
    {
        std::lock_guard<std::mutex> lock(companyMutex);
        if (reportedPath == path && reportedBytes == bytes) {
            return;
        }
        reportedPath = path;
        reportedBytes = bytes;
    }
    std::fprintf(stderr,
                 "%s: the settings file %s holds %llu bytes, more than the %zu a settings file "
                 "may hold; it is not read, the game starts with its default settings, "
                 "and the file is kept as %s.bad when the settings are next saved.\n",
                 ApplicationName().c_str(), path.c_str(), static_cast<unsigned long long>(bytes),
                 kLargestFile, path.c_str());
}

// Reads the settings file into `file` (which must be empty), keeping all it
// can of a damaged one.
Stored LoadSettings(const std::string& path, GKeyFile* file, GKeyFileFlags flags) {
    // Non-blocking, so a FIFO without a writer cannot hold up the start.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            return Stored::NotAFile;  // e.g. a socket, which cannot be opened
        }
        return errno == ENOENT ? Stored::Missing : Stored::Damaged;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Stored::NotAFile;
    }
    if (static_cast<uint64_t>(info.st_size) > kLargestFile) {
        close(fd);
        ReportOversized(path, static_cast<uint64_t>(info.st_size));
        return Stored::Damaged;
    }
    // One byte past the limit tells a file that grew since fstat.
    std::string text(kLargestFile + 1, '\0');
    size_t filled = 0;
    bool lost = false;
    while (filled < text.size()) {
        ssize_t count = read(fd, text.data() + filled, text.size() - filled);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            lost = count < 0;
            break;
        }
        filled += static_cast<size_t>(count);
    }
    close(fd);
    text.resize(filled);
    if (filled > kLargestFile) {
        ReportOversized(path, filled);
        return Stored::Damaged;
    }
    if (lost) {
        // The last line read may be cut short.
        size_t lastNewline = text.rfind('\n');
        text.resize(lastNewline == std::string::npos ? 0 : lastNewline + 1);
    }
    std::string kept = ReadableLines(text, lost);
    if (!g_key_file_load_from_data(file, kept.data(), kept.size(), flags, nullptr)) {
        return Stored::Damaged;  // nothing was loaded
    }
    return lost ? Stored::Damaged : Stored::Whole;
}

// A save killed between writing its temporary file ("<name>.ini.XXXXXX", six
// letters or digits, GLib's pattern) and renaming it leaves that file behind
// for good. Only those older than this are taken: a second copy of the game
// may be in the middle of its own save, and losing its temporary would lose
// that save. A save of a few lines takes far less.
constexpr gint64 kStaleTemporarySeconds = 30;

void RemoveStaleTemporaries(const std::string& path) {
    // Once per run (per settings path): every value read would otherwise list
    // the folder again.
    static std::string cleanedPath;
    {
        std::lock_guard<std::mutex> lock(companyMutex);
        if (cleanedPath == path) {
            return;
        }
        cleanedPath = path;
    }
    std::string folder = DirectoryOf(path);
    std::string prefix = path.substr(folder.size() + 1) + ".";
    GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (dir == nullptr) {
        return;
    }
    gint64 now = g_get_real_time() / G_USEC_PER_SEC;
    while (const gchar* name = g_dir_read_name(dir)) {
        std::string_view entry(name);
        if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        bool ours = true;
        for (char c : entry.substr(prefix.size())) {
            ours = ours && g_ascii_isalnum(c);
        }
        std::string temporary = folder + "/" + name;
        GStatBuf info;
        if (ours && g_lstat(temporary.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            now - info.st_mtime > kStaleTemporarySeconds) {
            g_unlink(temporary.c_str());
        }
    }
    g_dir_close(dir);
}

}  // namespace

void SetSettingsCompany(const std::string& name) {
    std::lock_guard<std::mutex> lock(companyMutex);
    company = name;
}

std::string SettingsFilePath() {
    std::string folder = ConfigHome();
    {
        std::lock_guard<std::mutex> lock(companyMutex);
        if (!company.empty()) {
            folder += "/" + company;
        }
    }
    return folder + "/" + ApplicationName() + ".ini";
}

std::string EscapeSettingValue(const std::string& value) {
    // Spaces at either end are escaped: key file readers may trim them.
    size_t firstKept = 0;
    while (firstKept < value.size() && value[firstKept] == ' ') {
        ++firstKept;
    }
    size_t lastKept = value.size();
    while (lastKept > firstKept && value[lastKept - 1] == ' ') {
        --lastKept;
    }
    std::string out;
    size_t i = 0;
    while (i < value.size()) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        if (c == ' ' && (i < firstKept || i >= lastKept)) {
            out += "\\s";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            AppendHex(out, c);
        } else if (c >= 0x80) {
            size_t length = Utf8SequenceLength(value.data() + i, value.size() - i);
            if (length == 0) {
                AppendHex(out, c);
            } else {
                out.append(value, i, length);
                i += length;
                continue;
            }
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

std::string UnescapeSettingValue(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        char next = text[i + 1];
        switch (next) {
            case 's':
                out += ' ';
                ++i;
                break;
            case 'n':
                out += '\n';
                ++i;
                break;
            case 'r':
                out += '\r';
                ++i;
                break;
            case 't':
                out += '\t';
                ++i;
                break;
            case '\\':
                out += '\\';
                ++i;
                break;
            case 'x':
                if (i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
                    HexDigit(text[i + 3]) >= 0) {
                    out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
                    i += 3;
                } else {
                    out += c;  // not an escape of ours: kept as written
                }
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue) {
    std::string path = SettingsFilePath();
    g_mkdir_with_parents(DirectoryOf(path).c_str(), 0700);
    RemoveStaleTemporaries(path);
    GKeyFile* file = g_key_file_new();
    std::string result = defaultValue;
    if (LoadSettings(path, file, G_KEY_FILE_NONE) == Stored::Missing) {
        // First run: the file appears with its (empty) group. An existing file is never rewritten
        // here, even when it cannot be read: only a save replaces it.
        std::string header = std::string("[") + GroupOf(section) + "]\n";
        g_file_set_contents(path.c_str(), header.c_str(), static_cast<gssize>(header.size()),
                            nullptr);
    } else if (gchar* raw = g_key_file_get_value(file, GroupOf(section), entry.c_str(), nullptr)) {
        result = UnescapeSettingValue(raw);
        g_free(raw);
    }
    g_key_file_free(file);
    return result;
}

bool WriteProfileString(const std::string& section, const std::string& entry,
                        const std::string& value) {
    return WriteProfileStrings(section, {{entry, value}});
}

bool WriteProfileStrings(const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string path = SettingsFilePath();
    g_mkdir_with_parents(DirectoryOf(path).c_str(), 0700);
    GKeyFile* file = g_key_file_new();
    int flags = G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS;
    Stored stored = LoadSettings(path, file, static_cast<GKeyFileFlags>(flags));
    if (stored == Stored::NotAFile) {
        g_key_file_free(file);
        return false;
    }
    // What could not be read is not lost with the save: the file as it was is
    // kept beside it (the newest damaged one only).
    std::string badPath = path + ".bad";
    if (stored == Stored::Damaged && std::rename(path.c_str(), badPath.c_str()) != 0) {
        g_key_file_free(file);
        return false;
    }
    for (const auto& [entry, value] : entries) {
        std::string text = EscapeSettingValue(value);
        g_key_file_set_value(file, GroupOf(section), entry.c_str(), text.c_str());
    }
    // g_key_file_save_to_file writes a temporary file and renames it over the
    // old one.
    bool saved = g_key_file_save_to_file(file, path.c_str(), nullptr) != FALSE;
    g_key_file_free(file);
    if (!saved && stored == Stored::Damaged) {
        std::rename(badPath.c_str(), path.c_str());
    }
    return saved;
}

}  // namespace platform
