#include "app/CZankoruReg.h"

#include "platform/files/SettingsFile.h"

// The values lie in the application's own key: the empty section.
void CZankoruReg::Load() {
    aria = platform::GetProfileString("", "aria", "");
    name = platform::GetProfileString("", "name", "");
}

void CZankoruReg::Save() {
    platform::WriteProfileString("", "aria", aria);
    platform::WriteProfileString("", "name", name);
}
