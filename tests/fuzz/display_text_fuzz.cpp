// Fuzz entry for the text rule: whatever the bytes, what comes out is shown
// as it is - DisplayText leaves it unchanged, which it does only for
// well-formed UTF-8 - and holds no control character but a tab, a line feed
// and a CR before a line feed.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shared/DisplayText.h"

#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = DisplayText(std::string_view(reinterpret_cast<const char*>(data), size));
    CHECK(DisplayText(text) == text);
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        bool layout = byte == '\t' || byte == '\n' || (byte == '\r' && text[i + 1] == '\n');
        CHECK(layout || (byte >= 0x20 && byte != 0x7F));
        // U+0080-U+009F are C2 80 - C2 9F.
        CHECK(byte != 0xC2 || static_cast<unsigned char>(text[i + 1]) > 0x9F);
    }
    return 0;
}
