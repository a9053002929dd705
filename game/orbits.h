#pragma once

// The large planet, the moon, the two small planets and the sun turn at their
// own rates while a song is not paused; the angles are in degrees.

#include "game/PlayState.h"

// One pass's turn; called after the bodies are drawn at the old angles.
void advanceOrbits(PlayState& play, double frameTime);
