// The one translation from SDL's key codes to the game's virtual-key codes.
// Everything past this table speaks only virtual keys.

#include <array>
#include <utility>

#include "platform/key_codes.h"
#include "platform/sdl_internal.h"

namespace plat::detail {
namespace {

using KeyPair = std::pair<SDL_Keycode, std::uint32_t>;

constexpr std::array kKeyTable = {
    KeyPair{SDLK_BACKSPACE, VK_BACK},
    KeyPair{SDLK_TAB, VK_TAB},
    KeyPair{SDLK_RETURN, VK_RETURN},
    KeyPair{SDLK_KP_ENTER, VK_RETURN},  // the desktop reports both Enter keys alike
    KeyPair{SDLK_LSHIFT, VK_SHIFT},
    KeyPair{SDLK_RSHIFT, VK_SHIFT},
    KeyPair{SDLK_LCTRL, VK_CONTROL},
    KeyPair{SDLK_RCTRL, VK_CONTROL},
    KeyPair{SDLK_LALT, VK_MENU},
    KeyPair{SDLK_RALT, VK_MENU},
    KeyPair{SDLK_PAUSE, VK_PAUSE},
    KeyPair{SDLK_CAPSLOCK, VK_CAPITAL},
    KeyPair{SDLK_ESCAPE, VK_ESCAPE},
    KeyPair{SDLK_SPACE, VK_SPACE},
    KeyPair{SDLK_PAGEUP, VK_PRIOR},
    KeyPair{SDLK_PAGEDOWN, VK_NEXT},
    KeyPair{SDLK_END, VK_END},
    KeyPair{SDLK_HOME, VK_HOME},
    KeyPair{SDLK_LEFT, VK_LEFT},
    KeyPair{SDLK_UP, VK_UP},
    KeyPair{SDLK_RIGHT, VK_RIGHT},
    KeyPair{SDLK_DOWN, VK_DOWN},
    KeyPair{SDLK_PRINTSCREEN, VK_SNAPSHOT},
    KeyPair{SDLK_INSERT, VK_INSERT},
    KeyPair{SDLK_DELETE, VK_DELETE},
    KeyPair{SDLK_0, VK_0 + 0}, KeyPair{SDLK_1, VK_0 + 1}, KeyPair{SDLK_2, VK_0 + 2},
    KeyPair{SDLK_3, VK_0 + 3}, KeyPair{SDLK_4, VK_0 + 4}, KeyPair{SDLK_5, VK_0 + 5},
    KeyPair{SDLK_6, VK_0 + 6}, KeyPair{SDLK_7, VK_0 + 7}, KeyPair{SDLK_8, VK_0 + 8},
    KeyPair{SDLK_9, VK_0 + 9},
    KeyPair{SDLK_a, VK_A + 0}, KeyPair{SDLK_b, VK_A + 1}, KeyPair{SDLK_c, VK_A + 2},
    KeyPair{SDLK_d, VK_A + 3}, KeyPair{SDLK_e, VK_A + 4}, KeyPair{SDLK_f, VK_A + 5},
    KeyPair{SDLK_g, VK_A + 6}, KeyPair{SDLK_h, VK_A + 7}, KeyPair{SDLK_i, VK_A + 8},
    KeyPair{SDLK_j, VK_A + 9}, KeyPair{SDLK_k, VK_A + 10}, KeyPair{SDLK_l, VK_A + 11},
    KeyPair{SDLK_m, VK_A + 12}, KeyPair{SDLK_n, VK_A + 13}, KeyPair{SDLK_o, VK_A + 14},
    KeyPair{SDLK_p, VK_A + 15}, KeyPair{SDLK_q, VK_A + 16}, KeyPair{SDLK_r, VK_A + 17},
    KeyPair{SDLK_s, VK_A + 18}, KeyPair{SDLK_t, VK_A + 19}, KeyPair{SDLK_u, VK_A + 20},
    KeyPair{SDLK_v, VK_A + 21}, KeyPair{SDLK_w, VK_A + 22}, KeyPair{SDLK_x, VK_A + 23},
    KeyPair{SDLK_y, VK_A + 24}, KeyPair{SDLK_z, VK_A + 25},
    KeyPair{SDLK_LGUI, VK_LWIN},
    KeyPair{SDLK_RGUI, VK_RWIN},
    KeyPair{SDLK_APPLICATION, VK_APPS},
    KeyPair{SDLK_KP_0, VK_NUMPAD0 + 0}, KeyPair{SDLK_KP_1, VK_NUMPAD0 + 1},
    KeyPair{SDLK_KP_2, VK_NUMPAD0 + 2}, KeyPair{SDLK_KP_3, VK_NUMPAD0 + 3},
    KeyPair{SDLK_KP_4, VK_NUMPAD0 + 4}, KeyPair{SDLK_KP_5, VK_NUMPAD0 + 5},
    KeyPair{SDLK_KP_6, VK_NUMPAD0 + 6}, KeyPair{SDLK_KP_7, VK_NUMPAD0 + 7},
    KeyPair{SDLK_KP_8, VK_NUMPAD0 + 8}, KeyPair{SDLK_KP_9, VK_NUMPAD0 + 9},
    KeyPair{SDLK_KP_MULTIPLY, VK_MULTIPLY},
    KeyPair{SDLK_KP_PLUS, VK_ADD},
    KeyPair{SDLK_KP_MINUS, VK_SUBTRACT},
    KeyPair{SDLK_KP_PERIOD, VK_DECIMAL},
    KeyPair{SDLK_KP_DIVIDE, VK_DIVIDE},
    KeyPair{SDLK_F1, VK_F1 + 0}, KeyPair{SDLK_F2, VK_F1 + 1}, KeyPair{SDLK_F3, VK_F1 + 2},
    KeyPair{SDLK_F4, VK_F1 + 3}, KeyPair{SDLK_F5, VK_F1 + 4}, KeyPair{SDLK_F6, VK_F1 + 5},
    KeyPair{SDLK_F7, VK_F1 + 6}, KeyPair{SDLK_F8, VK_F1 + 7}, KeyPair{SDLK_F9, VK_F1 + 8},
    KeyPair{SDLK_F10, VK_F1 + 9}, KeyPair{SDLK_F11, VK_F1 + 10}, KeyPair{SDLK_F12, VK_F1 + 11},
    KeyPair{SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    KeyPair{SDLK_SCROLLLOCK, VK_SCROLL},
    KeyPair{SDLK_SEMICOLON, VK_OEM_1},
    KeyPair{SDLK_EQUALS, VK_OEM_PLUS},
    KeyPair{SDLK_COMMA, VK_OEM_COMMA},
    KeyPair{SDLK_MINUS, VK_OEM_MINUS},
    KeyPair{SDLK_PERIOD, VK_OEM_PERIOD},
    KeyPair{SDLK_SLASH, VK_OEM_2},
    KeyPair{SDLK_BACKQUOTE, VK_OEM_3},
    KeyPair{SDLK_LEFTBRACKET, VK_OEM_4},
    KeyPair{SDLK_BACKSLASH, VK_OEM_5},
    KeyPair{SDLK_RIGHTBRACKET, VK_OEM_6},
    KeyPair{SDLK_QUOTE, VK_OEM_7},
};

}  // namespace

std::uint32_t virtualKeyFromSdl(SDL_Keycode key) {
    for (const KeyPair& entry : kKeyTable) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    return 0;
}

}  // namespace plat::detail
