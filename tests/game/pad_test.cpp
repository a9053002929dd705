// The pad through SDL's own controller code (a virtual controller plugged in
// for each test), and the mouse when no pad answers.

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "game/commands.h"
#include "game/keys.h"
#include "game/pad.h"
#include "platform/gamepad.h"
#include "platform/key_codes.h"
#include "platform/system.h"
#include "tests/game/game_world.h"
#include "tests/support/virtual_pad.h"

namespace {

using namespace plat;
using gametest::State;
using gametest::nameOf;

bool displayThere() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

class PadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pad.plugged()) << "SDL's virtual controller could not be plugged in";
        play = gametest::makePlay();
        gametest::enter(play, State::Playing);
        play.firstMenu = false;
    }
    void TearDown() override { overrideScreenSize(0, 0); }

    // One frame with the pad holding `buttons` and the stick at `stick`.
    ShellRequest poll(std::uint16_t buttons, std::int16_t stick = 0) {
        pad.hold(buttons, stick);
        return pollGamepad();
    }
    ShellRequest pollGamepad() { return ::pollGamepad(play, frameTime, screenWidth, screenHeight); }
    // A press and its release, one frame each; what the press asked for.
    ShellRequest tap(std::uint16_t buttons) {
        const ShellRequest request = poll(buttons);
        poll(0);
        return request;
    }
    void unplug() { pad.unplug(); }

    testpad::VirtualPad pad;
    PlayState play;
    double frameTime = gametest::kFrameTime;
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
        {GAMEPAD_A | GAMEPAD_Y | GAMEPAD_DPAD_LEFT | GAMEPAD_DPAD_RIGHT, 0, 0.0f},
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
    const double keyFrame = 0.05;
    keyDown(play, VK_LEFT);
    processKeys(play, keyFrame);
    EXPECT_NEAR(player.getPosition().y, -1.2f, 1e-5f) << "the keyboard steered first";
    poll(0);
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.0f);
    processKeys(play, keyFrame);
    poll(GAMEPAD_B);
    EXPECT_FLOAT_EQ(player.getPosition().y, 3.0f);
}

TEST_F(PadTest, PadLeavesTheShipAloneInTheMenuAndWhilePaused) {
    for (const State state : {State::Score, State::Paused}) {
        gametest::enter(play, state);
        pad.plug();
        player.setLateral(0.8f);
        poll(GAMEPAD_X, -30000);
        EXPECT_FLOAT_EQ(player.getPosition().y, 0.8f) << nameOf(state);
        EXPECT_TRUE(play.padConnected) << nameOf(state);
        unplug();
        pollGamepad();
        EXPECT_FALSE(play.padConnected) << nameOf(state);
    }
}

// Every row starts from a course with a live object, 40 points and a chain
// bonus, then taps one button.
TEST_F(PadTest, ButtonsMoveBetweenTheStates) {
    struct Case {
        State from;
        std::uint16_t button;
        State to;
        bool restarts;    // the course, points and bonus cleared
        bool newSong;     // the selected song started: points cleared
        ShellRequest request;
    };
    const ShellRequest none = ShellRequest::none;
    const Case cases[] = {
        {State::Welcome, GAMEPAD_A, State::Playing, false, true, none},
        {State::Welcome, GAMEPAD_START, State::Playing, false, true, none},
        {State::Welcome, GAMEPAD_Y, State::Welcome, false, false, none},
        {State::Welcome, GAMEPAD_BACK, State::Welcome, false, false, ShellRequest::shutDown},
        {State::Score, GAMEPAD_A, State::Playing, false, true, none},
        {State::Score, GAMEPAD_START, State::Playing, true, false, none},
        {State::Score, GAMEPAD_Y, State::Score, false, false, none},
        {State::Score, GAMEPAD_BACK, State::Score, false, false, ShellRequest::shutDown},
        {State::Playing, GAMEPAD_START, State::Paused, false, false, none},
        {State::Playing, GAMEPAD_A, State::Playing, false, false, none},
        {State::Playing, GAMEPAD_Y, State::Playing, false, false, none},
        {State::Playing, GAMEPAD_BACK, State::Playing, false, false, none},
        {State::Paused, GAMEPAD_START, State::Playing, false, false, none},
        {State::Paused, GAMEPAD_Y, State::Playing, true, false, none},
        {State::Paused, GAMEPAD_BACK, State::Score, true, false, none},
        {State::Paused, GAMEPAD_A, State::Paused, false, false, none},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(nameOf(c.from)) + " + button " + std::to_string(c.button);
        play = gametest::makePlay();
        gametest::enter(play, c.from);
        play.firstMenu = c.from == State::Welcome;
        play.selectedSong = 1;
        poll(0);
        player.addPoints(40);
        play.comboBonus = 20;
        cars.spawn(5, 1);
        EXPECT_EQ(tap(c.button), c.request) << what;
        EXPECT_EQ(gametest::stateOf(play), c.to) << what << " gave " << nameOf(gametest::stateOf(play));
        EXPECT_EQ(player.getPoints(), c.restarts || c.newSong ? 0 : 40) << what;
        EXPECT_EQ(play.comboBonus, c.restarts ? 0 : 20) << what;
        EXPECT_EQ(cars.allInactive(), c.restarts) << what;
        if (c.newSong) {
            EXPECT_EQ(audio.songPath, "resources/Music/" + gametest::kSongs[1]) << what;
        }
        if (c.to == State::Paused || (c.from == State::Paused && c.to == State::Playing)) {
            EXPECT_EQ(gametest::songChannelPaused(), c.to == State::Paused) << what;
        }
    }
}

