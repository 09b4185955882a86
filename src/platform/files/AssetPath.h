#pragma once
// Asset paths arrive as the base directory followed by a relative name written
// with backslashes ("/home/me/game\sound\opning.snz"). The packs were made on a
// case-insensitive file system and differ in letter case, so the relative part
// is looked up one component at a time, ignoring case; the base directory is
// taken as it stands.
#include <string>

namespace platform {

// The path of the file that exists for `assetPath`, or "" when there is none.
// The relative part starts at the first backslash; an exact match of a
// component wins over a match that differs only in case.
std::string FindAssetFile(const std::string& assetPath);

}  // namespace platform
