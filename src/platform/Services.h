#pragma once
// The services the game takes from the system. The program makes the real ones
// (platform::DesktopServices) and hands them to the game window when it is
// made; the window hands them on to its scenes, the sound players and the
// ranking code. Tests hand in fakes instead, so a whole duel runs with a clock
// moved by hand, a chosen random sequence, an audio output that records every
// sound started, and no display, sound card or network.
#include "platform/audio/AudioOutput.h"
#include "platform/net/HttpClient.h"
#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"
#include "platform/sys/Shell.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/MessageBox.h"

namespace platform {

struct Services {
    Clock& clock;
    Random& random;
    AudioOutput& audio;
    MessageBoxes& messages;
    Shell& shell;
    Dialogs& dialogs;
    HttpClient& http;
};

}  // namespace platform
