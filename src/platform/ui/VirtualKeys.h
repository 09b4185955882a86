#pragma once
// Windows virtual-key codes: the scenes receive released keys in this form.

namespace platform {

constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_0 = 0x30;        // '0'..'9' are 0x30..0x39
constexpr int VK_A = 0x41;        // 'A'..'Z' are 0x41..0x5A
constexpr int VK_NUMPAD0 = 0x60;  // keypad 0..9 are 0x60..0x69

}  // namespace platform