// A button acts on its press: held, it does nothing more, and it has to be
// let go of before it acts again.
TEST_F(PadTest, HeldButtonsActOncePerPress) {
    gametest::enter(play, State::Score);
    EXPECT_EQ(poll(GAMEPAD_START), ShellRequest::none);
    EXPECT_EQ(gametest::stateOf(play), State::Playing);
    EXPECT_EQ(poll(GAMEPAD_START), ShellRequest::none);
    EXPECT_EQ(gametest::stateOf(play), State::Playing) << "still the same press: no pause";
    poll(0);
    poll(GAMEPAD_START);
    EXPECT_EQ(gametest::stateOf(play), State::Paused);

    gametest::enter(play, State::Welcome);
    poll(0);
    EXPECT_EQ(poll(GAMEPAD_BACK), ShellRequest::shutDown);
    EXPECT_EQ(poll(GAMEPAD_BACK), ShellRequest::none) << "a held BACK is one press";

    // A press made while it had nothing to do does not act once it has.
    gametest::enter(play, State::Playing);
    poll(GAMEPAD_A);
    gametest::enter(play, State::Score);
    poll(GAMEPAD_A);
    EXPECT_EQ(gametest::stateOf(play), State::Score);
}

TEST_F(PadTest, StartIsTestedBeforeBack) {
    gametest::enter(play, State::Score);
    poll(0);
    EXPECT_EQ(poll(GAMEPAD_START | GAMEPAD_BACK), ShellRequest::none);
    EXPECT_EQ(gametest::stateOf(play), State::Playing) << "START replayed; BACK no longer exits";
}

TEST_F(PadTest, DpadUpAndDownChangeTheVolumeEveryFrameInEveryState) {
    for (const State state : {State::Welcome, State::Playing, State::Paused}) {
        gametest::enter(play, State::Playing);
        gametest::enter(play, state);
        float start = 0.0f;
        ASSERT_NE(audio.songChannel, nullptr);
        audio.songChannel->getVolume(&start);
        ASSERT_GT(start, 0.1f);
        poll(GAMEPAD_DPAD_DOWN);
        pollGamepad();
        pollGamepad();
        poll(GAMEPAD_DPAD_UP);
        float volume = 0.0f;
        audio.songChannel->getVolume(&volume);
        EXPECT_NEAR(volume, start - 0.02f, 1e-5f) << nameOf(state) << ": 0.01 a frame, as Page Up and Down";
        poll(0);
    }
}

TEST_F(PadTest, ShouldersJumpToTheNeighbouringFolderOncePerPress) {
    gametest::enter(play, State::Welcome);
    play.musicList = {"a.ogg", "Al/1.ogg", "Al/2.ogg", "Bl/1.ogg"};
    play.maxSongIndex = 3;
    play.selectedSong = 0;
    poll(0);
    poll(GAMEPAD_RIGHT_SHOULDER);
    EXPECT_EQ(play.selectedSong, 1);
    for (int i = 0; i < 60; ++i) {
        pollGamepad();
    }
    EXPECT_EQ(play.selectedSong, 1) << "held, RB does not repeat";
    poll(0);
    poll(GAMEPAD_RIGHT_SHOULDER);
    EXPECT_EQ(play.selectedSong, 3);
    poll(0);
    poll(GAMEPAD_LEFT_SHOULDER);
    EXPECT_EQ(play.selectedSong, 1);
    poll(0);
    poll(GAMEPAD_LEFT_SHOULDER);
    EXPECT_EQ(play.selectedSong, 0);
}

