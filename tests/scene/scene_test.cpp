// The 3-D pass on the game's real window and context: the turning bodies and
// their hiding windows, the sun, the camera's two views, the ship's lateral
// bound, the developer grid and the one GLU quadric.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/Core.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "platform/system.h"
#include "render/Camera.h"
#include "tests/scene/scene_world.h"

namespace {

using namespace scenetest;

// Texture set entries of the bodies.
constexpr int kVenus = 3;
constexpr int kSun = 6;
constexpr int kEarth = 7;
constexpr int kMercury = 8;
constexpr int kMoon = 9;

constexpr float kFirstEye[3] = {0.0f, 30.0f, 1.0f};
constexpr float kFirstCenter[3] = {0.0f, -10.0f, 0.0f};
constexpr float kFirstUp[3] = {0.0f, 1.0f, 0.0f};
constexpr float kEye[3] = {-10.0f, -35.0f, 0.0f};
constexpr float kCenter[3] = {0.0f, 10.0f, 0.0f};
constexpr float kUp[3] = {-1.0f, 1.0f, 0.0f};

// `base`, then the given steps, as OpenGL composes them.
template <typename Steps>
Matrix compose(const Matrix& base, Steps steps) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(base.data());
    steps();
    const Matrix m = currentModelView();
    glPopMatrix();
    return m;
}

class ScenePass : public GameTest {
protected:
    const Recording& pass() {
        startRecording();
        core->drawScene();
        stopRecording();
        return recording();
    }

    // Bodies drawn in the recorded pass, by texture set entry.
    static bool drawn(int entry) { return recording().bound(textureName(entry)); }
};

TEST_F(ScenePass, StartUpLeavesTheFixedStateTheShipAndTheSongMenu) {
    const StartupState& s = startupState();
    EXPECT_EQ(s.polygonMode[0], GL_FILL);
    EXPECT_TRUE(s.depthTest && s.cullFace && s.light0 && s.normalize);
    EXPECT_FALSE(s.texture2d);
    EXPECT_FALSE(s.blend) << "the blend function is set, blending stays off";
    EXPECT_EQ(s.depthFunc, GL_LEQUAL);
    EXPECT_EQ(s.shadeModel, GL_SMOOTH);
    EXPECT_EQ(s.blendSrc, GL_SRC_ALPHA);
    EXPECT_EQ(s.blendDst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(s.perspectiveHint, GL_FASTEST);
    EXPECT_EQ(s.matrixMode, GL_MODELVIEW);
    EXPECT_FLOAT_EQ(s.clearColor[3], 0.5f);
    EXPECT_FLOAT_EQ(s.clearDepth, 1.0f);
    EXPECT_TRUE(s.carListCompiled);
    EXPECT_EQ(s.appState, APP_STATE_RUNNING);
    EXPECT_FLOAT_EQ(s.playerLateral, 0.8f);

    EXPECT_EQ(core->play.musicList, std::vector<std::string>{kShortSong});
    EXPECT_EQ(core->play.maxSongIndex, 0);
    const auto& log = startupLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "#Initalized Audio"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "Could Not Find Any Music!"), log.end());
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("Could Not"), std::string::npos) << "a start-up failure: " << line;
    }
}

