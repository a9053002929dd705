#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "game/Player.h"
#include "game/carClass.h"
#include "platform/gamepad.h"
#include "game/keys.h"
#include "game/pad.h"
#include "platform/key_codes.h"
#include "platform/system.h"
#include "tests/game/game_world.h"

namespace {

using namespace plat;

bool displayThere() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

class PadTest : public ::testing::Test {
protected:
    void SetUp() override {
        play = gametest::makePlay();
        play.inMenu = false;
        play.firstMenu = false;
        gametest::startSong(gametest::kSongs[0]);
    }
    void TearDown() override {
        overrideGamepad(false, nullptr);
        overrideScreenSize(0, 0);
    }

    ShellRequest poll(std::uint16_t buttons, std::int16_t stick = 0) {
        GamepadState state;
        state.buttons = buttons;
        state.thumbLX = stick;
        overrideGamepad(true, &state);
        return pollGamepad();
    }
    ShellRequest pollGamepad() { return ::pollGamepad(play, screenWidth, screenHeight); }
    void unplug() { overrideGamepad(true, nullptr); }

    PlayState play;
    int screenWidth = 800;  // the window's client size
    int screenHeight = 600;
};

TEST_F(PadTest, PadPutsTheShipIntoThreeLanes) {
    struct Case {
        std::uint16_t buttons;
        std::int16_t stick;
        float lateral;
    };
    const Case cases[] = {
        {0, 0, 0.0f},
        {GAMEPAD_B, 0, 3.0f},
        {GAMEPAD_X, 0, -3.0f},
        {0, 20000, 0.0f},
        {0, -20000, 0.0f},
        {0, 20001, 3.0f},
        {0, -20001, -3.0f},
        {0, 32767, 3.0f},
        {0, -32768, -3.0f},
        {GAMEPAD_B | GAMEPAD_X, 0, 3.0f},
        {GAMEPAD_X, 25000, 3.0f},
        {GAMEPAD_B, -25000, 3.0f},
        {GAMEPAD_A | GAMEPAD_Y, 0, 0.0f},
    };
    for (const Case& c : cases) {
        player.setLateral(0.8f);
        poll(c.buttons, c.stick);
        EXPECT_TRUE(play.padConnected);
        EXPECT_FLOAT_EQ(player.getPosition().y, c.lateral) << "buttons " << c.buttons << " stick " << c.stick;
    }
}

// The pad is read after the keyboard: in the same frame it has the last word.
TEST_F(PadTest, PadOverridesTheKeyboardInTheSameFrame) {
    const double frameTime = 0.05;
    keyDown(play, VK_LEFT);
    processKeys(play, frameTime);
    EXPECT_NEAR(player.getPosition().y, -1.2f, 1e-5f) << "the keyboard steered first";
    poll(0);
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.0f);
    processKeys(play, frameTime);
    poll(GAMEPAD_B);
    EXPECT_FLOAT_EQ(player.getPosition().y, 3.0f);
}

TEST_F(PadTest, PadLeavesTheShipAloneInTheMenuAndWhilePaused) {
    const struct {
        bool inMenu;
        bool paused;
    } states[] = {{true, false}, {false, true}};
    for (const auto& s : states) {
        play.inMenu = s.inMenu;
        play.paused = s.paused;
        player.setLateral(0.8f);
        poll(GAMEPAD_X, -30000);
        EXPECT_FLOAT_EQ(player.getPosition().y, 0.8f);
        EXPECT_TRUE(play.padConnected);
        unplug();
        pollGamepad();
        EXPECT_FALSE(play.padConnected);
    }
}

// START does what Space does: replay from the Score menu, restart while paused.
TEST_F(PadTest, StartRestartsFromTheScoreMenuAndWhilePaused) {
    struct Case {
        const char* what;
        bool inMenu;
        bool firstMenu;
        bool paused;
        bool restarts;
    };
    const Case cases[] = {
        {"Score menu", true, false, false, true},
        {"Paused", false, false, true, true},
        {"Paused before any song ended", false, true, true, true},
        {"Welcome menu", true, true, false, false},
        {"Playing", false, false, false, false},
    };
    for (const Case& c : cases) {
        play = gametest::makePlay();
        play.inMenu = c.inMenu;
        play.firstMenu = c.firstMenu;
        play.paused = c.paused;
        player.addPoints(40);
        cars.spawn(5, 1);
        poll(0);
        const ShellRequest request = poll(GAMEPAD_START);
        EXPECT_EQ(play.inMenu, c.restarts ? false : c.inMenu) << c.what;
        EXPECT_EQ(play.paused, c.restarts ? false : c.paused) << c.what;
        EXPECT_EQ(player.getPoints(), c.restarts ? 0 : 40) << c.what;
        EXPECT_EQ(cars.allInactive(), c.restarts) << c.what;
        EXPECT_EQ(request, ShellRequest::none) << c.what;
    }
}

TEST_F(PadTest, HeldStartActsOnce) {
    play.inMenu = true;
    poll(GAMEPAD_START);
    EXPECT_FALSE(play.inMenu);
    play.paused = true;
    player.addPoints(9);
    poll(GAMEPAD_START);
    EXPECT_TRUE(play.paused) << "still the same press";
    poll(0);
    poll(GAMEPAD_START);
    EXPECT_FALSE(play.paused);
    EXPECT_EQ(player.getPoints(), 0);
}

