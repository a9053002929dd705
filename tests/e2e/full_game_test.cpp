// A whole game on the real binary, as a player plays it: the Welcome menu
// over the turning planets, picking a song with the arrows, playing it with
// objects in all three lanes, pausing, the song's end on the Score menu,
// replaying with Space, and quitting with Escape. Every picture is a real
// screenshot of the game's window, kept under <build>/test-artefacts/e2e.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/lane_song.h"

namespace {

using namespace e2e;

// A block: one colour channel full, the others off (blocks are drawn unlit).
int blockColour(Pixel p) {
    const auto off = [](std::uint8_t v) { return v <= 10; };
    if (p[0] >= 250 && off(p[1]) && off(p[2])) return 1;
    if (p[1] >= 250 && off(p[0]) && off(p[2])) return 2;
    if (p[2] >= 250 && off(p[0]) && off(p[1])) return 3;
    return 0;
}

// The lanes of the blocks on screen. Lane offsets are lateral, and the camera
// looks along the course from the middle lane's plane: the middle lane's
// objects straddle the picture's centre column, the left and right lanes' lie
// wholly on their side of it.
std::set<int> lanesOfBlocks(const Image& image) {
    std::set<int> lanes;
    std::vector<char> seen(static_cast<std::size_t>(image.width) * image.height, 0);
    const int centre = image.width / 2;
    for (int y = 0; y < image.height - 100; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * image.width + x;
            if (seen[at] || blockColour(image.at(x, y)) == 0) {
                continue;
            }
            // One object: its pixels of block colours, connected.
            int left = x, right = x, count = 0;
            std::vector<std::pair<int, int>> open = {{x, y}};
            seen[at] = 1;
            while (!open.empty()) {
                const auto [px, py] = open.back();
                open.pop_back();
                ++count;
                left = std::min(left, px);
                right = std::max(right, px);
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = px + dx, ny = py + dy;
                        if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height - 100) {
                            continue;
                        }
                        const std::size_t next = static_cast<std::size_t>(ny) * image.width + nx;
                        if (!seen[next] && blockColour(image.at(nx, ny)) != 0) {
                            seen[next] = 1;
                            open.push_back({nx, ny});
                        }
                    }
                }
            }
            if (count < 12) {
                continue;  // a stray pixel of a planet's edge, not an object
            }
            lanes.insert(right < centre ? 1 : left > centre ? 3 : 2);
        }
    }
    return lanes;
}

class FullGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
    }

    void writeSong(const std::string& name, const fixtures::ToneSong& song) {
        std::string error;
        ASSERT_TRUE(fixtures::writeSong((folder.musicFolder() / name).string(), fixtures::AudioFormat::Ogg, song, &error))
            << error;
    }

    e2e::GameFolder folder;
};

TEST_F(FullGameTest, SongFromTheWelcomeMenuToTheScoreAndBackThenEscape) {
    writeSong("Lanes.ogg", fixtures::threeLaneSong(7.0));
    writeSong("Zz A Much Longer Name.ogg", fixtures::tone(110.0, 2.0));

    e2e::GameProcess game(folder, {"-window"});
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();

    // Welcome menu: veil over the planets, the welcome line, the first song selected.
    const auto songRow = selectedSongRow;
    const Image welcome = waitForPicture(game, "1_welcome_menu", 10.0, [&](const Image& image) {
        return veilShare(image) > 0.3 && !songRow(image).empty();
    });
    ASSERT_FALSE(welcome.rgb.empty());
    const int h2 = welcome.height / 2;
    EXPECT_GT(veilShare(welcome), 0.3);
    EXPECT_FALSE(rowsBox(welcome, h2 + 250, h2 + 275, greenText).empty()) << "Welcome To Redavave!";
    const Box firstSong = songRow(welcome);
    ASSERT_FALSE(firstSong.empty()) << "Selected: Lanes.ogg";
    EXPECT_NEAR(firstSong.left, 42, 6);

    // The arrows move the selection; the line shows the other, longer name, then the first again.
    ASSERT_TRUE(game.key({"Right"}));
    const Image second = waitForPicture(game, "2_second_song_selected", 5.0, [&](const Image& image) {
        return songRow(image).right > firstSong.right + 100;
    });
    EXPECT_GT(songRow(second).right, firstSong.right + 100) << "Selected: Zz A Much Longer Name.ogg";
    ASSERT_TRUE(game.key({"Left"}));
    waitForPicture(game, "3_first_song_again", 5.0,
                   [&](const Image& image) { return songRow(image).right == firstSong.right; });

    // Enter plays it: the veil goes, objects come in all three lanes. The song
    // lasts 7 s, long enough for the pause below to come while it plays.
    ASSERT_TRUE(game.key({"Return"}));
    std::set<int> lanes;
    const Image during = waitForPicture(game, "4_playing", 4.0, [&](const Image& image) {
        const std::set<int> now = lanesOfBlocks(image);
        lanes.insert(now.begin(), now.end());
        return lanes.size() == 3;
    });
    EXPECT_LT(veilShare(during), 0.02) << "no veil while playing";
    EXPECT_EQ(lanes, (std::set<int>{1, 2, 3})) << "objects seen in " << lanes.size() << " lanes";

    // P pauses: the veil and the pause lines; P again goes on.
    ASSERT_TRUE(game.key({"p"}));
    const Image paused = waitForPicture(game, "5_paused", 5.0, [&](const Image& image) {
        return veilShare(image) > 0.3 && !rowsBox(image, h2 + 50, h2 + 85, greenText).empty();
    });
    EXPECT_GT(veilShare(paused), 0.3);
    EXPECT_FALSE(rowsBox(paused, h2 + 50, h2 + 85, greenText).empty()) << "- Paused -";
    EXPECT_FALSE(rowsBox(paused, h2 + 1, h2 + 14, greenText).empty()) << "the pause help line";
    ASSERT_TRUE(game.key({"p"}));

    // The song ends and the course empties: the Score menu.
    const Image score = waitForPicture(game, "6_score_menu", 20.0, inScoreMenu);
    EXPECT_FALSE(scoreRow(score).empty()) << "Your Score: %i!";
    EXPECT_GT(veilShare(score), 0.3);
    EXPECT_TRUE(rowsBox(score, h2 + 250, h2 + 275, greenText).empty()) << "no welcome line any more";
    EXPECT_FALSE(songRow(score).empty()) << "the selected song's line";

    // Space replays the song: play again, then the Score menu again at its end.
    ASSERT_TRUE(game.key({"space"}));
    const Image replay = waitForPicture(game, "7_replaying", 5.0, playing);
    EXPECT_TRUE(scoreRow(replay).empty());
    EXPECT_LT(veilShare(replay), 0.02);
    const Image scoreAgain = waitForPicture(game, "8_score_menu_again", 20.0, inScoreMenu);
    EXPECT_FALSE(scoreRow(scoreAgain).empty());

    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    const auto log = folder.logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "#Game Closing! - Game By Rodadi Vuzivi");
    EXPECT_EQ(log.back(), "Unloaded Window OK!");
    EXPECT_THAT(folder.logText(), ::testing::Not(::testing::HasSubstr("Error:"))) << folder.logText();
}

}  // namespace