TEST_F(ScenePass, SpheresFollowTheBodiesTableThroughOneQuadric) {
    core->frameTime = 0.0;
    pass();
    const Matrix view = lookAt(kEye, kCenter, kUp);
    const Recording& r = pass();
    ASSERT_EQ(r.spheres.size(), 4u);

    struct Expected {
        int texture;
        double radius;
        int slices, stacks;
        Matrix placement;
    };
    const float moon = core->play.moonAngle, venus = core->play.venusAngle, mercury = core->play.mercuryAngle;
    const auto orbit = [&view](float angle, float y, float z) {
        return compose(view, [=] {
            glRotatef(angle, -1.0f, 0.0f, 0.0f);
            glRotatef(angle, 0.0f, 1.0f, 0.0f);
            glTranslatef(0.0f, y, z);
        });
    };
    const Expected table[] = {
        {kEarth, 130.0, 27, 25, compose(view, [&] {
             glTranslatef(0.0f, 50.0f, -140.0f);
             glRotatef(core->play.earthAngle, 1.0f, 1.0f, 0.0f);
         })},
        {kMoon, 9.0, 10, 12, orbit(moon, 150.0f, 0.0f)},
        {kVenus, 7.0, 6, 7, orbit(venus, 170.0f, 10.0f)},
        {kMercury, 7.0, 4, 7, orbit(mercury, 190.0f, -29.0f)},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE("body " + std::to_string(i));
        const SphereCall& sphere = r.spheres[i];
        EXPECT_EQ(sphere.texture, textureName(table[i].texture));
        EXPECT_EQ(sphere.radius, table[i].radius);
        EXPECT_EQ(sphere.slices, table[i].slices);
        EXPECT_EQ(sphere.stacks, table[i].stacks);
        EXPECT_LT(distance(sphere.modelView, table[i].placement), 1e-3f);
        EXPECT_EQ(sphere.quadric, r.spheres[0].quadric);
    }
    EXPECT_TRUE(r.bound(textureName(kSun)));
}

TEST_F(ScenePass, NoQuadricIsMadeOrLeftBehindFromPassToPass) {
    startRecording();
    for (int i = 0; i < 200; ++i) {
        core->drawScene();
    }
    stopRecording();
    const Recording& r = recording();
    EXPECT_LE(r.quadricsMade, 1) << "at most the first pass of the process makes the quadric";
    EXPECT_EQ(r.quadricsFreed, 0);
    ASSERT_EQ(quadricsOfTheProcess().size(), 1u);
    const QuadricState& quadric = quadricsOfTheProcess()[0];
    EXPECT_EQ(quadric.drawStyle, static_cast<GLenum>(GLU_FILL));
    EXPECT_TRUE(quadric.textured);
    ASSERT_EQ(r.spheres.size(), 800u);
    for (const SphereCall& sphere : r.spheres) {
        ASSERT_EQ(sphere.quadric, quadric.quadric);
    }
}

TEST_F(ScenePass, BodiesTurnByTheirRatesInTheMenuAndStandStillWhilePaused) {
    core->frameTime = 0.5;
    pass();
    EXPECT_FLOAT_EQ(core->play.earthAngle, 4.0f);
    EXPECT_FLOAT_EQ(core->play.moonAngle, -6.5f);
    EXPECT_FLOAT_EQ(core->play.venusAngle, 194.0f);
    EXPECT_FLOAT_EQ(core->play.mercuryAngle, 334.0f);
    EXPECT_FLOAT_EQ(core->play.sunAngle, 344.5f);

    core->play.paused = true;
    const Recording first = pass();
    const float angles[5] = {core->play.earthAngle, core->play.moonAngle, core->play.venusAngle, core->play.mercuryAngle,
                             core->play.sunAngle};
    const Recording& second = pass();
    EXPECT_EQ(angles[0], 4.0f);
    EXPECT_EQ(core->play.earthAngle, angles[0]);
    EXPECT_EQ(core->play.moonAngle, angles[1]);
    EXPECT_EQ(core->play.venusAngle, angles[2]);
    EXPECT_EQ(core->play.mercuryAngle, angles[3]);
    EXPECT_EQ(core->play.sunAngle, angles[4]);
    ASSERT_EQ(second.spheres.size(), 4u) << "paused bodies are still drawn";
    EXPECT_TRUE(second.bound(textureName(kSun)));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(distance(first.spheres[i].modelView, second.spheres[i].modelView), 0.0f);
    }
}