// A press steps one song, round past the ends; held, it repeats after 0.4 s
// and ever faster, the same at any frame rate, and stops at the ends.
class PadRepeatTest : public PadTest {
protected:
    void SetUp() override {
        PadTest::SetUp();
        gametest::enter(play, State::Welcome);
        play.musicList.clear();
        for (int i = 0; i < kSongCount; ++i) {
            play.musicList.push_back("Album " + std::to_string(i / 12) + "/" + std::to_string(i % 12) + ".ogg");
        }
        play.maxSongIndex = kSongCount - 1;
        play.selectedSong = 0;
        poll(0);
    }
    static constexpr int kSongCount = 20000;
};

TEST_F(PadRepeatTest, HeldDpadRepeatsFasterTheLongerItIsHeld) {
    struct Mark {
        double seconds;  // held for
        int songs;       // moved in all
    };
    // A step at the press; ten a second from 0.4 s; twenty from 2.4 s; then
    // strides of 10, 100 and 1,000 songs from 4.4, 6.4 and 8.4 s.
    const Mark marks[] = {
        {0.0, 1},    {0.35, 1},   {0.4, 2},    {0.5, 3},    {1.0, 8},     {2.35, 21},
        {2.4, 22},   {3.4, 42},   {4.35, 61},  {4.4, 71},   {6.35, 461},  {6.4, 561},
        {8.35, 4461}, {8.4, 5461}, {8.55, 8461}, {9.2, 19999},
    };
    for (const double frame : {1.0 / 60.0, 1.0 / 20.0}) {
        SCOPED_TRACE(std::to_string(frame) + " s frames");
        frameTime = frame;
        play.selectedSong = 0;
        double held = 0.0;
        poll(GAMEPAD_DPAD_RIGHT);
        for (const Mark& mark : marks) {
            while (held + frame <= mark.seconds + 1e-9) {
                held += frame;
                pollGamepad();
            }
            if (held + 1e-9 >= mark.seconds) {  // a mark between two frames is skipped
                EXPECT_EQ(play.selectedSong, mark.songs) << "held " << mark.seconds << " s";
            }
        }
        for (int i = 0; i < 100; ++i) {
            pollGamepad();
        }
        EXPECT_EQ(play.selectedSong, kSongCount - 1) << "a held D-pad stops at the last song";
        poll(0);
        poll(GAMEPAD_DPAD_RIGHT);
        EXPECT_EQ(play.selectedSong, 0) << "a fresh press goes round to the first";
        poll(0);
    }
}

TEST_F(PadRepeatTest, StickAndDpadChooseAlikeAndLettingGoStartsAfresh) {
    struct Case {
        const char* what;
        std::uint16_t buttons;
        std::int16_t stick;
        int from;
        int after1s;  // held for a second
    };
    const Case cases[] = {
        {"D-pad right", GAMEPAD_DPAD_RIGHT, 0, 100, 108},
        {"D-pad left", GAMEPAD_DPAD_LEFT, 0, 100, 92},
        {"stick right", 0, 32767, 100, 108},
        {"stick left", 0, -32768, 100, 92},
        {"stick just past the steering threshold", 0, 20001, 100, 108},
        {"stick at the threshold", 0, 20000, 100, 100},
        {"left from the first song: round to the last, then on down", GAMEPAD_DPAD_LEFT, 0, 0, 19992},
    };
    for (const Case& c : cases) {
        play.selectedSong = c.from;
        poll(0);
        poll(c.buttons, c.stick);
        for (int i = 0; i < 60; ++i) {
            pollGamepad();
        }
        EXPECT_EQ(play.selectedSong, c.after1s) << c.what;
    }

    // The clock starts again at every press.
    play.selectedSong = 100;
    poll(0);
    for (int press = 0; press < 5; ++press) {
        poll(GAMEPAD_DPAD_RIGHT);
        for (int i = 0; i < 20; ++i) {
            pollGamepad();
        }
        poll(0);
    }
    EXPECT_EQ(play.selectedSong, 105) << "five presses of a third of a second: five steps";

    // While a song plays the D-pad does nothing, and a direction held into
    // the menu does not start repeating there.
    gametest::enter(play, State::Playing);
    poll(GAMEPAD_DPAD_RIGHT);
    gametest::enter(play, State::Score);
    for (int i = 0; i < 60; ++i) {
        pollGamepad();
    }
    EXPECT_EQ(play.selectedSong, 105);
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
    pad.plug();
    poll(0);
    EXPECT_TRUE(play.padConnected) << "plugged in again";
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.0f);
}

// A button held while the pad was unplugged and plugged in again is a new press.
TEST_F(PadTest, PlugCycleForgetsWhatWasHeld) {
    gametest::enter(play, State::Playing);
    poll(GAMEPAD_START);
    EXPECT_TRUE(play.paused);
    unplug();
    pollGamepad();
    pad.plug();
    poll(GAMEPAD_START);
    EXPECT_FALSE(play.paused);
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
