// The window's activation as the shell handles it, on a play state in the
// middle of a song: losing the focus pauses play, regaining it does not resume.

#include <gtest/gtest.h>

#include "app/Core.h"
#include "game/keys.h"
#include "platform/key_codes.h"
#include "platform/window.h"
#include "tests/game/game_world.h"

namespace {

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        core.play = gametest::makePlay();
        core.appState = APP_STATE_RUNNING;
    }
    // The sound engine serves every test of the process: the Core leaves
    // without shutting it down.
    void TearDown() override { core.shutDownDone = true; }

    void startPlaying() {
        core.play.inMenu = false;
        core.play.firstMenu = false;
        core.play.paused = false;
        gametest::startSong(gametest::kSongs[0]);
    }
    void activate(bool on) {
        core.handleMessage(plat::WM_ACTIVATE, on ? plat::WA_ACTIVE : plat::WA_INACTIVE, 0);
    }
    // The game's keyboard step of one frame, the way the loop runs it.
    void frame() { core.carryOut(processKeys(core.play, gametest::kFrameTime)); }
    void tap(unsigned key) {
        keyDown(core.play, key);
        frame();
        keyUp(core.play, key);
        frame();
    }
    bool songChannelPaused() { return gametest::songChannelPaused(); }

    Core core;
};

TEST_F(ActivationTest, DeactivatingTheWindowPausesPlay) {
    startPlaying();
    activate(false);
    frame();
    EXPECT_TRUE(core.play.paused);
    EXPECT_FALSE(core.play.inMenu);
    EXPECT_FALSE(core.play.active);
    EXPECT_EQ(core.appState, APP_STATE_SUSPENDED);
    EXPECT_TRUE(songChannelPaused());

    activate(true);
    frame();
    EXPECT_TRUE(core.play.active);
    EXPECT_EQ(core.appState, APP_STATE_RUNNING);
    EXPECT_TRUE(core.play.paused) << "activation does not resume the song";
    EXPECT_TRUE(songChannelPaused());

    tap(plat::VK_P);
    EXPECT_FALSE(core.play.paused);
    EXPECT_FALSE(core.play.inMenu);
    EXPECT_FALSE(songChannelPaused());
}

TEST_F(ActivationTest, DeactivatingTheWindowInTheMenuChangesNoGameState) {
    core.play.inMenu = true;
    core.play.firstMenu = false;  // the Score menu
    activate(false);
    frame();
    EXPECT_TRUE(core.play.inMenu);
    EXPECT_FALSE(core.play.firstMenu);
    EXPECT_FALSE(core.play.paused);
    EXPECT_EQ(core.appState, APP_STATE_SUSPENDED);
}

}  // namespace
