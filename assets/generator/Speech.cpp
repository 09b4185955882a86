#include "Speech.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Dsp.h"

namespace assets {
namespace {

// The pack's voices. The narrator reads the menu and the tutorial; the
// player cries out when hit; the herald announces the end of a game; the
// enemy shouts in Japanese, low and rough, unlike any of the others.
const VoiceProfile kProfiles[] = {
    // name, espeak voice, words a minute, pitch, range, rough, deepen
    {"narrator", "en-us+m3", 150, 50, 45, false, 1.0},
    {"player", "en-us+m1", 165, 55, 60, false, 1.0},
    {"pain", "en-us+m1", 120, 72, 100, false, 1.0},
    {"herald", "en-us+m7", 140, 48, 90, false, 1.0},
    {"enemy", "ja", 135, 10, 40, true, 0.88},
};

// Where the synthesizer hands its samples while Speak waits for it.
Samples* collecting = nullptr;

int Collect(short* wav, int count, espeak_EVENT*) {
    if (wav != nullptr && collecting != nullptr) {
        for (int i = 0; i < count; ++i) {
            collecting->push_back(wav[i] / 32768.0f);
        }
    }
    return 0;  // go on
}

}  // namespace

const VoiceProfile* FindVoiceProfile(const std::string& name) {
    for (const VoiceProfile& profile : kProfiles) {
        if (profile.name == name) {
            return &profile;
        }
    }
    return nullptr;
}

Speaker::Speaker() {
    // Synchronous output: espeak_Synth returns only when every sample has
    // gone through the callback. No audio device is opened.
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate > 0) {
        outputRate = rate;
        espeak_SetSynthCallback(Collect);
    }
}

Speaker::~Speaker() {
    if (Ready()) {
        espeak_Terminate();
    }
}

bool Speaker::HasVoice(const std::string& espeakVoice) {
    return Ready() && espeak_SetVoiceByName(espeakVoice.c_str()) == EE_OK;
}

Samples Speaker::Speak(const VoiceProfile& profile, const std::string& text) {
    Samples clip;
    if (!Ready() || espeak_SetVoiceByName(profile.espeakVoice.c_str()) != EE_OK) {
        return clip;
    }
    espeak_SetParameter(espeakRATE, profile.rate, 0);
    espeak_SetParameter(espeakPITCH, profile.pitch, 0);
    espeak_SetParameter(espeakRANGE, profile.range, 0);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    collecting = &clip;
    espeak_ERROR result = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                       espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
    collecting = nullptr;
    if (result != EE_OK) {
        return {};
    }
    // Taken as if recorded at a lower rate, a deepened voice comes out slower
    // and lower, with a bigger, heavier body.
    clip = Resample(clip, static_cast<int>(outputRate * profile.deepen), kRate);
    if (profile.rough) {
        Roughen(clip, static_cast<unsigned>(text.size()));
    }
    TrimSilence(clip, 0.01f, 5.0);
    return clip;
}

void Roughen(Samples& clip, unsigned seed) {
    NoiseRandom random(seed + 7);
    Biquad breathBand = Biquad::BandPass(2800.0, 0.8);
    Biquad grainLow = Biquad::LowPass(3500.0, 0.7);
    Oscillator flutter;
    float envelope = 0.0f;
    const float drive = 3.0f;
    const float norm = std::tanh(drive);
    float peak = 0.0f;
    for (float s : clip) {
        peak = std::max(peak, std::fabs(s));
    }
    if (peak <= 0.0f) {
        return;
    }
    for (float& s : clip) {
        float x = s / peak;
        // Envelope follower: the breath only sounds where the voice does.
        float level = std::fabs(x);
        envelope += (level > envelope ? 0.05f : 0.002f) * (level - envelope);
        // A 38 Hz flutter under the voice makes it growl like a strained throat.
        float growl = 1.0f - 0.35f * (0.5f + 0.5f * flutter.Next(38.0));
        float gritty = std::tanh(drive * x * growl) / norm;
        float breath = breathBand.Process(random.Bipolar()) * envelope * 0.6f;
        s = grainLow.Process(0.85f * gritty + breath);
    }
}

}  // namespace assets
