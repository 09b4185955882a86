#include "platform/files/SettingsFile.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

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
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        // First run: the file appears with its (empty) group. An existing file is never rewritten
        // here, even when it cannot be read: only a save replaces it.
        std::string header = std::string("[") + GroupOf(section) + "]\n";
        g_file_set_contents(path.c_str(), header.c_str(), static_cast<gssize>(header.size()),
                            nullptr);
        return defaultValue;
    }
    GKeyFile* file = g_key_file_new();
    std::string result = defaultValue;
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
        gchar* raw = g_key_file_get_value(file, GroupOf(section), entry.c_str(), nullptr);
        if (raw != nullptr) {
            result = UnescapeSettingValue(raw);
            g_free(raw);
        }
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
    if (!g_key_file_load_from_file(file, path.c_str(), static_cast<GKeyFileFlags>(flags),
                                   nullptr)) {
        // Missing or corrupt: start a fresh file.
        g_key_file_free(file);
        file = g_key_file_new();
    }
    for (const auto& [entry, value] : entries) {
        std::string text = EscapeSettingValue(value);
        g_key_file_set_value(file, GroupOf(section), entry.c_str(), text.c_str());
    }
    // g_key_file_save_to_file writes a temporary file and renames it over the
    // old one.
    bool saved = g_key_file_save_to_file(file, path.c_str(), nullptr) != FALSE;
    g_key_file_free(file);
    return saved;
}

}  // namespace platform
