#pragma once
// How the game's sound stream is named and classed on the desktop's sound
// server, so its volume control lists "ZankoruC" as a game and a player can
// balance it against the screen reader.
#include <string>
#include <vector>

namespace platform {

// Sets the properties PulseAudio (PULSE_PROP) and PipeWire (PIPEWIRE_PROPS)
// read from the environment when a stream is made: the application's name,
// id and icon and the "game" media role. A variable the player already set is
// left as it is. Call it at start, before any thread exists: it changes the
// process's environment.
void NameGameForSoundServers();

// The variables NameGameForSoundServers set (not those the player set). A
// program the game starts (a browser, the updater) should not carry them, or
// its own sound would be listed as the game's.
const std::vector<std::string>& SoundServerVariablesSet();

}  // namespace platform
