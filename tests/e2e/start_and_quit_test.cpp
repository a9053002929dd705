// Starting and ending the real game: one copy at a time, Escape and Alt+F4,
// the closing lines of the log, and a clear failure without a display.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/e2e/game_process.h"

using ::testing::HasSubstr;

namespace {

class GameRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
    }
    e2e::GameFolder folder;
};

// Resident memory of a process in kB, from /proc; -1 when unreadable.
long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void expectClosingLines(const std::vector<std::string>& log) {
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "#Game Closing! - Game By Rodadi Vuzivi");
    EXPECT_EQ(log.back(), "Unloaded Window OK!");
}

TEST_F(GameRunTest, SecondCopyIsRefusedAndEscapeEndsTheFirstCleanly) {
    folder.addSong("Tone.ogg", 1.0);
    e2e::GameProcess game(folder, {"-window", "-devmode"});
    const unsigned long window = game.waitForWindow();
    ASSERT_NE(window, 0u) << game.standardError();
    // Start-up is over once the song list is built (with a song there, nothing is logged for it).
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();

    const std::string logBefore = folder.logText();
    e2e::GameProcess second(folder, {"-window"});
    EXPECT_EQ(second.waitForExit(10.0), 1);
    EXPECT_EQ(folder.logText(), logBefore) << "the refused copy must not write to the log";
    EXPECT_TRUE(second.standardError().empty()) << second.standardError();

    // Window mode on a desktop of the window's own size: it fills the screen.
    const e2e::Image picture = game.screenshot();
    const std::string geometry = e2e::run("xdotool getdisplaygeometry");
    EXPECT_EQ(std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n", geometry);

    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();

    const auto log = folder.logLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "#In Developer Mode");
    EXPECT_EQ(log[1], "#Window Mode!");
    EXPECT_EQ(log[2], "No Error");
    EXPECT_THAT(log[3], HasSubstr("#Game Started: "));
    EXPECT_THAT(folder.logText(), HasSubstr("#Initalized Audio"));
    EXPECT_THAT(folder.logText(), ::testing::Not(HasSubstr("Could Not Find Any Music!")));
    expectClosingLines(log);
}

TEST_F(GameRunTest, AltF4ClosesTheWindowAndEndsWithCodeZero) {
    e2e::GameProcess game(folder, {"-window"});
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(game.key({"alt+F4"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    expectClosingLines(folder.logLines());
}

TEST_F(GameRunTest, FullScreenIsAFramelessWindowOverTheWholeDesktop) {
    e2e::GameProcess game(folder, {});
    const unsigned long window = game.waitForWindow();
    ASSERT_NE(window, 0u) << game.standardError();
    const std::string geometry = e2e::run("xdotool getwindowgeometry --shell " + std::to_string(window));
    const std::string desktop = e2e::run("xdotool getdisplaygeometry");
    const std::string width = desktop.substr(0, desktop.find(' '));
    const std::string height = desktop.substr(desktop.find(' ') + 1, desktop.find('\n') - desktop.find(' ') - 1);
    EXPECT_THAT(geometry, HasSubstr("X=0\n"));
    EXPECT_THAT(geometry, HasSubstr("Y=0\n"));
    EXPECT_THAT(geometry, HasSubstr("WIDTH=" + width + "\n"));
    EXPECT_THAT(geometry, HasSubstr("HEIGHT=" + height + "\n"));
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0);
}

// Runs anywhere: the display is taken away from the game.
TEST(NoDisplayTest, GameReportsTheWindowFailureAndExitsWithCodeOne) {
    e2e::GameFolder folder;
    e2e::GameProcess game(folder, {"-window"}, false);
    EXPECT_EQ(game.waitForExit(20.0), 1);
    const std::string errors = game.standardError();
    EXPECT_THAT(errors, HasSubstr("Window Error: There was a problem!"));
    EXPECT_THAT(errors, HasSubstr("Window Parameters Are Invalid!"));
    EXPECT_THAT(errors, HasSubstr("no display could be opened"));
    const auto log = folder.logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Window Parameters Are Invalid!");
    EXPECT_EQ(log.back(), "Window Parameters Are Invalid!");
}

// The player's music folder is a network share that stopped answering: its
// walk never ends, and the game without a window still ends with its error.
TEST(NoDisplayTest, AMusicFolderThatHangsDoesNotHoldUpTheExit) {
    e2e::GameFolder folder;
    const std::filesystem::path share = folder.path() / "share";
    const std::filesystem::path hung = folder.path() / "walk-hung";
    std::filesystem::create_directory(share);
    e2e::Launch launch;
    launch.withDisplay = false;
    launch.environment = {std::string("LD_PRELOAD=") + REDAVAVE_HUNG_FOLDER_SHIM, "REDAVAVE_MUSIC=" + share.string(),
                          "REDAVAVE_TEST_HUNG_FOLDER=" + share.string(), "REDAVAVE_TEST_HUNG_MARK=" + hung.string()};
    e2e::GameProcess game(folder, {"-window"}, launch);
    EXPECT_EQ(game.waitForExit(20.0), 1) << game.standardError();
    EXPECT_TRUE(std::filesystem::exists(hung)) << "the song search never reached the share";
    EXPECT_THAT(game.standardError(), HasSubstr("Window Parameters Are Invalid!"));
}

}  // namespace

// Away from the game (another window has the keyboard) nothing is swapped, and
// the pictures drawn then used to pile up in the GL driver: 50 MB a second.
TEST_F(GameRunTest, AnInactiveGameHoldsItsMemoryAndPlaysOnWhenBack) {
    folder.addSong("Tone.ogg", 1.0);
    e2e::GameProcess game(folder, {"-window"});
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();

    const std::string root = e2e::run("xwininfo -root | awk '/Window id:/ {print $4}'");
    ASSERT_FALSE(root.empty());
    e2e::run("xdotool windowfocus --sync " + root + " 2>&1");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long before = residentKb(game.pid());
    ASSERT_GT(before, 0);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    const long after = residentKb(game.pid());
    EXPECT_LT(after - before, 100 * 1024) << "resident memory went from " << before << " kB to " << after << " kB";

    // Focus back: the game runs again and Escape ends it.
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    expectClosingLines(folder.logLines());
}
