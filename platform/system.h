#pragma once

// Desktop metrics and the mouse cursor.

#include "platform/types.h"

namespace plat {

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;

// Width or height of the primary display in pixels; 0 when no display can be reached.
int getSystemMetrics(int index);

// Null while a display can be reached; otherwise why it cannot (for a clear
// line on standard error when the game has to give up).
const char* displayError();

// Shows (true) or hides (false) the cursor through a display counter, as the
// desktop does: the cursor is visible while the counter is >= 0. Returns the new counter.
int showCursor(bool show);

// The cursor position in screen pixels.
bool getCursorPos(Point* point);
bool setCursorPos(int x, int y);

// The cursor shown over the game's windows (IDC_CROSS; others keep the default).
void setClassCursor(int cursorId);

// Lowers the calling thread's scheduling priority: for work in the background
// that must not take the main loop's turns on a busy machine.
void lowerThreadPriority();

// Tests only: pretend the display has this size (0, 0 goes back to the real one).
void overrideScreenSize(int width, int height);

}  // namespace plat