TEST_F(ScenePass, AnglesAreSetToZeroAtTheirLimitsNotWrapped) {
    struct Case {
        float PlayState::*angle;
        float start;
        float after;  // one pass of one second
    };
    const Case cases[] = {
        {&PlayState::earthAngle, 351.0f, 359.0f},   {&PlayState::earthAngle, 352.0f, 0.0f},
        {&PlayState::earthAngle, 359.0f, 0.0f},     {&PlayState::moonAngle, -346.0f, -359.0f},
        {&PlayState::moonAngle, -347.0f, 0.0f},     {&PlayState::venusAngle, -348.0f, 0.0f},
        {&PlayState::mercuryAngle, -348.0f, 0.0f},  {&PlayState::mercuryAngle, -355.0f, 0.0f},
        {&PlayState::sunAngle, -348.0f, -359.0f},   {&PlayState::sunAngle, -349.0f, 0.0f},
    };
    core->frameTime = 1.0;
    for (const Case& c : cases) {
        core->play.*c.angle = c.start;
        pass();
        EXPECT_EQ(core->play.*c.angle, c.after) << "from " << c.start;
    }
}

TEST_F(ScenePass, SmallBodiesAndTheSunHideInsideTheirWindows) {
    struct Case {
        float PlayState::*angle;
        int texture;
        float value;
        bool shown;
    };
    const Case cases[] = {
        {&PlayState::moonAngle, kMoon, -47.9f, true},       {&PlayState::moonAngle, kMoon, -48.0f, false},
        {&PlayState::moonAngle, kMoon, -200.0f, false},     {&PlayState::moonAngle, kMoon, -345.0f, false},
        {&PlayState::moonAngle, kMoon, -345.1f, true},      {&PlayState::venusAngle, kVenus, -48.0f, false},
        {&PlayState::venusAngle, kVenus, 200.0f, true},     {&PlayState::mercuryAngle, kMercury, -345.0f, false},
        {&PlayState::mercuryAngle, kMercury, -350.0f, true}, {&PlayState::sunAngle, kSun, -59.9f, true},
        {&PlayState::sunAngle, kSun, -60.0f, false},        {&PlayState::sunAngle, kSun, -345.0f, false},
        {&PlayState::sunAngle, kSun, -345.5f, true},        {&PlayState::sunAngle, kSun, 350.0f, true},
        {&PlayState::earthAngle, kEarth, 200.0f, true},
    };
    core->frameTime = 0.0;
    for (const Case& c : cases) {
        core->play.*c.angle = c.value;
        pass();
        EXPECT_EQ(drawn(c.texture), c.shown) << "texture entry " << c.texture << " at " << c.value;
    }
}

TEST_F(ScenePass, TheFirstPassLooksFromTheConstructorViewLaterPassesFromTheFixedOne) {
    const Camera fresh;
    EXPECT_EQ(fresh.eye.y, 30.0f);
    core->frameTime = 0.0;
    const Matrix earth = compose(Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                                 [] { glTranslatef(0.0f, 50.0f, -140.0f); });
    const auto placedBy = [&earth](const Matrix& view) {
        return compose(view, [&earth] { glMultMatrixf(earth.data()); });
    };
    const Matrix first = pass().spheres.at(0).modelView;
    EXPECT_LT(distance(first, placedBy(lookAt(kFirstEye, kFirstCenter, kFirstUp))), 1e-3f);
    const Matrix second = pass().spheres.at(0).modelView;
    EXPECT_LT(distance(second, placedBy(lookAt(kEye, kCenter, kUp))), 1e-3f);
    EXPECT_GT(distance(first, second), 1.0f);
}

