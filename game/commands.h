#pragma once

// What the player asks of the game, from the keyboard or the pad. Keys and pad
// buttons name the same commands, in one table (commands.cpp) that gives each
// one's command in each of the four states; the pace at which a held pad
// direction repeats is beside it. Steering is not a command: the keys, the
// pad and the mouse each move the ship their own way (keys.cpp, pad.cpp).

#include <cstdint>

#include "game/PlayState.h"

// The pad as the commands see it: its buttons (plat::GAMEPAD_*), and the left
// stick pushed past the steering threshold to either side.
inline constexpr std::uint32_t PAD_STICK_LEFT = 1u << 16;
inline constexpr std::uint32_t PAD_STICK_RIGHT = 1u << 17;

// The keyboard's commands of a frame (keys.cpp steers and types first).
ShellRequest runKeyCommands(PlayState& play);
// The pad's commands of a frame: `inputs` are the pad's inputs now, `frameTime`
// the seconds since the last frame (a held direction's repeat clock).
ShellRequest runPadCommands(PlayState& play, std::uint32_t inputs, double frameTime);
