#pragma once
// How the game's sound stream introduces itself to the desktop's sound
// server: named and classed, so its volume control lists "ZankoruC" as a game
// and a player can balance it against the screen reader, and with the buffer
// it needs to play without breaking up.
#include <string>
#include <vector>

namespace platform {

// Sets the properties PulseAudio (PULSE_PROP) and PipeWire (PIPEWIRE_PROPS)
// read from the environment when a stream is made: the application's name,
// id and icon and the "game" media role; and the latency PulseAudio's client
// library asks the server for (PULSE_LATENCY_MSEC). A variable the player
// already set is left as it is. Call it at start, before any thread exists: it changes the
// process's environment.
void PrepareSoundServerEnvironment();

// The variables PrepareSoundServerEnvironment set (not those the player set). A
// program the game starts (a browser, the updater) should not carry them, or
// its own sound would be listed as the game's.
const std::vector<std::string>& SoundServerVariablesSet();

}  // namespace platform
