#include "app/CZankoruReg.h"

#include "platform/files/SettingsFile.h"
#include "shared/DisplayText.h"

// The values lie in the application's own key: the empty section. The file
// is the player's to edit (or an older version's, in Shift-JIS): its bytes
// are read as text here, before the name box shows them.
void CZankoruReg::Load() {
    aria = DisplayText(platform::GetProfileString("", "aria", ""));
    name = DisplayText(platform::GetProfileString("", "name", ""));
}

// Both values in one write: the file never holds a new area with an old name.
void CZankoruReg::Save() {
    platform::WriteProfileStrings("", {{"aria", aria}, {"name", name}});
}
