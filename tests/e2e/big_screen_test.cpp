// The HUD on a 4K desktop, on the real game in an X server of the test's own
// with a 3840 x 2160 screen, beside the same game on the suite's 1280 x 1024
// one: the song menu, the pause screen and the Score menu, each of their text
// rows 1.8 times as tall and 1.8 times as far from the centre (or the left
// edge) as at 1280 x 1024, where the rows stay in the cells of the layout.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"

namespace {

using namespace e2e;

// A text row of the HUD as the 1200-line layout places it: the bottom-left
// corner of its first cell, above the centre, and from the centre or from the
// left edge. The texts name the rows; they are found by colour and place.
struct Row {
    const char* text;
    const char* screen;
    double above;      // pixels from the picture's middle row up to the bottom of its cells
    double x;          // pixels from the middle column, or from the left edge
    bool fromCentre;
    double cell;       // its cell size in pixels: 50 at its text scale
    bool (*colour)(Pixel);
    int measured = 0;  // how many of its first cells are measured; 0: all of it
};
const Row kRows[] = {
    {"Welcome To Redavave!", "welcome", 250, -450, true, 20, greenText},
    {"Use The Arrow Keys ...", "welcome", 50, -400, true, 15, whiteText},
    // The name's descenders are hairlines at 1280 x 1024, fainter than the
    // letters; the prefix alone shows the row's height.
    {"Selected: Tone.ogg", "welcome", 20, 40, false, 20, whiteText, 9},
    {"- Paused -", "paused", 50, -430, true, 30, greenText},
    {"(Press P To Continue, ...)", "paused", 1, -500, true, 12.5, greenText},
    {"Your Score: %i!", "score", 100, -350, true, 40, greenText},
    {"Press SPACE To Replay, ...", "score", 50, -400, true, 15, whiteText},
};

// Where a row's pixels lie on a picture: inside its cells' band (a pixel of
// margin), placed as the game grows the layout for the picture's size.
Box measure(const Image& image, const Row& row) {
    const int middle = image.height / 2;
    return rowsBox(image, middle + grown(image, row.above) - 1, middle + grown(image, row.above + row.cell) + 1,
                   row.colour);
}

// How tall a row's letters are, to a fraction of a pixel. The glyphs are
// sampled linearly from the font sheet, so at a letter's top and bottom the
// colour ramps from the background to full over one texel of the sheet,
// `texel` pixels at the row's scale. Each edge is where that ramp is half
// way: a row of pixels caught on the ramp tells how far it is from there;
// with none caught, the edge lies between the last row of background and the
// first full one. Only the brightest pixel of each row counts.
double inkHeight(const Image& image, const Row& row, const Box& box) {
    const int channel = row.colour == greenText ? 1 : 0;  // green letters in green, white ones in red
    const int right =
        row.measured == 0 ? box.right : std::min(box.right, box.left + grown(image, row.measured * row.cell));
    const double texel = row.cell * hudScale(image) / 50.0;
    std::vector<double> peak;  // from one row below the box to one above
    for (int up = box.bottom - 1; up <= box.top + 1; ++up) {
        double brightest = 0.0;
        for (int x = box.left; x <= right; ++x) {
            brightest = std::max(brightest, static_cast<double>(image.at(x, image.height - 1 - up)[channel]));
        }
        peak.push_back(brightest);
    }
    const double full = *std::max_element(peak.begin(), peak.end());
    const double background = std::min(peak.front(), peak.back());
    const auto share = [&](int i) { return (peak[static_cast<std::size_t>(i)] - background) / (full - background); };
    // The edge met going from row `outside` (background) towards the letters.
    const auto edge = [&](int outside, int step) {
        int inside = outside;
        while (share(inside) < 0.99) {
            inside += step;
        }
        double at = inside - step * 0.5;
        double nearest = 0.5;  // how far from half way the best row caught on the ramp is
        for (int i = outside; i != inside; i += step) {
            if (share(i) > 0.01 && std::fabs(share(i) - 0.5) < nearest) {
                nearest = std::fabs(share(i) - 0.5);
                at = i + step * (0.5 - share(i)) * texel;
            }
        }
        return at;
    };
    return edge(static_cast<int>(peak.size()) - 1, -1) - edge(0, 1);
}

// The Welcome menu, the pause screen and the Score menu of one game on
// `display` (empty: the suite's), kept as <name>_welcome.png and so on.
std::map<std::string, Image> threeScreens(const std::string& display, const std::string& name) {
    std::map<std::string, Image> screens;
    GameFolder folder;
    folder.addSong("Tone.ogg", 8.0);
    Launch launch;
    launch.display = display;
    GameProcess game(folder, {"-window"}, launch);
    EXPECT_NE(game.waitForWindow(30.0), 0u) << game.standardError();
    const Row& welcomeRow = kRows[0];
    const Row& pausedRow = kRows[3];
    screens["welcome"] = waitForPicture(game, name + "_welcome", 30.0, [&](const Image& image) {
        return veilShare(image) > 0.3 && !measure(image, welcomeRow).empty() && !selectedSongRow(image).empty();
    });
    // Paused at once: at 4K the software renderer is slow, and the song must
    // still be playing when the key comes.
    EXPECT_TRUE(game.key({"Return", "p"}));
    screens["paused"] = waitForPicture(game, name + "_paused", 15.0, [&](const Image& image) {
        return veilShare(image) > 0.3 && !measure(image, pausedRow).empty();
    });
    EXPECT_TRUE(game.key({"p"}));
    screens["score"] = waitForPicture(game, name + "_score", 60.0, inScoreMenu);
    EXPECT_TRUE(inScoreMenu(screens["score"])) << game.standardError();
    EXPECT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
    return screens;
}

TEST(BigScreenTest, MenusAndPauseOnA4KDesktopAre18TimesTheirSizeAt1280x1024) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
    }
    VirtualScreen uhd(3840, 2160);
    ASSERT_FALSE(uhd.display().empty()) << uhd.error();

    std::map<std::string, Image> small = threeScreens("", "big_screen_1280x1024");
    ASSERT_FALSE(::testing::Test::HasFailure());
    ASSERT_EQ(small["welcome"].height, 1024) << "the suite's screen is 1280 x 1024";
    std::map<std::string, Image> big = threeScreens(uhd.display(), "big_screen_3840x2160");
    ASSERT_FALSE(::testing::Test::HasFailure());
    ASSERT_EQ(big["welcome"].height, 2160);
    ASSERT_NEAR(hudScale(big["welcome"]), 1.8, 1e-9);

    for (const Row& row : kRows) {
        SCOPED_TRACE(row.text);
        const Image& one = small[row.screen];
        const Image& four = big[row.screen];
        const Box at1 = measure(one, row);
        const Box at4 = measure(four, row);
        ASSERT_FALSE(at1.empty());
        ASSERT_FALSE(at4.empty());
        // At 1280 x 1024 the row is where the layout puts it: inside its cells,
        // its first glyph in the first cell.
        const int anchor1 = row.fromCentre ? one.width / 2 : 0;
        EXPECT_GE(at1.bottom, one.height / 2 + static_cast<int>(row.above));
        EXPECT_LT(at1.top, one.height / 2 + static_cast<int>(row.above + row.cell));
        EXPECT_GE(at1.left, anchor1 + static_cast<int>(row.x));
        EXPECT_LT(at1.left, anchor1 + static_cast<int>(row.x + row.cell));
        // At 3840 x 2160 everything about it is 1.8 times as large.
        const double height1 = inkHeight(one, row, at1);
        const double height4 = inkHeight(four, row, at4);
        EXPECT_NEAR(height4, 1.8 * height1, 1.0) << height1 << " rows high at 1280 x 1024";
        EXPECT_NEAR(at4.bottom - four.height / 2, 1.8 * (at1.bottom - one.height / 2), 2.0);
        const int anchor4 = row.fromCentre ? four.width / 2 : 0;
        EXPECT_NEAR(at4.left - anchor4, 1.8 * (at1.left - anchor1), 2.0);
    }
}

}  // namespace
