#include "platform/sys/SoundServerEnvironment.h"

#include <cstdlib>

#include "platform/sys/AppName.h"

namespace platform {
namespace {

std::vector<std::string>& VariablesSet() {
    static std::vector<std::string> names;
    return names;
}

void SetUnlessSet(const char* name, const std::string& value) {
    if (std::getenv(name) == nullptr && setenv(name, value.c_str(), 0) == 0) {
        VariablesSet().push_back(name);
    }
}

// The sound server's share of the latency, in ms. SDL hands PulseAudio one
// period as the whole buffer (10.7 ms); a busy machine then misses it and the
// music breaks up. Asked for 20 ms, the server keeps about two periods queued:
// key release to sound measured 23 ms median instead of 16, and the music
// played 60 s under load with no dropout where it had 33 a minute.
// PipeWire's own streams are left at the period SDL asks for: their latency
// request sets the quantum of the whole graph, the screen reader's too.
constexpr const char* kPulseLatencyMs = "20";

}  // namespace

void PrepareSoundServerEnvironment() {
    const std::string id = kApplicationId;
    // PulseAudio's words: lowercase roles, "icon_name". The client's
    // properties are copied onto each of its streams.
    SetUnlessSet("PULSE_PROP", "media.role=game application.name=ZankoruC application.id=" + id +
                                   " application.icon_name=" + id);
    // PipeWire reads this into every stream's properties; it names roles
    // capitalised and writes "icon-name".
    SetUnlessSet("PIPEWIRE_PROPS", "{ media.role=Game application.name=ZankoruC application.id=" +
                                       id + " application.icon-name=" + id + " }");
    // libpulse reads it when a stream connects and puts it in place of the
    // buffer SDL asked for.
    SetUnlessSet("PULSE_LATENCY_MSEC", kPulseLatencyMs);
}

const std::vector<std::string>& SoundServerVariablesSet() {
    return VariablesSet();
}

}  // namespace platform
