#pragma once

// Modal message boxes. The backend can be replaced: tests record boxes instead
// of waiting for a click, and REDAVAVE_MESSAGE_BOXES=stderr makes the game print
// them to standard error without blocking (used by the end-to-end tests).

#include <cstdint>

#include "platform/types.h"

namespace plat {

inline constexpr std::uint32_t MB_OK = 0x00000000;
inline constexpr std::uint32_t MB_ICONERROR = 0x00000010;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x00000040;
inline constexpr int IDOK = 1;

// Writes the title and text to standard error, then shows a box and waits until
// it is dismissed; without a display it returns at once. The game's window has
// the keyboard again afterwards.
int messageBox(WindowHandle owner, const char* text, const char* title, std::uint32_t flags);

// The game's binary started as a box process (by messageBox) shows one box and
// ends: SDL's box, else zenity or kdialog, else a box window of its own drawn
// with a built-in font (REDAVAVE_MESSAGE_BOXES=window: that one alone). Its
// exit code says whether it showed the box; without that word the game shows
// the box itself. It ends when the game ends. A program's entry calls
// isMessageBoxProcess first; only such a program shows its boxes this way.
bool isMessageBoxProcess(int argc, char** argv);
int runMessageBoxProcess(int argc, char** argv);
const char* messageBoxProcessArg();

using MessageBoxBackend = int (*)(const char* text, const char* title, std::uint32_t flags);
// nullptr restores the real backend.
void setMessageBoxBackend(MessageBoxBackend backend);

}  // namespace plat
