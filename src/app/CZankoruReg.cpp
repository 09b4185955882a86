#include "app/CZankoruReg.h"

#include "platform/files/SettingsFile.h"

// The values lie in the application's own key: the empty section.
void CZankoruReg::Load() {
    aria = platform::GetProfileString("", "aria", "");
    name = platform::GetProfileString("", "name", "");
}

// Both values in one write: the file never holds a new area with an old name.
void CZankoruReg::Save() {
    platform::WriteProfileStrings("", {{"aria", aria}, {"name", name}});
}
