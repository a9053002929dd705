#pragma once

// The picture of every pass: camera, course, ship, the turning bodies, the sun
// and its light, the developer grid, then the flat overlay.

#include "game/PlayState.h"
#include "game/course.h"
#include "platform/types.h"

// What the pass needs of the shell around it.
struct SceneView {
    plat::WindowHandle window = nullptr;  // the game window; its client size sizes both projections
    bool hasContext = false;              // without a context the perspective is left alone
    double frameTime = 0.0;
    float fps = 60.0f;
    unsigned carList = 0;  // the car model's display list
};

// One pass into the back buffer. Drawing only reads the play state; the game's
// own steps run at their fixed places in it: the course (while a song is
// played), the turn of the bodies after they are drawn, the ship kept inside the
// course, and the screens before the overlay.
void drawScene(PlayState& play, const SceneView& view);

// The developer grid on the floor below the course.
void drawGrid();

// The 3-D projection for a client area (a zero height counts as one).
void setPerspective(int width, int height);
// The flat projection over the window's client area, y upwards from the bottom.
void setOrtho(plat::WindowHandle window);

// Draws the course's objects for updateCourse with the car list `carList` points at.
CourseDrawer courseDrawer(const unsigned* carList);

// The overlay: veil and texts of the menus and the pause screen, developer
// readouts, the score bar and the chain swatch.
void drawHud(const PlayState& play, const SceneView& view);
