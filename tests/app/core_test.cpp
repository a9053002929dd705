// Core without a window: defaults, command line, clocks, frame rate, the frame
// step's guards and the failures of window creation.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Core.h"
#include "diag/ErrorHandler.h"
#include "game/Player.h"
#include "platform/gamepad.h"
#include "platform/message_box.h"
#include "platform/music_folder.h"
#include "platform/system.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "tests/diag/working_folder.h"
#include "tests/support/virtual_pad.h"

using ::testing::ElementsAre;

namespace {

struct Box {
    std::string title;
    std::string text;
};
std::vector<Box> boxes;

int recordBox(const char* text, const char* title, std::uint32_t) {
    boxes.push_back({title, text});
    return plat::IDOK;
}

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        boxes.clear();
        plat::setMessageBoxBackend(recordBox);
        plat::overrideScreenSize(1920, 1080);
    }
    void TearDown() override {
        plat::overrideScreenSize(0, 0);
        plat::setMessageBoxBackend(nullptr);
        plat::disablePerformanceCounter(false);
    }

    WorkingFolder folder;
    // A pad plugged in keeps the mouse (and the real cursor) out of the frame step.
    testpad::VirtualPad pad;
};

TEST_F(CoreTest, FreshCoreHasTheDefaultsOfItsTable) {
    Core core;
    EXPECT_EQ(core.screenWidth, 1920);
    EXPECT_EQ(core.screenHeight, 1080);
    EXPECT_EQ(core.play.banner.width, 1920.0f);
    EXPECT_EQ(core.play.banner.height, 100.0f);
    EXPECT_EQ(core.play.banner.top, 0.0f);
    EXPECT_EQ(core.fps, 60.0f);
    EXPECT_EQ(core.frameTime, 0.0);
    EXPECT_EQ(core.appState, APP_STATE_NONE);
    EXPECT_TRUE(core.play.inMenu);
    EXPECT_TRUE(core.play.firstMenu);
    EXPECT_FALSE(core.play.paused);
    EXPECT_TRUE(core.play.fullscreen);
    EXPECT_FALSE(core.play.devMode);
    EXPECT_FALSE(core.play.active);
    EXPECT_EQ(core.play.chainColor, 1);
    EXPECT_EQ(core.play.venusAngle, 200.0f);
    EXPECT_EQ(core.play.mercuryAngle, 340.0f);
    EXPECT_EQ(core.play.sunAngle, 350.0f);
    EXPECT_EQ(core.play.spawnCooldown[2], 10.0f);
    EXPECT_EQ(core.msg.message, 0u);
    EXPECT_EQ(core.hWnd, nullptr);
    EXPECT_TRUE(core.play.musicList.empty());
    for (int k = 0; k < 256; ++k) {
        ASSERT_FALSE(core.play.keys[k] || core.play.keyLatch[k]) << k;
    }
    EXPECT_EQ(core.timerFn, &Core::readPerformanceTimer);
    std::int64_t frequency = 0;
    plat::queryPerformanceFrequency(&frequency);
    EXPECT_DOUBLE_EQ(core.timerScale, 1.0 / static_cast<double>(frequency));
}

TEST_F(CoreTest, WithoutPerformanceCounterTheMillisecondTimerIsChosen) {
    plat::disablePerformanceCounter(true);
    Core core;
    EXPECT_EQ(core.timerFn, &Core::readMillisecondTimer);
    EXPECT_EQ(core.timerScale, 0.001);
    core.timerLast -= 40;  // 40 ms ago
    const double elapsed = (core.*core.timerFn)();
    EXPECT_GE(elapsed, 0.040);
    EXPECT_LT(elapsed, 0.5);
    EXPECT_DOUBLE_EQ(elapsed * 1000.0, static_cast<double>(static_cast<long long>(elapsed * 1000.0 + 0.5)))
        << "whole milliseconds";
}

TEST_F(CoreTest, CommandLineOptionsAreSubstringsAndLogInOrder) {
    struct Case {
        const char* line;
        bool devMode;
        bool fullscreen;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"-devmode -window", true, false, {"#In Developer Mode", "#Window Mode!"}},
        {"-window -devmode", true, false, {"#In Developer Mode", "#Window Mode!"}},
        {"-windowed", false, false, {"#Window Mode!"}},
        {"x-devmodey", true, true, {"#In Developer Mode"}},
        {"-Window -DEVMODE", false, true, {}},
        {"", false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::filesystem::remove(folder.path() / "log.txt");
        Core core;
        core.parseCommandLine(c.line);
        EXPECT_EQ(core.play.devMode, c.devMode);
        EXPECT_EQ(core.play.fullscreen, c.fullscreen);
        EXPECT_EQ(folder.lines(), c.log);
    }
}

TEST_F(CoreTest, FrameRateIsFirst58Point06ThenSixtyAtSteadySixtyFrames) {
    Core core;
    core.frameTime = 1.0 / 60.0;
    for (int i = 0; i < 30; ++i) {
        core.countFrame();
    }
    EXPECT_EQ(core.fps, 60.0f) << "no half second measured yet";
    core.countFrame();  // the 31st frame passes the half second
    EXPECT_NEAR(core.fps, 30.0 / (31.0 / 60.0), 1e-4);
    EXPECT_NEAR(core.fps, 58.06, 0.005);
    for (int i = 0; i < 31; ++i) {
        core.countFrame();
    }
    EXPECT_NEAR(core.fps, 60.0, 1e-4);
}

