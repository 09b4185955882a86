#include "platform/sys/SoundServerNames.h"

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

}  // namespace

void NameGameForSoundServers() {
    const std::string id = kApplicationId;
    // PulseAudio's words: lowercase roles, "icon_name". The client's
    // properties are copied onto each of its streams.
    SetUnlessSet("PULSE_PROP", "media.role=game application.name=ZankoruC application.id=" + id +
                                   " application.icon_name=" + id);
    // PipeWire reads this into every stream's properties; it names roles
    // capitalised and writes "icon-name".
    SetUnlessSet("PIPEWIRE_PROPS", "{ media.role=Game application.name=ZankoruC application.id=" +
                                       id + " application.icon-name=" + id + " }");
}

const std::vector<std::string>& SoundServerVariablesSet() {
    return VariablesSet();
}

}  // namespace platform
