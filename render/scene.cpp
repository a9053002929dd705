// The 3-D pass of every frame: camera, course, ship, the turning bodies, the
// sun and its light, the developer grid, then the flat overlay.

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "app/Core.h"
#include "game/Player.h"
#include "image/Texture.h"
#include "platform/window.h"
#include "render/Camera.h"
#include "render/ModelHandler.h"
#include "render/sprite.h"

namespace {

// Indices into the texture set.
constexpr int kVenusTexture = 3;
constexpr int kSunTexture = 6;
constexpr int kEarthTexture = 7;
constexpr int kMercuryTexture = 8;
constexpr int kMoonTexture = 9;
// The ship's hull is the first texture name handed out at start.
constexpr GLuint kShipTextureName = 1;

// The ship may drift past the lanes by keyboard; beyond this it is brought back.
constexpr float kLateralBound = 6.827507f;
constexpr float kLateralReturn = 6.727507f;

// One quadric serves every sphere; it is plain memory, made once and freed at exit,
// so no pass allocates or leaves one behind.
struct Quadric {
    GLUquadric* handle = nullptr;
    GLUquadric* get() {
        if (handle == nullptr) {
            handle = gluNewQuadric();
            gluQuadricDrawStyle(handle, GLU_FILL);
            gluQuadricTexture(handle, GL_TRUE);
        }
        return handle;
    }
    ~Quadric() {
        if (handle != nullptr) {
            gluDeleteQuadric(handle);
        }
    }
};
Quadric sphereQuadric;

struct Body {
    int texture;
    double radius;
    int slices;
    int stacks;
};

void drawBody(const Body& body, float angle, float tx, float ty, float tz, bool orbit) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, textures[body.texture].texID);
    glPushMatrix();
    if (orbit) {
        glRotatef(angle, -1.0f, 0.0f, 0.0f);
        glRotatef(angle, 0.0f, 1.0f, 0.0f);
        glTranslatef(tx, ty, tz);
    } else {
        glTranslatef(tx, ty, tz);
        glRotatef(angle, 1.0f, 1.0f, 0.0f);
    }
    gluSphere(sphereQuadric.get(), body.radius, body.slices, body.stacks);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

// The small bodies and the sun hide behind the large planet for part of their lap.
bool smallBodyVisible(float angle) { return angle > -48.0f || angle < -345.0f; }
bool sunVisible(float angle) { return angle > -60.0f || angle < -345.0f; }

void advanceOrbit(float& angle, float rate, double frameTime, bool paused) {
    if (!paused) {
        angle += static_cast<float>(rate * frameTime);
    }
    if (angle <= -360.0f) {
        angle = 0.0f;
    }
}

void drawSunSprite(float angle) {
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glAlphaFunc(GL_GREATER, 0.1f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glBindTexture(GL_TEXTURE_2D, textures[kSunTexture].texID);
    glPushMatrix();
    glRotatef(90.0f, -1.0f, 0.0f, 0.0f);
    glRotatef(angle, -1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 30.0f, 130.0f);
    glScalef(30.0f, 30.0f, 30.0f);
    drawSpriteQuad();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_LIGHTING);
}

void placeSunLight(float angle) {
    const GLfloat ambientColor[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat SunColor[4] = {5.12f, 5.12f, 1.0f, 1.0f};
    const float theta = angle / 180.0f * 3.1415927f;
    const GLfloat SunPos[4] = {0.0f, 30.0f * std::cos(theta), -130.0f * std::sin(theta), 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientColor);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, SunColor);
    glLightfv(GL_LIGHT0, GL_POSITION, SunPos);
}

}  // namespace

void Core::drawScene() {
    if (shutDownDone) {
        return;  // the context and everything drawn with it are gone
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    plat::Rect rect;
    plat::getClientRect(hWnd, &rect);
    resizeView(rect.right - rect.left, rect.bottom - rect.top);

    camera.look();
    const Vector3 v3Position = player.getPosition();
    camera.set(Vector3(-10.0f, -35.0f, 0.0f), Vector3(0.0f, 10.0f, 0.0f), Vector3(-1.0f, 1.0f, 0.0f));

    if (!inMenu) {
        updateCourse();
    }

    if (v3Position.y < -kLateralBound) {
        player.setLateral(-kLateralReturn);
    } else if (v3Position.y > kLateralBound) {
        player.setLateral(kLateralReturn);
    }

    // The ship, unlit: the overlay of the previous pass switched lighting off.
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslatef(0.0f, -10.0f, v3Position.y);
    glRotatef(90.0f, 0.0f, -1.0f, 0.0f);
    glScalef(0.5f, 0.5f, 0.5f);
    glBindTexture(GL_TEXTURE_2D, kShipTextureName);
    modelHandler.draw(shipModel);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);

    glEnable(GL_LIGHTING);

    drawBody({kEarthTexture, 130.0, 27, 25}, earthAngle, 0.0f, 50.0f, -140.0f, false);
    if (!paused) {
        earthAngle += static_cast<float>(8.0 * frameTime);
    }
    if (earthAngle >= 360.0f) {
        earthAngle = 0.0f;
    }
    if (smallBodyVisible(moonAngle)) {
        drawBody({kMoonTexture, 9.0, 10, 12}, moonAngle, 0.0f, 150.0f, 0.0f, true);
    }
    advanceOrbit(moonAngle, -13.0f, frameTime, paused);
    if (smallBodyVisible(venusAngle)) {
        drawBody({kVenusTexture, 7.0, 6, 7}, venusAngle, 0.0f, 170.0f, 10.0f, true);
    }
    advanceOrbit(venusAngle, -12.0f, frameTime, paused);
    if (smallBodyVisible(mercuryAngle)) {
        drawBody({kMercuryTexture, 7.0, 4, 7}, mercuryAngle, 0.0f, 190.0f, -29.0f, true);
    }
    advanceOrbit(mercuryAngle, -12.0f, frameTime, paused);

    if (sunVisible(sunAngle)) {
        drawSunSprite(sunAngle);
    }
    advanceOrbit(sunAngle, -11.0f, frameTime, paused);

    glNormal3f(0.0f, 0.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    // Set after the bodies are drawn: this light shines on the next pass.
    placeSunLight(sunAngle);

    if (devMode) {
        glPushMatrix();
        drawGrid();
        glPopMatrix();
    }

    setOrtho();
    drawHud();
}

void Core::drawGrid() {
    glBegin(GL_LINES);
    for (float i = -500.0f; i <= 500.0f; i += 5.0f) {
        glVertex3f(-500.0f, -40.0f, i);
        glVertex3f(500.0f, -40.0f, i);
        glVertex3f(i, -40.0f, -500.0f);
        glVertex3f(i, -40.0f, 500.0f);
    }
    glEnd();
}
