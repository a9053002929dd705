#pragma once

// What the player asks of the game, from the keyboard or the pad: the
// commands, the one table that binds keys and pad buttons to them in each
// state, and the pace at which a held pad direction repeats. Steering is not
// a command: the keys, the pad and the mouse each move the ship their own way
// (keys.cpp, pad.cpp).

#include <cstddef>
#include <cstdint>

#include "game/PlayState.h"

enum class Command : std::uint8_t {
    none,       // not bound in this state; a key's press is kept for a later state
    takePress,  // does nothing, but the press is used up: it must be released first
    previousSong,
    nextSong,
    firstSong,
    lastSong,
    previousFolder,  // the first song of the folder before the selected song's
    nextFolder,      // the first song of the folder after it
    play,            // the selected song from its start
    replay,          // the last song again, from the Score menu
    pause,
    resume,
    restart,  // the paused song from its start
    stop,     // the paused song stopped, back to the menu
    volumeUp,
    volumeDown,
    quit,  // Escape: the shell shows the cursor and posts the quit message
    exit,  // the pad's BACK: the shell shuts the game down at once
};

enum class Device : std::uint8_t { keyboard, pad };

// When a bound input acts.
enum class Fires : std::uint8_t {
    whileHeld,     // in every frame it is down
    oncePerPress,  // once per press: a key when its latch is clear (and sets it
                   // where it is bound), a pad input in the frame it goes down
    repeating,     // a pad input: once when it goes down, then again and again while
                   // held, at the pace of padRepeatSongs
};

// The pad as the commands see it: its buttons (plat::GAMEPAD_*), and the left
// stick pushed past the steering threshold to either side.
inline constexpr std::uint32_t PAD_STICK_LEFT = 1u << 16;
inline constexpr std::uint32_t PAD_STICK_RIGHT = 1u << 17;

struct Binding {
    Device device;
    std::uint32_t input;  // a virtual key, or pad inputs (any of them down counts)
    Fires fires;
    Command welcome;  // the command in each state; Command::none where it is not bound
    Command score;
    Command playing;
    Command paused;
};

// Every binding, in the order they are tried in a frame; each sees the state
// the earlier ones left.
extern const Binding kBindings[];
extern const std::size_t kBindingCount;

// The keyboard's commands of a frame (keys.cpp steers and types first).
ShellRequest runKeyCommands(PlayState& play);
// The pad's commands of a frame: `inputs` are the pad's inputs now, `frameTime`
// the seconds since the last frame (a held direction's repeat clock).
ShellRequest runPadCommands(PlayState& play, std::uint32_t inputs, double frameTime);

// How many songs a pad direction held for `seconds` has moved the selection in
// all, the press's own step included: one, then from 0.4 s on ten more a
// second, faster and in bigger strides the longer it is held.
int padRepeatSongs(double seconds);
