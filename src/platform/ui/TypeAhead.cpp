#include "platform/ui/TypeAhead.h"

#include <algorithm>

namespace platform {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

bool BeginsWith(const std::string& entry, const std::string& prefix) {
    return entry.size() >= prefix.size() && Lower(entry.substr(0, prefix.size())) == prefix;
}

// The first entry from `start` on, wrapping, that begins with `prefix`; -1 for none.
int FindFrom(const std::vector<std::string>& entries, int start, const std::string& prefix) {
    int count = static_cast<int>(entries.size());
    for (int step = 0; step < count; ++step) {
        int index = ((start + step) % count + count) % count;
        if (BeginsWith(entries[index], prefix)) {
            return index;
        }
    }
    return -1;
}

}  // namespace

bool TypeAhead::Typing(uint32_t timeMs) const {
    return !typed.empty() && timeMs - lastMs <= kPauseMs;
}

int TypeAhead::Type(const std::vector<std::string>& entries, int current,
                    const std::string& character, uint32_t timeMs) {
    std::string letter = Lower(character);
    if (!Typing(timeMs)) {
        typed.clear();
        first = letter;
        sameLetter = true;
        start = current;
    }
    lastMs = timeMs;
    typed += letter;
    sameLetter = sameLetter && letter == first;
    // A longer prefix is looked for from the entry selected when it began,
    // which it may still fit ("ja" on Jamaica stays there); a first or
    // repeated letter moves on.
    if (typed.size() > letter.size()) {
        int found = FindFrom(entries, std::max(start, 0), typed);
        if (found >= 0) {
            return found;
        }
    }
    if (!sameLetter) {
        return current;
    }
    int found = FindFrom(entries, current + 1, first);
    return found >= 0 ? found : current;
}

}  // namespace platform