TEST_F(CoreTest, FrameTimeIsClampedToAQuarterSecondAndNotReadWhileNotRunning) {
    Core core;
    std::int64_t frequency = 0;
    plat::queryPerformanceFrequency(&frequency);

    for (int state : {APP_STATE_NONE, APP_STATE_SUSPENDED}) {
        core.appState = state;
        const std::int64_t before = core.timerLast;
        core.frame();
        EXPECT_EQ(core.timerLast, before) << "state " << state << " must not read the clock";
        EXPECT_EQ(core.frameTime, 0.0);
    }

    core.appState = APP_STATE_RUNNING;
    core.timerLast -= 3 * frequency;  // the last read was three seconds ago
    core.frame();
    EXPECT_EQ(core.frameTime, 0.25);
    // No context: the swap fails and the frame is not counted.
    EXPECT_EQ(core.fpsFrames, 0.0);

    core.frame();
    EXPECT_GT(core.frameTime, 0.0);
    EXPECT_LT(core.frameTime, 0.25);
}

TEST_F(CoreTest, NoFrameWorkAfterShutdown) {
    Core core;
    core.appState = APP_STATE_RUNNING;
    core.play.musicList = {"a.mp3"};
    core.shutdown();
    EXPECT_TRUE(core.shutDownDone);
    EXPECT_TRUE(core.play.musicList.empty());
    const std::int64_t before = core.timerLast;
    core.play.keys[0x1B] = true;  // Escape would post the quit message if the keys were read
    core.frame();
    EXPECT_EQ(core.timerLast, before);
    core.play.musicList = {"b.mp3"};
    core.shutdown();
    EXPECT_EQ(core.play.musicList.size(), 1u) << "the second shutdown does nothing";
}

TEST_F(CoreTest, InvalidWindowSizeFailsWithTheWindowBoxAndADoubleLogLine) {
    Core core;
    core.parseCommandLine("-window");
    core.screenWidth = 0;
    EXPECT_FALSE(core.createWindow(plat::moduleHandle()));
    const auto lines = folder.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "#Window Mode!");
    EXPECT_EQ(lines[1], "No Error");
    EXPECT_EQ(lines[2].rfind("#Game Started: ", 0), 0u);
    EXPECT_EQ(lines[3], "Window Parameters Are Invalid!");
    EXPECT_EQ(lines[4], "Window Parameters Are Invalid!");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Window Error");
    EXPECT_NE(boxes[0].text.find("Window Parameters Are Invalid!"), std::string::npos);
    EXPECT_EQ(errorHandler.kind, ERROR_KIND_WINDOW);
}

TEST_F(CoreTest, UnregisteredClassFailsWithCouldNotCreateWindow) {
    Core core;
    core.parseCommandLine("-window");
    EXPECT_FALSE(core.createWindow(plat::moduleHandle()));
    const auto lines = folder.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()),
                ElementsAre("Could Not Create Window!", "Could Not Create Window!"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Window Error");
    EXPECT_EQ(core.hWnd, nullptr);
}

// What the game asks for is done by the shell: Escape's quit shows the cursor
// once and posts the quit message; the pad's BACK shuts the game down at once.
TEST_F(CoreTest, RequestsOfTheGameAreCarriedOut) {
    Core core;
    core.carryOut(ShellRequest::none);
    plat::Message message;
    EXPECT_FALSE(plat::peekMessage(&message, true)) << "nothing asked, nothing posted";
    EXPECT_FALSE(core.shutDownDone);

    // Escape in the middle of a song: the quit and the shutdown after it keep no best.
    core.play.playingSong = "a.mp3";
    player.addPoints(30);
    const int before = plat::showCursor(false) + 1;  // the counter as it stands
    plat::showCursor(true);
    core.carryOut(ShellRequest::quit);
    EXPECT_EQ(plat::showCursor(false), before) << "shown once: back to where it was after this hide";
    ASSERT_TRUE(plat::peekMessage(&message, true));
    EXPECT_EQ(message.message, plat::WM_QUIT);
    EXPECT_FALSE(core.shutDownDone) << "the quit leaves the shutdown to the end of the loop";

    core.play.musicList = {"a.mp3"};
    core.carryOut(ShellRequest::shutDown);
    EXPECT_TRUE(core.shutDownDone);
    EXPECT_TRUE(core.play.musicList.empty());
    EXPECT_EQ(core.play.bestScores.size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / kBestScoresFile));
    player.resetPoints();
}

