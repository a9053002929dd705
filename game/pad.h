#pragma once

// The first game controller or, when none answers, the mouse.

#include "game/PlayState.h"

// One poll of the pad, or of the mouse when no pad answers: the pad steers,
// then its buttons' commands act (commands.h). `frameTime` is the frame's
// seconds (a held direction's repeat); `screenWidth` and `screenHeight` are
// the window's client size (the mouse's first centre). BACK in the menus asks
// the shell to shut the game down.
ShellRequest pollGamepad(PlayState& play, double frameTime, int screenWidth, int screenHeight);

// Sideways steering by the cursor's offset from the centre; the cursor is put
// back to the screen's centre after every call.
void mouseSteer(PlayState& play, int screenWidth, int screenHeight);
