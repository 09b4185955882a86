#pragma once
// The per-user store of the program's profile strings: a GLib key file at
// $XDG_CONFIG_HOME/<company>/<application name>.ini (~/.config when the
// variable is unset). The values of the empty section, the program's own,
// lie in one group of the file.
//
// Every value round-trips byte for byte (spaces at either end, newlines,
// '=', '#', '[', ';', non-ASCII, even bytes that are not UTF-8). Writing
// replaces the file atomically, so a crash or a full disk never leaves a
// half-written file behind.
//
// A damaged file is read for all it holds: a byte-order mark and a line the
// key file parser refuses are skipped. A file over 64 KiB is not read at all
// (standard error names it) and gives the defaults. The first save after
// either keeps the file as it was beside it, as "<name>.ini.bad". A path
// that is no regular file (a FIFO, a device) reads as no settings and is never
// written over.
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The company folder ("velkor"); set once by the application object at start.
void SetSettingsCompany(const std::string& company);
// The key file of this program for the current user.
std::string SettingsFilePath();

// The value of `entry`, or `defaultValue` when the file, the entry or the
// file's contents are missing, unreadable or corrupt. Creates the folder and,
// when there is no file yet, an empty one, so a player finds where the
// settings live from the first run. A file that exists is never touched; the
// temporary files of saves killed long ago are removed.
std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue);
// Sets `entry` to `value` and saves the file; a damaged file is first kept as
// "<name>.ini.bad" (replacing an older one).
// False when the file could not be written.
bool WriteProfileString(const std::string& section, const std::string& entry,
                        const std::string& value);
// Sets several entries (entry, value) in one replacement of the file: it
// holds all of them or, should the write fail, none.
bool WriteProfileStrings(const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& entries);

// The key file's text form of a value and back (GLib's escapes, plus \xHH for
// bytes that are not UTF-8 or are control characters, and \s for spaces at
// either end).
std::string EscapeSettingValue(const std::string& value);
std::string UnescapeSettingValue(const std::string& text);

}  // namespace platform
