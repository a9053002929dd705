#include "render/Camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

Camera camera;

Camera::Camera() : eye(0.0f, 30.0f, 1.0f), center(0.0f, -10.0f, 0.0f), up(0.0f, 1.0f, 0.0f) {}

void Camera::look() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z);
}

void Camera::set(Vector3 newEye, Vector3 newCenter, Vector3 newUp) {
    eye = newEye;
    center = newCenter;
    up = newUp;
}
