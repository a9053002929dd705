#pragma once

// The music course: the song's pitch picks a lane, objects grow and fly at the
// ship, and the ones met in the ship's lane are collected and scored.

#include "game/PlayState.h"

// Where the pass draws the course: called for each object on it, in slot order,
// after this frame's spawn and before the object moves or is collected.
struct CourseDrawer {
    void (*drawObject)(int slot, void* user) = nullptr;
    void* user = nullptr;
};

// One frame of the course while a song is being played.
void updateCourse(PlayState& play, double frameTime, const CourseDrawer& drawer = {});

// A ship steered past the lanes by keyboard is brought back inside.
void keepShipInBounds();
