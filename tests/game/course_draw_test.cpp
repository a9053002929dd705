#include <GL/gl.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "game/Player.h"
#include "game/carClass.h"
#include "game/course.h"
#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/scene.h"
#include "tests/game/game_world.h"

namespace {

using namespace plat;

LRESULT plainProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    return defWindowProc(window, message, wParam, lParam);
}

// A small window with a current OpenGL context, the projection left at identity.
class CourseDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || display[0] == '\0') {
            GTEST_SKIP() << "drawing needs an OpenGL context on a display (DISPLAY is unset)";
        }
        static bool registered = false;
        if (!registered) {
            WindowClass windowClass;
            windowClass.windowProc = plainProc;
            windowClass.instance = moduleHandle();
            windowClass.className = "RedavaveCourseDraw";
            registered = registerClass(windowClass);
        }
        window = createWindow(0, "RedavaveCourseDraw", "course draw", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                              moduleHandle(), nullptr);
        ASSERT_NE(window, nullptr);
        dc = getDC(window);
        PixelFormatDescriptor request;
        request.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        const int format = choosePixelFormat(dc, &request);
        ASSERT_TRUE(setPixelFormat(dc, format, &request));
        context = createContext(dc);
        ASSERT_TRUE(makeCurrent(dc, context));
        glViewport(0, 0, 64, 64);

        play = gametest::makePlay();
        play.inMenu = false;
        gametest::startSong(gametest::kSongs[0]);
        gametest::scriptPeakBin(5);
        player.setLateral(5.5f);  // no lane: nothing is collected

        // Stand-in for the car model: a large square across the model's y-z
        // plane, which the course turns to face the camera.
        carList = glGenLists(1);
        glNewList(carList, GL_COMPILE);
        glBegin(GL_QUADS);
        glVertex3f(0.0f, -50.0f, -50.0f);
        glVertex3f(0.0f, 50.0f, -50.0f);
        glVertex3f(0.0f, 50.0f, 50.0f);
        glVertex3f(0.0f, -50.0f, 50.0f);
        glEnd();
        glEndList();
    }
    void TearDown() override {
        gametest::stopScript();
        if (context != nullptr) {
            makeCurrent(nullptr, nullptr);
            deleteContext(context);
        }
        if (window != nullptr) {
            releaseDC(window, dc);
            destroyWindow(window);
        }
        Message message;
        while (peekMessage(&message, true)) {
        }
    }

    // Draws one frame of the course over black and reads the centre pixel.
    void drawFrame(unsigned char rgb[3]) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        updateCourse(play, gametest::kFrameTime, courseDrawer(&carList));
        glFinish();
        glReadBuffer(GL_BACK);
        glReadPixels(32, 32, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    }

    WindowHandle window = nullptr;
    DeviceContext dc = nullptr;
    GlContext context = nullptr;
    PlayState play;
    unsigned carList = 0;
};

TEST_F(CourseDrawTest, BlocksShowTheirColourAndCollectedOnesAreNotDrawn) {
    struct Case {
        int color;
        unsigned char rgb[3];
    };
    const Case cases[] = {
        {COLOR_BLUE, {0, 0, 255}},
        {COLOR_RED, {255, 0, 0}},
        {COLOR_GREEN, {0, 255, 0}},
    };
    for (const Case& c : cases) {
        cars.deactivateAll();
        gametest::placeObject(0, 2, 4, c.color, 0.0f);
        unsigned char rgb[3] = {};
        drawFrame(rgb);
        EXPECT_EQ(rgb[0], c.rgb[0]) << "colour " << c.color;
        EXPECT_EQ(rgb[1], c.rgb[1]) << "colour " << c.color;
        EXPECT_EQ(rgb[2], c.rgb[2]) << "colour " << c.color;
    }
    cars.setHit(0, true);
    unsigned char rgb[3] = {1, 1, 1};
    drawFrame(rgb);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0) << "a collected object is not drawn";
}

// Each drawing step switches off again what it switched on, and leaves the
// colour white and the matrix stack as it found them.
TEST_F(CourseDrawTest, DrawingLeavesTheStateAsItFoundIt) {
    gametest::placeObject(0, 1, KIND_BONUS, COLOR_NONE, 40.0f);
    gametest::placeObject(1, 3, KIND_SKULL, COLOR_NONE, 60.0f);
    gametest::placeObject(2, 2, 6, COLOR_GREEN, 80.0f);
    GLint depthBefore = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    unsigned char rgb[3];
    drawFrame(rgb);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLint depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << "the picture cards leave face culling on";
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 1.0f);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
    GLint source = 0;
    GLint destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    EXPECT_EQ(boundTexture, 6) << "the skull, drawn last, binds the death particle";
}

}  // namespace
