#pragma once
// The spoken clips: libespeak-ng synthesizes each text with one of the
// pack's voice profiles; the enemy's profile is then roughened.
//
// espeak-ng keeps global state and is not thread-safe: one Speaker at a time,
// used from one thread.
#include <string>

#include "Clip.h"

namespace assets {

struct VoiceProfile {
    std::string name;         // as written in the voice script
    std::string espeakVoice;  // language and variant, e.g. "en-us+m3"
    int rate = 160;           // words per minute
    int pitch = 50;           // 0..100
    int range = 50;           // 0..100, 0 = monotone
    bool rough = false;       // growl, grit and breath for the enemy
    double deepen = 1.0;      // below 1: played slower, lowering pitch and formants
};

// The profile named `name`, or null.
const VoiceProfile* FindVoiceProfile(const std::string& name);

class Speaker {
  public:
    Speaker();
    ~Speaker();
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // False when libespeak-ng could not start (no data directory).
    bool Ready() const { return outputRate > 0; }
    // True when espeak-ng-data holds the voice.
    bool HasVoice(const std::string& espeakVoice);

    // The text spoken by the profile at the pack's rate, leading and trailing
    // silence removed. Empty when the synthesis failed.
    Samples Speak(const VoiceProfile& profile, const std::string& text);

  private:
    int outputRate = 0;
};

// Growl (a low amplitude flutter), soft clipping grit and breath noise on a
// voice clip; deterministic for a given clip and seed.
void Roughen(Samples& clip, unsigned seed);

}  // namespace assets
