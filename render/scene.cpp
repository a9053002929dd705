// The 3-D pass of every frame: camera, course, ship, the turning bodies, the
// sun and its light, the developer grid, then the flat overlay.

#include "render/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "game/Player.h"
#include "game/carClass.h"
#include "game/orbits.h"
#include "game/screens.h"
#include "platform/window.h"
#include "render/Camera.h"
#include "render/ModelHandler.h"
#include "render/sprite.h"
#include "render/texture_set.h"

namespace {

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

void drawSunSprite(float angle) {
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glAlphaFunc(GL_GREATER, 0.1f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glBindTexture(GL_TEXTURE_2D, textures[TEXTURE_SUN].texID);
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

void drawCar(GLuint carList, int slot) {
    const float x = cars.getX(slot);
    const float z = cars.getZ(slot);
    const float scale = cars.getScale(slot);
    glPushMatrix();
    glTranslatef(0.0f, x, z);
    glScalef(scale, scale, scale);
    glRotatef(90.0f, 0.0f, -1.0f, 0.0f);
    setBlockColor(cars.getColor(slot));
    glCallList(carList);
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
}

// The picture card that marks a bonus item or a skull.
void drawCard(int slot, GLuint texture) {
    const float x = cars.getX(slot);
    const float z = cars.getZ(slot);
    const float scale = cars.getScale(slot);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    glTranslatef(-2.0f, x, z);
    glRotatef(90.0f, -1.0f, 0.0f, 0.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_ALPHA_TEST);
    glScalef(scale, scale, scale);
    glDisable(GL_CULL_FACE);
    drawSpriteQuad();
    glEnable(GL_CULL_FACE);
    glPopMatrix();
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

void drawCourseObject(int slot, void* user) {
    drawCar(*static_cast<const unsigned*>(user), slot);
    const int kind = cars.getKind(slot);
    if (kind == KIND_BONUS) {
        drawCard(slot, TEXTURE_NAME_BONUS_CARD);
    } else if (kind == KIND_SKULL) {
        drawCard(slot, TEXTURE_NAME_SKULL_CARD);
    }
}

}  // namespace

CourseDrawer courseDrawer(const unsigned* carList) {
    CourseDrawer drawer;
    drawer.drawObject = drawCourseObject;
    drawer.user = const_cast<unsigned*>(carList);
    return drawer;
}

void setPerspective(int width, int height) {
    if (height == 0) {
        height = 1;  // a minimised window has no height; keep the aspect finite
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.01, 9000.0);
    glMatrixMode(GL_MODELVIEW);
}

void setOrtho(plat::WindowHandle window) {
    plat::Rect client;
    plat::getClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, width, 0.0, height);
    glMatrixMode(GL_MODELVIEW);
}

void drawScene(PlayState& play, const SceneView& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    plat::Rect rect;
    plat::getClientRect(view.window, &rect);
    if (view.hasContext) {
        setPerspective(rect.right - rect.left, rect.bottom - rect.top);
    }

    camera.look();
    const Vector3 v3Position = player.getPosition();
    camera.set(Vector3(-10.0f, -35.0f, 0.0f), Vector3(0.0f, 10.0f, 0.0f), Vector3(-1.0f, 1.0f, 0.0f));

    if (!play.inMenu) {
        updateCourse(play, view.frameTime, courseDrawer(&view.carList));
    }

    // The ship, unlit: the overlay of the previous pass switched lighting off.
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslatef(0.0f, -10.0f, v3Position.y);
    glRotatef(90.0f, 0.0f, -1.0f, 0.0f);
    glScalef(0.5f, 0.5f, 0.5f);
    glBindTexture(GL_TEXTURE_2D, TEXTURE_NAME_SHIP);
    modelHandler.draw(shipModel);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);

    glEnable(GL_LIGHTING);

    drawBody({TEXTURE_EARTH, 130.0, 27, 25}, play.earthAngle, 0.0f, 50.0f, -140.0f, false);
    if (smallBodyVisible(play.moonAngle)) {
        drawBody({TEXTURE_MOON, 9.0, 10, 12}, play.moonAngle, 0.0f, 150.0f, 0.0f, true);
    }
    if (smallBodyVisible(play.venusAngle)) {
        drawBody({TEXTURE_VENUS, 7.0, 6, 7}, play.venusAngle, 0.0f, 170.0f, 10.0f, true);
    }
    if (smallBodyVisible(play.mercuryAngle)) {
        drawBody({TEXTURE_MERCURY, 7.0, 4, 7}, play.mercuryAngle, 0.0f, 190.0f, -29.0f, true);
    }
    if (sunVisible(play.sunAngle)) {
        drawSunSprite(play.sunAngle);
    }
    advanceOrbits(play, view.frameTime);

    glNormal3f(0.0f, 0.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    // Set after the bodies are drawn: this light shines on the next pass.
    placeSunLight(play.sunAngle);

    if (play.devMode) {
        glPushMatrix();
        drawGrid();
        glPopMatrix();
    }

    setOrtho(view.window);
    // The ship was drawn where the keys left it; from the next pass it is back inside.
    keepShipInBounds();
    updateScreens(play);
    drawHud(play, view);
}

void drawGrid() {
    glBegin(GL_LINES);
    for (float i = -500.0f; i <= 500.0f; i += 5.0f) {
        glVertex3f(-500.0f, -40.0f, i);
        glVertex3f(500.0f, -40.0f, i);
        glVertex3f(i, -40.0f, -500.0f);
        glVertex3f(i, -40.0f, 500.0f);
    }
    glEnd();
}
