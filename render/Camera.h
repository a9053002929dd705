#pragma once

// The one view of the scene. Each pass loads the view as it stood when the
// pass began, then sets the view for the next pass.

#include "game/Vector3.h"

class Camera {
public:
    Camera();
    virtual ~Camera() {}

    // Model-view matrix = identity, then the look-at transform of eye, center and up.
    void look();
    // Takes effect at the next look().
    void set(Vector3 newEye, Vector3 newCenter, Vector3 newUp);

    Vector3 eye;
    Vector3 center;
    Vector3 up;
};

extern Camera camera;
