// TEMPORARY: stands in for the scene pass until it lands, so the game links and
// its window shows a cleared picture. Delete this file with the scene's arrival.

#include <GL/gl.h>

#include "app/Core.h"

void Core::drawScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Core::drawGrid() {}
