#pragma once

// A square picture card of side 3 at z = 1, drawn as one triangle strip with
// the whole texture on it. The sun and the course's bonus and skull cards use it.

#include <GL/gl.h>

inline void drawSpriteQuad() {
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.5f, 1.5f, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.5f, 1.5f, 1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.5f, -1.5f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.5f, -1.5f, 1.0f);
    glEnd();
}

// Block colours are given far above 1 and clamped by OpenGL: 1 pure blue,
// 2 pure red, 3 pure green, anything else white.
inline void setBlockColor(int color) {
    switch (color) {
        case 1: glColor3f(0.0f, 0.0f, 10.0f); break;
        case 2: glColor3f(10.0f, 0.0f, 0.0f); break;
        case 3: glColor3f(0.0f, 10.0f, 0.0f); break;
        default: glColor3f(1.0f, 1.0f, 1.0f); break;
    }
}
