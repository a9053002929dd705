#pragma once

// The first game controller, read like the desktop gamepad API: a fresh state
// record per call. Controllers plugged in or out are picked up while the
// message queue is pumped.

#include <cstdint>
#include <string>

namespace plat {

inline constexpr std::uint16_t GAMEPAD_DPAD_UP = 0x0001;
inline constexpr std::uint16_t GAMEPAD_DPAD_DOWN = 0x0002;
inline constexpr std::uint16_t GAMEPAD_DPAD_LEFT = 0x0004;
inline constexpr std::uint16_t GAMEPAD_DPAD_RIGHT = 0x0008;
inline constexpr std::uint16_t GAMEPAD_START = 0x0010;
inline constexpr std::uint16_t GAMEPAD_BACK = 0x0020;
inline constexpr std::uint16_t GAMEPAD_LEFT_SHOULDER = 0x0100;   // LB
inline constexpr std::uint16_t GAMEPAD_RIGHT_SHOULDER = 0x0200;  // RB
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

// What starting the controllers found, for the log.
struct GamepadStart {
    bool up = false;             // controllers can be read at all
    bool mappingFile = false;    // the mapping file was there
    int mappingsAdded = 0;       // its mappings for this system that were new
    std::string error;           // why the controllers or the file could not be used
};

// Brings up the controllers and adds the mappings of `mappingFile` (SDL's
// community format, one controller per line, as in gamecontrollerdb.txt) when
// that file exists; mappings given in SDL_GAMECONTROLLERCONFIG come first.
// Reading the pad starts the controllers by itself when this was not called.
GamepadStart startGamepads(const char* mappingFile);
// Lets go of every controller; reading the pad starts them again.
void closeGamepads();

// ERROR_SUCCESS with the state filled, or ERROR_DEVICE_NOT_CONNECTED.
std::uint32_t getGamepadState(std::uint32_t userIndex, GamepadState* state);

}  // namespace plat