TEST_F(ScenePass, CameraLoadsItsViewAndTakesANewOneOnlyAtTheNextLook) {
    Camera c;
    c.look();
    const Matrix firstLook = currentModelView();
    c.look();
    EXPECT_EQ(distance(currentModelView(), firstLook), 0.0f);
    EXPECT_LT(distance(firstLook, lookAt(kFirstEye, kFirstCenter, kFirstUp)), 1e-6f);

    c.set(Vector3(kEye[0], kEye[1], kEye[2]), Vector3(kCenter[0], kCenter[1], kCenter[2]),
          Vector3(kUp[0], kUp[1], kUp[2]));
    EXPECT_EQ(distance(currentModelView(), firstLook), 0.0f) << "set alone changes no matrix";
    c.look();
    const float unitUp[3] = {-0.70710678f, 0.70710678f, 0.0f};
    EXPECT_LT(distance(currentModelView(), lookAt(kEye, kCenter, unitUp)), 1e-5f);
}

TEST_F(ScenePass, ShipIsBroughtBackInsideItsBoundOnlyForTheNextPass) {
    struct Case {
        float lateral;
        float next;
    };
    const Case cases[] = {
        {6.827507f, 6.827507f}, {-6.827507f, -6.827507f}, {-6.9f, -6.727507f},
        {6.9f, 6.727507f},      {-30.0f, -6.727507f},      {2.0f, 2.0f},
    };
    pass();  // the fixed view from here on
    const Matrix view = lookAt(kEye, kCenter, kUp);
    const auto shipAt = [&view](float y) {
        return compose(view, [y] {
            glTranslatef(0.0f, -10.0f, y);
            glRotatef(90.0f, 0.0f, -1.0f, 0.0f);
            glScalef(0.5f, 0.5f, 0.5f);
        });
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lateral);
        player.setLateral(c.lateral);
        const BindCall* ship = pass().firstBind(1);
        ASSERT_NE(ship, nullptr) << "the ship is drawn with texture name 1";
        EXPECT_LT(distance(ship->modelView, shipAt(c.lateral)), 1e-4f) << "this pass draws where the ship was";
        EXPECT_EQ(player.getPosition().y, c.next);
        EXPECT_LT(distance(pass().firstBind(1)->modelView, shipAt(c.next)), 1e-4f);
    }
}

TEST_F(ScenePass, DeveloperModeDrawsTheGridAndKeepsTheWireFrameButFillsTheOverlay) {
    EXPECT_EQ(pass().lineBatches, 0);

    core->play.devMode = true;
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);  // as start-up sets it in developer mode
    const Recording& r = pass();
    EXPECT_EQ(r.lineBatches, 1);
    ASSERT_EQ(r.lineVertices.size(), 201u * 4u);
    float low = 0.0f, high = 0.0f;
    for (const auto& v : r.lineVertices) {
        ASSERT_EQ(v[1], -40.0f);
        low = std::min({low, v[0], v[2]});
        high = std::max({high, v[0], v[2]});
    }
    EXPECT_EQ(low, -500.0f);
    EXPECT_EQ(high, 500.0f);
    GLint mode[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_LINE) << "the next pass's solids are lines again";

    // The swatch (chain colour 1, blue) is filled, not outlined.
    const Picture picture = readBackBuffer();
    savePicture(picture, std::string(REDAVAVE_BINARY_DIR) + "/test-artefacts/scene/developer_mode.ppm");
    const SwatchArea swatch = swatchArea(kScreenWidth);
    const std::uint8_t* inside = picture.at(swatch.centreX, swatch.centreY);
    EXPECT_EQ(inside[0], 0);
    EXPECT_EQ(inside[1], 0);
    EXPECT_EQ(inside[2], 255);
}

TEST_F(ScenePass, TheCourseRunsOnlyWhileASongIsPlayed) {
    cars.spawn(0, 2);
    const float start = cars.getX(0);
    pass();
    EXPECT_EQ(cars.getX(0), start) << "in the menu the course stands";

    play(*core);
    pass();
    EXPECT_FLOAT_EQ(cars.getX(0), start - 110.0f / 60.0f);
    EXPECT_FALSE(core->play.inMenu);
}

}  // namespace
