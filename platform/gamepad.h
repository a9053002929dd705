#pragma once

// The first game controller, read like the desktop gamepad API: a fresh state
// record per call. Controllers plugged in or out are picked up while the
// message queue is pumped.

#include <cstdint>

namespace plat {

inline constexpr std::uint16_t GAMEPAD_DPAD_UP = 0x0001;
inline constexpr std::uint16_t GAMEPAD_DPAD_DOWN = 0x0002;
inline constexpr std::uint16_t GAMEPAD_DPAD_LEFT = 0x0004;
inline constexpr std::uint16_t GAMEPAD_DPAD_RIGHT = 0x0008;
inline constexpr std::uint16_t GAMEPAD_START = 0x0010;
inline constexpr std::uint16_t GAMEPAD_BACK = 0x0020;
inline constexpr std::uint16_t GAMEPAD_A = 0x1000;
inline constexpr std::uint16_t GAMEPAD_B = 0x2000;
inline constexpr std::uint16_t GAMEPAD_X = 0x4000;
inline constexpr std::uint16_t GAMEPAD_Y = 0x8000;

inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;

struct GamepadState {
    std::uint32_t packetNumber = 0;
    std::uint16_t buttons = 0;
    std::uint8_t leftTrigger = 0;
    std::uint8_t rightTrigger = 0;
    std::int16_t thumbLX = 0;  // -32768 (left) .. 32767 (right)
    std::int16_t thumbLY = 0;
    std::int16_t thumbRX = 0;
    std::int16_t thumbRY = 0;
};

// ERROR_SUCCESS with the state filled, or ERROR_DEVICE_NOT_CONNECTED.
std::uint32_t getGamepadState(std::uint32_t userIndex, GamepadState* state);

// Tests only: a virtual pad at index 0 (`state` null unplugs it; `enable` false
// goes back to the real controllers).
void overrideGamepad(bool enable, const GamepadState* state);

}  // namespace plat
