#include "shared/DisplayText.h"

#include <iconv.h>

#include <optional>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The length of the well-formed UTF-8 character at bytes[at], with its code
// point in `code`; 0 when the byte starts none.
size_t Utf8CharacterAt(std::string_view bytes, size_t at, char32_t& code) {
    unsigned char first = static_cast<unsigned char>(bytes[at]);
    size_t length = 0;
    char32_t shortest = 0;
    if (first < 0x80) {
        code = first;
        return 1;
    } else if (first >= 0xC2 && first <= 0xDF) {
        length = 2, code = first & 0x1F, shortest = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, code = first & 0x0F, shortest = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, code = first & 0x07, shortest = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - at < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(bytes[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    if (code < shortest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsWellFormedUtf8(std::string_view bytes) {
    char32_t code = 0;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = Utf8CharacterAt(bytes, at, code);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

// The text as UTF-8 when every byte belongs to a character of code page 932;
// nothing otherwise (a byte no character starts with, a first byte without
// its second).
std::optional<std::string> FromCodePage932(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        converter = iconv_open("UTF-8", "SHIFT_JIS");
    }
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    // Every character of the code page is in the BMP: at most three bytes of
    // UTF-8 for each byte read.
    std::string input(bytes);
    std::string text(3 * input.size(), '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = text.data();
    size_t outLeft = text.size();
    bool read = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!read || inLeft != 0) {
        return std::nullopt;
    }
    text.resize(text.size() - outLeft);
    return text;
}

// The kept characters of `bytes` read as UTF-8, U+FFFD for each byte that
// starts no well-formed character.
std::string KeptCharacters(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    char32_t code = 0;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = Utf8CharacterAt(bytes, at, code);
        if (length == 0) {
            AppendUtf8(text, kReplacement);
            ++at;
            continue;
        }
        bool layout = code == '\n' || code == '\t' ||
                      (code == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n');
        if (layout || !IsControlCharacter(code)) {
            text.append(bytes.substr(at, length));
        }
        at += length;
    }
    return text;
}

}  // namespace

void AppendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsControlCharacter(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

std::string DisplayText(std::string_view bytes) {
    if (!IsWellFormedUtf8(bytes)) {
        if (std::optional<std::string> text = FromCodePage932(bytes)) {
            return KeptCharacters(*text);
        }
    }
    return KeptCharacters(bytes);
}
