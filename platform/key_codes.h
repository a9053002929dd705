#pragma once

// Virtual-key codes, numbered as on the original desktop platform. Key messages
// carry these in wParam; the play state's `keys` and `keyLatch` are indexed by them.

#include <cstdint>

namespace plat {

inline constexpr std::uint32_t VK_BACK = 0x08;
inline constexpr std::uint32_t VK_TAB = 0x09;
inline constexpr std::uint32_t VK_RETURN = 0x0D;
inline constexpr std::uint32_t VK_SHIFT = 0x10;
inline constexpr std::uint32_t VK_CONTROL = 0x11;
inline constexpr std::uint32_t VK_MENU = 0x12;  // Alt
inline constexpr std::uint32_t VK_PAUSE = 0x13;
inline constexpr std::uint32_t VK_CAPITAL = 0x14;
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;
inline constexpr std::uint32_t VK_SPACE = 0x20;
inline constexpr std::uint32_t VK_PRIOR = 0x21;  // Page Up
inline constexpr std::uint32_t VK_NEXT = 0x22;   // Page Down
inline constexpr std::uint32_t VK_END = 0x23;
inline constexpr std::uint32_t VK_HOME = 0x24;
inline constexpr std::uint32_t VK_LEFT = 0x25;
inline constexpr std::uint32_t VK_UP = 0x26;
inline constexpr std::uint32_t VK_RIGHT = 0x27;
inline constexpr std::uint32_t VK_DOWN = 0x28;
inline constexpr std::uint32_t VK_SNAPSHOT = 0x2C;  // Print Screen
inline constexpr std::uint32_t VK_INSERT = 0x2D;
inline constexpr std::uint32_t VK_DELETE = 0x2E;
// Digits '0'..'9' are 0x30..0x39 and letters 'A'..'Z' are 0x41..0x5A.
inline constexpr std::uint32_t VK_0 = 0x30;
inline constexpr std::uint32_t VK_A = 0x41;
inline constexpr std::uint32_t VK_D = 0x44;
inline constexpr std::uint32_t VK_P = 0x50;
inline constexpr std::uint32_t VK_LWIN = 0x5B;
inline constexpr std::uint32_t VK_RWIN = 0x5C;
inline constexpr std::uint32_t VK_APPS = 0x5D;
inline constexpr std::uint32_t VK_NUMPAD0 = 0x60;  // keypad digits are 0x60..0x69
inline constexpr std::uint32_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint32_t VK_ADD = 0x6B;
inline constexpr std::uint32_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint32_t VK_DECIMAL = 0x6E;
inline constexpr std::uint32_t VK_DIVIDE = 0x6F;
inline constexpr std::uint32_t VK_F1 = 0x70;  // F1..F12 are 0x70..0x7B
inline constexpr std::uint32_t VK_F4 = 0x73;
inline constexpr std::uint32_t VK_F10 = 0x79;  // arrives as a system key, like Alt combinations
inline constexpr std::uint32_t VK_F12 = 0x7B;
inline constexpr std::uint32_t VK_NUMLOCK = 0x90;
inline constexpr std::uint32_t VK_SCROLL = 0x91;
// US layout punctuation.
inline constexpr std::uint32_t VK_OEM_1 = 0xBA;  // ;
inline constexpr std::uint32_t VK_OEM_PLUS = 0xBB;
inline constexpr std::uint32_t VK_OEM_COMMA = 0xBC;
inline constexpr std::uint32_t VK_OEM_MINUS = 0xBD;
inline constexpr std::uint32_t VK_OEM_PERIOD = 0xBE;
inline constexpr std::uint32_t VK_OEM_2 = 0xBF;  // /
inline constexpr std::uint32_t VK_OEM_3 = 0xC0;  // `
inline constexpr std::uint32_t VK_OEM_4 = 0xDB;  // [
inline constexpr std::uint32_t VK_OEM_5 = 0xDC;  // backslash
inline constexpr std::uint32_t VK_OEM_6 = 0xDD;  // ]
inline constexpr std::uint32_t VK_OEM_7 = 0xDE;  // '

}  // namespace plat