// BACK on the pad in either menu shuts the game down within the frame that
// sees it, whatever else is held that does not leave the menu.
TEST_F(CoreTest, PadBackInTheMenuShutsTheGameDown) {
    struct Case {
        const char* what;
        bool firstMenu;
        std::uint16_t buttons;
    };
    const Case cases[] = {
        {"Score menu", false, plat::GAMEPAD_BACK},
        {"Welcome menu", true, plat::GAMEPAD_BACK},
        {"Welcome menu, with the D-pad choosing a song", true, plat::GAMEPAD_DPAD_RIGHT | plat::GAMEPAD_BACK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Core core;
        core.appState = APP_STATE_RUNNING;
        core.play.inMenu = true;
        core.play.firstMenu = c.firstMenu;
        core.play.musicList = {"a.mp3"};
        core.frame();  // the idle pad
        ASSERT_FALSE(core.shutDownDone);
        pad.hold(c.buttons);
        core.frame();
        pad.hold(0);
        EXPECT_TRUE(core.shutDownDone);
        EXPECT_TRUE(core.play.musicList.empty()) << "the shutdown ran";
        EXPECT_TRUE(core.play.inMenu);
    }
}

// The player's mapping file for controllers SDL does not know is read at the
// start: the log says what came of it, and a controller it maps plays the game.
TEST_F(CoreTest, GamepadMappingFileIsTakenAndReported) {
#ifdef _WIN32
    const std::string kSystem = "Windows";
#else
    const std::string kSystem = "Linux";
#endif
    testpad::VirtualPad stick(testpad::VirtualPad::Kind::unknownJoystick, "Redavave Core Test Stick");
    ASSERT_TRUE(stick.plugged());
    const auto gamepadLines = [&] {
        std::vector<std::string> lines;
        for (const std::string& line : folder.lines()) {
            if (line.find("Gamepad") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    };
    Core core;
    core.startGamepads();
    EXPECT_THAT(gamepadLines(), ::testing::IsEmpty()) << "no file: nothing to say";

    std::filesystem::create_directory(folder.path() / "gamecontrollerdb.txt");
    core.startGamepads();
    EXPECT_THAT(gamepadLines(), ElementsAre(::testing::StartsWith(
                                    "Could Not Read Gamepad Mappings: gamecontrollerdb.txt: ")));
    std::filesystem::remove(folder.path() / "gamecontrollerdb.txt");

    folder.write("gamecontrollerdb.txt", stick.guid() + ",Core Test Stick,a:b1,back:b2,platform:" + kSystem + ",\n");
    pad.unplug();
    core.startGamepads();
    EXPECT_EQ(gamepadLines().back(), "#Gamepad Mappings: 1 added from gamecontrollerdb.txt");
    core.appState = APP_STATE_RUNNING;
    core.play.musicList = {"a.mp3"};
    stick.setButton(2, false);
    core.frame();
    EXPECT_TRUE(core.play.padConnected);
    stick.setButton(2, true);
    core.frame();
    EXPECT_TRUE(core.shutDownDone) << "the mapped BACK in the menu";
}

// The platform finds the songs; the game keeps them with their highest index
// and complains in the log when there are none.
TEST_F(CoreTest, MusicListKeepsTheHighestIndexAndLogsAnEmptyFolder) {
    Core core;
    folder.write("resources/Music/b.ogg", "x");
    folder.write("resources/Music/a.mp3", "x");
    core.buildMusicList(plat::kMusicFolder);
    EXPECT_EQ(core.play.musicList, (std::vector<std::string>{"a.mp3", "b.ogg"}));
    EXPECT_EQ(core.play.maxSongIndex, 1);
    EXPECT_THAT(folder.lines(), ::testing::Not(::testing::Contains("Could Not Find Any Music!")));

    core.buildMusicList("resources/Nothing");
    EXPECT_TRUE(core.play.musicList.empty());
    EXPECT_EQ(core.play.maxSongIndex, 0);
    EXPECT_THAT(folder.lines(), ::testing::Contains("Could Not Find Any Music!"));
}

// Searched on a thread while the window is made, the songs are the same, and
// the list's log lines come when it is built, as ever; an empty music folder
// falls back to the demo songs the same way.
TEST_F(CoreTest, SongsSearchedAheadAreListedAndNotedWhenTheListIsBuilt) {
    folder.write("resources/Music/Band/b.ogg", "x");
    folder.write("resources/Music/a.mp3", "x");
    folder.write("resources/Demo/demo.flac", "x");
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "ahead" : "in place");
        Core core;
        core.musicFolders = plat::MusicFolders{{"resources/Missing", plat::kMusicFolder}, {}};
        if (ahead) {
            core.findSongsAhead();
        }
        const std::size_t before = folder.lines().size();
        core.buildMusicList(core.musicFolders);
        EXPECT_EQ(core.play.musicList, (std::vector<std::string>{"a.mp3", "Band/b.ogg"}));
        EXPECT_EQ(folder.lines().size(), before) << "songs found: nothing to say";

        Core demo;
        demo.musicFolders = plat::MusicFolders{{"resources/Missing"}, "resources/Demo"};
        if (ahead) {
            demo.findSongsAhead();
        }
        demo.buildMusicList(demo.musicFolders);
        EXPECT_EQ(demo.play.musicList, (std::vector<std::string>{"demo.flac"}));
        EXPECT_THAT(folder.lines(), ::testing::Contains("#Demo Songs: 1 offered"));
    }
}

}  // namespace