TEST_F(PadTest, BackDoesNothingDuringPlay) {
    for (const bool pausedNow : {false, true}) {
        play.paused = pausedNow;
        poll(0);
        EXPECT_EQ(poll(GAMEPAD_BACK), ShellRequest::none);
        EXPECT_FALSE(play.inMenu);
    }
}

TEST_F(PadTest, StartIsTestedBeforeBack) {
    play.inMenu = true;  // the Score menu: START leaves it, so BACK no longer applies
    EXPECT_EQ(poll(GAMEPAD_START | GAMEPAD_BACK), ShellRequest::none);
    EXPECT_FALSE(play.inMenu);
}

// BACK in the menu asks the shell to shut the game down, once per press.
TEST_F(PadTest, BackInTheMenuAsksForTheShutdown) {
    struct Case {
        const char* what;
        bool firstMenu;
        std::uint16_t buttons;
    };
    const Case cases[] = {
        {"Score menu", false, GAMEPAD_BACK},
        {"Welcome menu", true, GAMEPAD_BACK},
        {"Welcome menu, START ignored there", true, GAMEPAD_START | GAMEPAD_BACK},
    };
    for (const Case& c : cases) {
        play = gametest::makePlay();
        play.inMenu = true;
        play.firstMenu = c.firstMenu;
        EXPECT_EQ(poll(0), ShellRequest::none) << c.what;
        EXPECT_EQ(poll(c.buttons), ShellRequest::shutDown) << c.what;
        EXPECT_TRUE(play.inMenu) << c.what;
        EXPECT_EQ(poll(c.buttons), ShellRequest::none) << c.what << ": a held BACK is one press";
    }
}

// From the frame after the pad goes away the mouse steers, from where the pad left the ship.
TEST_F(PadTest, UnpluggedPadHandsOverToTheMouse) {
    poll(GAMEPAD_B);
    EXPECT_FLOAT_EQ(player.getPosition().y, 3.0f);
    unplug();
    if (!displayThere()) {
        pollGamepad();
        EXPECT_FALSE(play.padConnected);
        EXPECT_FLOAT_EQ(player.getPosition().y, 3.0f) << "no cursor without a display: the ship stays";
        return;
    }
    overrideScreenSize(1000, 800);
    play.fullscreen = true;
    setCursorPos(525, 400);
    pollGamepad();
    EXPECT_FALSE(play.padConnected);
    EXPECT_NEAR(player.getPosition().y, 4.0f, 1e-5f);
    poll(0);
    EXPECT_TRUE(play.padConnected) << "plugged in again";
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.0f);
}

class MouseTest : public PadTest {
protected:
    void SetUp() override {
        if (!displayThere()) {
            GTEST_SKIP() << "the mouse cursor needs a display (DISPLAY is unset)";
        }
        PadTest::SetUp();
        overrideScreenSize(1000, 800);
        unplug();
    }
    static Point cursor() {
        Point point;
        getCursorPos(&point);
        return point;
    }
};

TEST_F(MouseTest, FullScreenSteersByTheOffsetFromTheScreenCentre) {
    play.fullscreen = true;
    setCursorPos(550, 430);
    pollGamepad();
    EXPECT_NEAR(player.getPosition().y, 2.8f, 1e-5f) << "50 pixels right: 2 units";
    EXPECT_EQ(cursor().x, 500);
    EXPECT_EQ(cursor().y, 400);
    setCursorPos(480, 300);
    pollGamepad();
    EXPECT_NEAR(player.getPosition().y, 2.0f, 1e-5f);
}

// In a window the offset is taken from the centre of the previous call; the
// very first centre is half the client size.
TEST_F(MouseTest, WindowedSteersFromThePreviousCentre) {
    play.fullscreen = false;
    screenWidth = 600;
    screenHeight = 400;
    setCursorPos(320, 250);
    pollGamepad();
    EXPECT_NEAR(player.getPosition().y, 1.6f, 1e-5f);
    EXPECT_EQ(cursor().x, 500);
    EXPECT_EQ(cursor().y, 400);
    setCursorPos(490, 400);
    pollGamepad();
    EXPECT_NEAR(player.getPosition().y, 1.2f, 1e-5f);
}

TEST_F(MouseTest, MenuPinsTheCursorButLeavesTheShip) {
    play.fullscreen = true;
    play.inMenu = true;
    setCursorPos(600, 500);
    pollGamepad();
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.8f);
    EXPECT_EQ(cursor().x, 500);

    // An inactive window in the menu lets the cursor go.
    play.active = false;
    setCursorPos(600, 500);
    pollGamepad();
    EXPECT_EQ(cursor().x, 600);
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.8f);
}

TEST_F(MouseTest, PausedMouseDoesNotSteer) {
    play.fullscreen = true;
    play.paused = true;
    setCursorPos(700, 400);
    pollGamepad();
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.8f);
    EXPECT_EQ(cursor().x, 500);
}

}  // namespace
