#include "server/PlayerName.h"

#include <glib.h>

#include <cerrno>

namespace server {

namespace {

// Bytes below 0x20 and 0x7F are never part of a longer character in UTF-8
// or in Shift-JIS (its second bytes start at 0x40 and skip 0x7F), so they
// can go before the encoding is known.
std::string WithoutAsciiControls(const std::string& bytes) {
    std::string kept;
    kept.reserve(bytes.size());
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            kept += c;
        }
    }
    return kept;
}

// Windows' code page 932 first: it is what Japanese Windows writes, and it
// reads 0x5C as a backslash where plain Shift-JIS makes it a yen sign.
GIConv OpenCodePage932() {
    GIConv converter = g_iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<GIConv>(-1)) {
        converter = g_iconv_open("UTF-8", "SHIFT_JIS");
    }
    return converter;
}

// A byte that starts no character of the code page is skipped and the rest
// still read, so one stray byte does not cost the whole name.
std::string FromCodePage932(const std::string& bytes) {
    GIConv converter = OpenCodePage932();
    std::string text;
    if (converter == reinterpret_cast<GIConv>(-1)) {
        // No converter on this system: the ASCII part is all that can be read.
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                text += c;
            }
        }
        return text;
    }
    std::string input = bytes;
    gchar* in = input.data();
    gsize inLeft = input.size();
    while (inLeft > 0) {
        char buffer[256];
        gchar* out = buffer;
        gsize outLeft = sizeof buffer;
        gsize result = g_iconv(converter, &in, &inLeft, &out, &outLeft);
        int error = errno;
        text.append(buffer, static_cast<size_t>(out - buffer));
        if (result == static_cast<gsize>(-1) && error != E2BIG && inLeft > 0) {
            ++in;  // EILSEQ or EINVAL (a first byte without its second)
            --inLeft;
        }
    }
    g_iconv_close(converter);
    return text;
}

bool IsBlank(gunichar c) {
    return c == ' ' || c == 0x3000;  // the ideographic space of Japanese input
}

}  // namespace

std::string CleanPlayerName(const std::string& bytes) {
    std::string text = WithoutAsciiControls(bytes);
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        text = FromCodePage932(text);
    }
    std::u32string characters;
    for (const gchar* at = text.data(); at < text.data() + text.size(); at = g_utf8_next_char(at)) {
        gunichar c = g_utf8_get_char(at);
        if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F)) {
            characters += static_cast<char32_t>(c);
        }
    }
    size_t first = 0;
    while (first < characters.size() && IsBlank(characters[first])) {
        ++first;
    }
    characters = characters.substr(first, kMaxNameCharacters);
    while (!characters.empty() && IsBlank(characters.back())) {
        characters.pop_back();
    }
    std::string name;
    for (char32_t c : characters) {
        char encoded[6];
        name.append(encoded, static_cast<size_t>(g_unichar_to_utf8(c, encoded)));
    }
    return name;
}

}  // namespace server
