// A whole game from a gamepad, with no key pressed: the real game in its
// window with a controller plugged in through SDL's virtual controllers by a
// small library loaded into its process (pad_preload.cpp), so the game's own
// controller code reads SDL exactly as it reads a real pad. Every picture is a
// real screenshot, kept under <build>/test-artefacts/e2e.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"

namespace {

using namespace e2e;

// Drives the library in the game: commands into a file of the game's folder,
// each answered once SDL's state shows it.
class PadDriver {
public:
    explicit PadDriver(const std::filesystem::path& folder) : folder_(folder) {
        std::ofstream(folder_ / "pad-commands").flush();
    }

    // What the game's environment needs for the pad to be in it.
    std::vector<std::string> environment() const {
        return {std::string("LD_PRELOAD=") + REDAVAVE_TEST_PAD_LIBRARY, "REDAVAVE_TEST_PAD=" + folder_.string()};
    }

    bool plug() { return send("plug"); }
    bool unplug() { return send("unplug"); }
    bool press(const std::string& button) { return send("button " + button + " 1"); }
    bool release(const std::string& button) { return send("button " + button + " 0"); }
    // A press whose answer may never come: the game ends on it.
    void pressLast(const std::string& button) { post("button " + button + " 1"); }

    const std::string& error() const { return error_; }

private:
    int post(const std::string& command) {
        const int number = ++sent_;
        const std::string line = std::to_string(number) + " " + command + "\n";
        const int fd = open((folder_ / "pad-commands").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            const ssize_t written = write(fd, line.data(), line.size());
            (void)written;
            close(fd);
        }
        return number;
    }

    bool send(const std::string& command) {
        const std::string number = std::to_string(post(command)) + " ";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(25);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream replies(folder_ / "pad-replies");
            for (std::string line; std::getline(replies, line);) {
                if (line.rfind(number, 0) == 0) {
                    error_ = line.substr(number.size()) == "ok" ? "" : command + ": " + line;
                    return error_.empty();
                }
            }
            sleepFor(0.02);
        }
        error_ = command + ": no answer from the game's pad";
        return false;
    }

    std::filesystem::path folder_;
    int sent_ = 0;
    std::string error_;
};

// The menus' hint line (white, 50 pixels above the middle) starting
// `fromCentre` pixels from the middle, `cells` characters of 15 pixels long.
bool showsHint(const Image& image, int fromCentre, int cells) {
    const Box box = rowsBox(image, image.height / 2 + 50, image.height / 2 + 65, whiteText);
    const int left = image.width / 2 + fromCentre;
    const int end = left + cells * 15;
    return !box.empty() && box.left >= left && box.left < left + 8 && box.right >= end - 15 && box.right < end;
}
// "D-Pad Or LB/RB To Change Selected, A To Play, BACK To Exit."
bool padWelcomeHint(const Image& image) { return showsHint(image, -400, 59); }
// "Press START To Restart The Game OR Press BACK To Exit"
bool padScoreHint(const Image& image) { return showsHint(image, -300, 53); }
// "Press SPACE To Replay, Press Enter To Play Selected."
bool keyboardScoreHint(const Image& image) { return showsHint(image, -400, 52); }

bool pausedWithPadHint(const Image& image) {
    const int h2 = image.height / 2;
    return veilShare(image) > 0.3 && !rowsBox(image, h2 + 50, h2 + 85, greenText).empty() &&
           !rowsBox(image, h2 - 20, h2 - 7, greenText).empty();
}

constexpr int kShortName = 11;  // "A Short.ogg"
constexpr int kLongName = 15;   // "B Long Song.ogg"

class PadGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
    }
    // The game in its window with the pad plugged in and the focus on it:
    // the game's controller code reads the pad from its first frame on.
    void startWithPad() {
        Launch launch;
        launch.environment = pad.environment();
        running = std::make_unique<GameProcess>(folder, std::vector<std::string>{"-window"}, launch);
        ASSERT_NE(running->waitForWindow(), 0u) << running->standardError();
        ASSERT_TRUE(pad.plug()) << pad.error();
        ASSERT_TRUE(running->focus());
    }

    e2e::GameFolder folder;
    PadDriver pad{folder.path()};
    std::unique_ptr<GameProcess> running;
};

