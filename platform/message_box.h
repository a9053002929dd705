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

// Shows a box and waits until it is dismissed. Without a display it writes the
// title and text to standard error and returns at once.
int messageBox(WindowHandle owner, const char* text, const char* title, std::uint32_t flags);

using MessageBoxBackend = int (*)(const char* text, const char* title, std::uint32_t flags);
// nullptr restores the real backend.
void setMessageBoxBackend(MessageBoxBackend backend);

}  // namespace plat
