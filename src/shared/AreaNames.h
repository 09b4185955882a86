#pragma once
// The areas a score can be sent for, in the score dialog's display order
// ("Secret" first; the list is not sorted). The game offers them and the
// ranking server accepts only them, so both read this one list.
#include <string>

constexpr int kAreaCount = 195;

// The entry at `index` (0 to kAreaCount - 1), or "" outside the list.
const char* AreaName(int index);

// The first entry equal to `text` byte for byte (letter case counts), or -1.
int AreaIndex(const std::string& text);
