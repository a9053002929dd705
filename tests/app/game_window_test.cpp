// The real window of the game: Core::createWindow, its main loop, the window
// procedure and the teardown, driven through SDL events as the desktop sends them.

#include <GL/gl.h>
#include <SDL.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Core.h"
#include "platform/key_codes.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "tests/diag/working_folder.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/test_env.h"

using ::testing::Contains;

namespace {

// Boxes go to the test output, so a failed start-up tells why.
int printBox(const char* text, const char* title, std::uint32_t) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    return plat::IDOK;
}

// Sound effects the sound start-up insists on; everything else may be missing
// (it is reported and the game goes on).
void writeSoundEffects(const WorkingFolder& folder) {
    std::filesystem::create_directories(folder.path() / "resources/Sounds");
    for (const char* name : {"blockHit", "bonusHit", "SkullHit"}) {
        const std::string path = (folder.path() / "resources/Sounds" / name).string() + ".mp3";
        std::string why;
        ASSERT_TRUE(fixtures::writeSong(path, fixtures::AudioFormat::Mp3, fixtures::tone(440.0, 0.1), &why))
            << path << ": " << why;
    }
}

class GameWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset)";
        }
        if (!testenv::get("SDL_AUDIODRIVER")) {
            testenv::set("SDL_AUDIODRIVER", "dummy");
        }
        plat::setMessageBoxBackend(printBox);
        ASSERT_NO_FATAL_FAILURE(writeSoundEffects(folder));
        plat::WindowClass wc;
        wc.style = plat::CS_HREDRAW | plat::CS_VREDRAW | plat::CS_OWNDC;
        wc.windowProc = windowProc;
        wc.instance = plat::moduleHandle();
        wc.className = "OpenGL";
        ASSERT_TRUE(plat::registerClass(wc));

        core = new Core;
        core->parseCommandLine("-devmode -window");
        // The loop ends as soon as the messages of creation are handled; the
        // window and its context stay until the teardown.
        plat::postQuitMessage(0);
        ASSERT_TRUE(core->createWindow(plat::moduleHandle()));
        ASSERT_NE(core->hWnd, nullptr);
    }
    void TearDown() override {
        delete core;
        plat::setMessageBoxBackend(nullptr);
    }

    // Feeds one SDL event through the queue and the window procedure.
    void deliver(SDL_Event event) {
        ASSERT_EQ(SDL_PushEvent(&event), 1);
        plat::Message message;
        while (plat::peekMessage(&message, true)) {
            if (message.message == plat::WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
            }
            plat::dispatchMessage(message);
        }
    }
    void key(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(core->hWnd->sdl);
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        deliver(event);
    }
    void focus(Uint8 what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(core->hWnd->sdl);
        event.window.event = what;
        deliver(event);
    }
    int count(const std::string& line) const {
        int n = 0;
        for (const std::string& l : folder.lines()) {
            n += l == line ? 1 : 0;
        }
        return n;
    }

    WorkingFolder folder;
    Core* core = nullptr;
    int quitCode = -1;  // -1 until a quit message came through
};

TEST_F(GameWindowTest, RunLogsItsLinesInOrderAndShutsDownOnce) {
    EXPECT_EQ(core->appState, APP_STATE_RUNNING);
    core->shutdown();
    core->shutdown();
    delete core;  // runs the shutdown a third time
    core = nullptr;

    const auto lines = folder.lines();
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "#In Developer Mode");
    EXPECT_EQ(lines[1], "#Window Mode!");
    EXPECT_EQ(lines[2], "No Error");
    EXPECT_EQ(lines[3].rfind("#Game Started: ", 0), 0u);
    EXPECT_THAT(lines, Contains("#Initalized Audio"));
    EXPECT_THAT(lines, Contains("Could Not Find Any Music!"));
    EXPECT_EQ(lines[lines.size() - 2], "#Game Closing! - Game By Rodadi Vuzivi");
    EXPECT_EQ(lines.back(), "Unloaded Window OK!");
    EXPECT_EQ(count("Unloaded Window OK!"), 1);
    EXPECT_EQ(count("#Game Closing! - Game By Rodadi Vuzivi"), 1);
}

