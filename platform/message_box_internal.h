#pragma once

// What the box in the game's process and the box process share, and what the
// platform's own tests replace.

#include <cstdint>

namespace plat::detail {

// The box process ends with kBoxShown once its box was dismissed and with
// kBoxNotShown when it could show none. Any other ending (a crash, another
// program's exit code) counts as no box; the shown code is one that no other
// program started with the box's arguments is likely to give.
inline constexpr int kBoxShown = 73;
inline constexpr int kBoxNotShown = 3;

// Set once the program's entry has offered the box process (the game's binary).
extern bool boxProcessSupported;
// The program started as the box process: the game's own binary.
extern const char* boxProgram;
// Shows the box in a new process of boxProgram and waits until it is
// dismissed. True only when that process says it showed the box.
bool runBoxProcess(const char* text, const char* title, std::uint32_t flags);
// The box shown in the game's own process when no box process showed one
// (SDL's box; tests count the calls instead).
extern void (*inProcessBox)(const char* text, const char* title, std::uint32_t flags);

}  // namespace plat::detail
