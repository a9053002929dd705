#pragma once

// The screens over the picture, once a pass before the overlay is drawn.

#include "game/PlayState.h"

// The song has run out and the course is empty: on to the Score menu. Then the
// menu and pause veil fades in (0.1 a pass, held at 0.7) or is gone during play.
void updateScreens(PlayState& play);

// A song played to its end: its score against the song's best. A first finish
// or a higher score becomes the best and waits in `unsavedBests` for the shell.
void keepBest(PlayState& play, int points);