TEST_F(PadGameTest, WholeGameFromThePadWithNoKeyPressed) {
    folder.addSong("A Short.ogg", 2.5);
    folder.addSong("B Long Song.ogg", 90.0);
    ASSERT_NO_FATAL_FAILURE(startWithPad());
    GameProcess& game = *running;

    // Press, wait for the picture it leads to, release.
    const auto push = [&](const std::string& button, const std::string& picture,
                          const std::function<bool(const Image&)>& wanted, double seconds = 10.0) {
        if (!pad.press(button)) {
            ADD_FAILURE() << pad.error();
            return Image{};
        }
        const Image image = waitForPicture(game, picture, seconds, wanted);
        EXPECT_TRUE(pad.release(button)) << pad.error();
        EXPECT_TRUE(!image.rgb.empty() && wanted(image)) << button << " did not lead to " << picture;
        return image;
    };
    const auto selected = [](int cells) { return [cells](const Image& image) { return showsSelectedName(image, cells); }; };

    // The Welcome menu with a pad: the selected song and the pad's hint.
    const Image welcome = waitForPicture(game, "pad_1_welcome", 15.0, [](const Image& image) {
        return padWelcomeHint(image) && showsSelectedName(image, kShortName);
    });
    ASSERT_TRUE(padWelcomeHint(welcome)) << "the pad's Welcome hint";
    ASSERT_TRUE(showsSelectedName(welcome, kShortName)) << "Selected: A Short.ogg";

    // The D-pad chooses; held, it stops at the ends.
    push("dpright", "pad_2_second_song", selected(kLongName));
    push("dpleft", "pad_3_first_song_again", selected(kShortName));
    ASSERT_FALSE(HasFailure());

    // A plays the short song to its end: the Score menu with START's hint.
    push("a", "pad_4_playing", playing);
    const Image score = waitForPicture(game, "pad_5_score_menu", 30.0, inScoreMenu);
    ASSERT_TRUE(inScoreMenu(score));
    EXPECT_TRUE(padScoreHint(score)) << "Press START To Restart The Game OR Press BACK To Exit";
    EXPECT_TRUE(showsSelectedName(score, kShortName));

    // START replays it, to the Score menu again.
    push("start", "pad_6_replaying", playing);
    ASSERT_TRUE(inScoreMenu(waitForPicture(game, "pad_7_score_again", 30.0, inScoreMenu)));

    // The long song: START pauses and resumes, Y restarts, BACK stops.
    push("dpright", "pad_8_long_song", selected(kLongName));
    push("a", "pad_9_playing_long", playing);
    push("start", "pad_10_paused", pausedWithPadHint);
    push("start", "pad_11_resumed", playing);
    push("start", "pad_12_paused_again", pausedWithPadHint);
    push("y", "pad_13_restarted", playing);
    push("start", "pad_14_paused_before_stop", pausedWithPadHint);
    push("back", "pad_15_stopped", inScoreMenu);
    ASSERT_FALSE(HasFailure());

    // Unplugged, the keyboard's hint; plugged in again, the pad's.
    ASSERT_TRUE(pad.unplug()) << pad.error();
    EXPECT_TRUE(keyboardScoreHint(waitForPicture(game, "pad_16_unplugged", 10.0, keyboardScoreHint)));
    ASSERT_TRUE(pad.plug()) << pad.error();
    EXPECT_TRUE(padScoreHint(waitForPicture(game, "pad_17_plugged_again", 10.0, padScoreHint)));

    // BACK in the menu quits.
    pad.pressLast("back");
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    const std::vector<std::string> log = folder.logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back(), "Unloaded Window OK!");
    EXPECT_EQ(folder.logText().find("Error:"), std::string::npos) << folder.logText();
}

// The menus' folder jumps on the real game, from the pad's LB/RB (through
// SDL's virtual controller) and the keyboard's Up/Down (real key events),
// then START on the Welcome menu plays the selected song.
TEST_F(PadGameTest, ShouldersAndUpDownJumpBetweenFoldersAndStartPlaysFromTheWelcomeMenu) {
    std::filesystem::create_directories(folder.musicFolder() / "Alpha");
    std::filesystem::create_directories(folder.musicFolder() / "Beta");
    // Names of their own widths, so that the selected line tells them apart.
    folder.addSong("Alpha/1.ogg", 2.5);
    folder.addSong("Alpha/22.ogg", 2.5);
    folder.addSong("Beta/Third Song.ogg", 2.5);
    constexpr int kAlphaFirst = 11, kBetaFirst = 19;
    ASSERT_NO_FATAL_FAILURE(startWithPad());
    GameProcess& game = *running;
    const auto selected = [](int cells) { return [cells](const Image& image) { return showsSelectedName(image, cells); }; };
    ASSERT_TRUE(selected(kAlphaFirst)(waitForPicture(game, "folders_1_welcome", 15.0, selected(kAlphaFirst))));

    struct Step {
        const char* button;  // a pad button, or null for `key`
        const char* key;
        int cells;           // the selected song's name after it
    };
    const Step steps[] = {
        {"rightshoulder", nullptr, kBetaFirst},  // next folder
        {"leftshoulder", nullptr, kAlphaFirst},  // previous folder
        {nullptr, "Down", kBetaFirst},
        {nullptr, "Up", kAlphaFirst},
        {"rightshoulder", nullptr, kBetaFirst},
        {"rightshoulder", nullptr, kAlphaFirst},  // past the last folder, round to the first
    };
    int n = 2;
    for (const Step& step : steps) {
        const std::string what = step.button != nullptr ? step.button : step.key;
        if (step.button != nullptr) {
            ASSERT_TRUE(pad.press(step.button)) << pad.error();
        } else {
            ASSERT_TRUE(game.key({step.key}));
        }
        const std::string picture = "folders_" + std::to_string(n++) + "_" + what;
        EXPECT_TRUE(selected(step.cells)(waitForPicture(game, picture, 10.0, selected(step.cells))))
            << what << " should select a name of " << step.cells << " characters";
        if (step.button != nullptr) {
            ASSERT_TRUE(pad.release(step.button)) << pad.error();
        }
    }

    // START plays the selected song from the Welcome menu, to its Score menu.
    ASSERT_TRUE(pad.press("start")) << pad.error();
    EXPECT_TRUE(playing(waitForPicture(game, "folders_start_playing", 10.0, playing)));
    ASSERT_TRUE(pad.release("start")) << pad.error();
    EXPECT_TRUE(inScoreMenu(waitForPicture(game, "folders_score_menu", 30.0, inScoreMenu)));
    EXPECT_TRUE(selected(kAlphaFirst)(waitForPicture(game, "folders_score_selected", 5.0, selected(kAlphaFirst))));
    pad.pressLast("back");
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
}

}  // namespace
