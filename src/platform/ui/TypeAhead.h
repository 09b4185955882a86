#pragma once
// Type-ahead for a list whose entries a screen reader reads one by one: typed
// letters jump to the entry they begin, as desktop lists do. Letters typed
// within a second of each other add up to one prefix ("jap" reaches Japan);
// the same letter typed again steps through the entries that begin with it.
// Letter case is ignored for ASCII letters.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class TypeAhead {
  public:
    static constexpr uint32_t kPauseMs = 1000;  // a longer pause starts a new prefix

    // The entry to select after `character` (UTF-8, one character) was typed
    // at `timeMs` with `current` selected (-1 for none): the first entry, in
    // list order and wrapping, that begins with the prefix typed so far, from
    // the entry selected when the prefix began; for a first letter, or one
    // letter repeated, the first after `current` that begins with it.
    // `current` when nothing matches.
    int Type(const std::vector<std::string>& entries, int current, const std::string& character,
             uint32_t timeMs);
    // The next letter starts a new prefix.
    void Reset() { typed.clear(); }
    // Whether a prefix is under way at `timeMs`: a space then belongs to it.
    bool Typing(uint32_t timeMs) const;

  private:
    std::string typed;       // lower-cased, like `first`
    std::string first;       // the prefix's first letter
    bool sameLetter = true;  // every letter typed was `first`
    int start = -1;          // the entry selected when the prefix began
    uint32_t lastMs = 0;
};

}  // namespace platform