TEST_F(GameWindowTest, KeysAndLatchesFollowTheKeyMessages) {
    key(SDL_KEYDOWN, SDLK_RIGHT);
    EXPECT_TRUE(core->play.keys[plat::VK_RIGHT]);
    core->play.keyLatch[plat::VK_RIGHT] = true;  // the command handler acted on the press
    key(SDL_KEYDOWN, SDLK_RIGHT);           // auto-repeat
    EXPECT_TRUE(core->play.keyLatch[plat::VK_RIGHT]);
    key(SDL_KEYUP, SDLK_RIGHT);
    EXPECT_FALSE(core->play.keys[plat::VK_RIGHT]);
    EXPECT_FALSE(core->play.keyLatch[plat::VK_RIGHT]) << "an ordinary release clears the latch";

    // With Alt held the key is a system key: its release keeps the latch.
    key(SDL_KEYDOWN, SDLK_p, KMOD_LALT);
    EXPECT_TRUE(core->play.keys[plat::VK_P]);
    core->play.keyLatch[plat::VK_P] = true;
    key(SDL_KEYUP, SDLK_p, KMOD_LALT);
    EXPECT_FALSE(core->play.keys[plat::VK_P]);
    EXPECT_TRUE(core->play.keyLatch[plat::VK_P]);
    key(SDL_KEYDOWN, SDLK_p);
    key(SDL_KEYUP, SDLK_p);
    EXPECT_FALSE(core->play.keyLatch[plat::VK_P]);
}

TEST_F(GameWindowTest, DeactivationSuspendsAndPausesOnlyAPlayingSong) {
    focus(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_FALSE(core->play.active);
    EXPECT_EQ(core->appState, APP_STATE_SUSPENDED);
    EXPECT_FALSE(core->play.paused) << "in the menu nothing is paused";
    focus(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_TRUE(core->play.active);
    EXPECT_EQ(core->appState, APP_STATE_RUNNING);

    core->play.inMenu = false;  // a song is playing
    focus(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(core->appState, APP_STATE_SUSPENDED);
    EXPECT_TRUE(core->play.paused);
    focus(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(core->appState, APP_STATE_RUNNING);
    EXPECT_TRUE(core->play.paused) << "coming back does not resume the song";
    core->play.inMenu = true;
}

TEST_F(GameWindowTest, FrameAfterAPauseIsClampedAndCountedAfterTheSwap) {
    core->appState = APP_STATE_SUSPENDED;
    const std::int64_t before = core->timerLast;
    core->frame();
    EXPECT_EQ(core->timerLast, before);

    core->appState = APP_STATE_RUNNING;
    core->timerLast = before - static_cast<std::int64_t>(2.0 / core->timerScale);
    const double framesBefore = core->fpsFrames + core->fpsSeconds;
    core->frame();
    EXPECT_EQ(core->frameTime, 0.25);
    EXPECT_NE(core->fpsFrames + core->fpsSeconds, framesBefore) << "a presented frame is counted";
}

TEST_F(GameWindowTest, SizeMessagesFollowTheClientAreaAndProjectionsStayFinite) {
    plat::moveWindow(core->hWnd, 0, 0, 640, 480, true);
    plat::Rect client;
    plat::getClientRect(core->hWnd, &client);
    EXPECT_EQ(core->screenWidth, client.right);
    EXPECT_EQ(core->screenHeight, client.bottom);

    core->resizeView(640, 0);  // a minimised window
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (GLfloat value : projection) {
        EXPECT_TRUE(std::isfinite(value));
    }
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    core->setOrtho();
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[0], 2.0f / static_cast<float>(client.right));
    EXPECT_FLOAT_EQ(projection[5], 2.0f / static_cast<float>(client.bottom));
    EXPECT_FLOAT_EQ(projection[12], -1.0f);
    EXPECT_FLOAT_EQ(projection[13], -1.0f);
}

TEST_F(GameWindowTest, CloseRequestShutsDownAndEndsTheLoopWithCodeZero) {
    focus(SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(core->shutDownDone);
    EXPECT_EQ(core->hWnd, nullptr);
    EXPECT_EQ(quitCode, 0);
    EXPECT_EQ(folder.lines().back(), "Unloaded Window OK!");
    EXPECT_EQ(count("#Game Closing! - Game By Rodadi Vuzivi"), 1);
}

TEST_F(GameWindowTest, DeveloperModeDrawsPolygonsAsLines) {
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_LINE);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GT(depthBits, 0);
}

}  // namespace
