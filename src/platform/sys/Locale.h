#pragma once
// The program's C locale: the player's language and character set from the
// environment (LANG, LC_ALL, LC_*), so that text GLib and GTK write, such as
// --help, comes in the player's encoding. Numbers are always written and read
// the C way ("1.5"): LC_NUMERIC stays "C".

namespace platform {

// Called first in main, before any option is read and before GTK starts
// (which is kept from setting the locale again; see OpenDisplay).
void UseEnvironmentLocale();

}  // namespace platform
