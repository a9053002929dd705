// The overlay on the game's real window: the veil and its fade, the end of a
// song, and where the texts of each screen land, read back as pixels.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Core.h"
#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "game/carClass.h"
#include "game/screens.h"
#include "platform/system.h"
#include "render/scene.h"
#include "tests/scene/scene_world.h"

namespace {

using namespace scenetest;

bool green(const std::uint8_t* p) { return p[1] > 128 && p[0] < 80 && p[2] < 160; }
bool white(const std::uint8_t* p) { return p[0] > 150 && p[1] > 150 && p[2] > 150; }

class Overlay : public GameTest {
protected:
    // The overlay alone on a black picture, as the end of the scene pass draws it.
    Picture draw(int passes = 1) {
        for (int i = 0; i < passes; ++i) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            core->setOrtho();
            updateScreens(core->play);
            drawHud(core->play, core->sceneView());
        }
        return readBackBuffer();
    }

    void keep(const Picture& picture, const std::string& name) {
        savePicture(picture, std::string(REDAVAVE_BINARY_DIR) + "/test-artefacts/scene/" + name + ".ppm");
    }
};

TEST_F(Overlay, VeilFadesInOverSixPassesHoldsAndIsGoneInPlay) {
    std::vector<float> fades;
    Picture picture;
    for (int i = 0; i < 8; ++i) {
        picture = draw();
        fades.push_back(core->play.menuFade);
    }
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(fades[static_cast<std::size_t>(i)], 0.1f * static_cast<float>(i + 1), 1e-5f) << "pass " << i + 1;
    }
    EXPECT_EQ(fades[6], 0.7f);
    EXPECT_EQ(fades[7], 0.7f);
    keep(picture, "welcome_menu");
    // Right edge, between the menu rows: only the veil, (0, 0, 0.4) at 0.7 over black.
    const std::uint8_t* veil = picture.at(picture.width - 5, 300);
    EXPECT_EQ(veil[0], 0);
    EXPECT_EQ(veil[1], 0);
    EXPECT_NEAR(veil[2], 0.4 * 0.7 * 255, 2.0);

    play(*core);
    draw();
    EXPECT_EQ(core->play.menuFade, 0.0f);
    core->play.paused = true;
    draw();
    EXPECT_NEAR(core->play.menuFade, 0.1f, 1e-6f) << "the first paused pass";
    core->play.paused = false;
    picture = draw();
    EXPECT_EQ(core->play.menuFade, 0.0f);
    const std::uint8_t* clear = picture.at(picture.width - 5, 300);
    EXPECT_EQ(clear[0] + clear[1] + clear[2], 0) << "no veil while playing";
}

TEST_F(Overlay, SongEndsIntoTheScoreMenuOnlyOnceTheCourseIsEmpty) {
    struct Case {
        bool songOver;
        bool objectLeft;
        bool paused;
    };
    const Case cases[] = {
        {false, false, false}, {false, true, false}, {true, true, false}, {true, true, true},
        {true, false, false},  {true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.songOver) + " object " + std::to_string(c.objectLeft) + " paused " +
                     std::to_string(c.paused));
        welcomeMenu(nullptr);
        play(*core);
        if (c.songOver) {
            for (int i = 0; i < 40 && !audio.songFinished(); ++i) {
                snd::testing::render(4800);
            }
            ASSERT_TRUE(audio.songFinished());
        }
        if (c.objectLeft) {
            cars.spawn(5, 1);
        }
        core->play.paused = c.paused;
        draw();
        const bool ends = c.songOver && !c.objectLeft;
        EXPECT_EQ(core->play.inMenu, ends);
        EXPECT_EQ(core->play.firstMenu, !ends);
        EXPECT_EQ(core->play.paused, c.paused && !ends) << "the Score menu is never also the pause screen";
        if (c.objectLeft) {
            cars.deactivateAll();
            draw();
            EXPECT_EQ(core->play.inMenu, c.songOver) << "the first pass with an empty course";
        }
    }
}

// Where the welcome line (green) and the selected song's line (white) land on a
// desktop of the given size, in the same window.
struct Rows {
    Box welcome;
    Box song;
};

class TextLayout : public Overlay {
protected:
    Rows rowsFor(int width, int height) {
        plat::overrideScreenSize(width, height);
        const Picture picture = draw();
        keep(picture, "layout_" + std::to_string(width) + "x" + std::to_string(height));
        const int middle = height / 2;
        return {boxOf(picture, 100, picture.height, green), boxOf(picture, middle + 15, middle + 45, white)};
    }
};

TEST_F(TextLayout, TextsArePlacedByTheDesktopSizeNotTheWindow) {
    const Rows base = rowsFor(kScreenWidth, kScreenHeight);
    ASSERT_FALSE(base.welcome.empty());
    ASSERT_FALSE(base.song.empty());
    EXPECT_GE(base.song.left, 40);
    EXPECT_LT(base.song.left, 48) << "the song line starts at x 40";

    struct Case {
        int width, height;
    };
    const Case cases[] = {{1001, 721}, {1200, 800}, {800, 600}, {1000, 640}};
    const auto welcomeX = [](int width) { return std::max(width / 2 - 450, 0); };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const Rows rows = rowsFor(c.width, c.height);
        const int dx = welcomeX(c.width) - welcomeX(kScreenWidth);
        const int dy = c.height / 2 - kScreenHeight / 2;
        ASSERT_FALSE(rows.welcome.empty());
        EXPECT_EQ(rows.welcome.left, base.welcome.left + dx);
        EXPECT_EQ(rows.welcome.bottom, base.welcome.bottom + dy);
        EXPECT_EQ(rows.welcome.top, base.welcome.top + dy);
        ASSERT_FALSE(rows.song.empty());
        EXPECT_EQ(rows.song.left, base.song.left);
        EXPECT_EQ(rows.song.bottom, base.song.bottom + dy);
    }
}

// The song menus' position line (yellow, a colour no other text has) sits
// just under the song line, in rows no other text of the menus, the score bar
// or the developer readouts reaches, on small and large desktops alike.
TEST_F(TextLayout, PositionLineKeepsClearOfEveryOtherText) {
    const auto yellow = [](const std::uint8_t* p) { return p[0] > 150 && p[1] > 150 && p[2] < 60; };
    const auto otherText = [](const std::uint8_t* p) { return green(p) || white(p); };
    struct Case {
        int width, height;
    };
    const Case cases[] = {{640, 480}, {800, 600}, {1000, 720}, {1280, 1024}, {1920, 1080}};
    for (const Case& c : cases) {
        for (const bool firstMenu : {true, false}) {
            SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (firstMenu ? " welcome" : " score"));
            plat::overrideScreenSize(c.width, c.height);
            core->play.firstMenu = firstMenu;
            core->play.devMode = true;
            const Picture picture = draw(7);
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            const Box line = boxOf(picture, 0, picture.height, yellow);
            ASSERT_FALSE(line.empty());
            EXPECT_GE(line.bottom, c.height / 2 - 16);
            EXPECT_LE(line.top, c.height / 2);
            EXPECT_TRUE(boxOf(picture, line.bottom - 2, line.top + 3, otherText).empty());
            EXPECT_GT(line.bottom, 200) << "above the chain swatch and the score bar";
        }
    }
    core->play.devMode = false;
}

// Which rows each screen shows, seen as coloured pixels in their bands.
TEST_F(Overlay, EachScreenShowsItsOwnRows) {
    const int w2 = kScreenWidth / 2;
    const int h2 = kScreenHeight / 2;
    struct Band {
        int from, to;
        bool (*colour)(const std::uint8_t*);
    };
    const Band welcome{h2 + 250, h2 + 275, green};        // M2
    const Band score{h2 + 100, h2 + 145, green};          // M1
    const Band hint{h2 + 50, h2 + 65, white};             // M3, M4, M5
    const Band song{h2 + 20, h2 + 45, white};             // M6
    const Band paused{h2 + 50, h2 + 85, green};           // P1
    const Band pausedHint{h2 + 1, h2 + 14, green};        // P2
    const Band padPausedHint{h2 - 20, h2 - 7, green};     // the pad's buttons under P2
    const Band readouts{kScreenHeight - 40, kScreenHeight - 25, green};  // D1

    struct Case {
        const char* name;
        bool inMenu, firstMenu, paused, pad, dev;
        std::vector<Band> shown;
        std::vector<Band> hidden;
        int hintLeft;   // expected x of the hint row, -1 when none
        int hintCells;  // its characters
    };
    // With a pad the menus show the song as without one; the hint names the
    // pad's buttons, and offers START to replay only once a song has ended.
    const Case cases[] = {
        {"welcome", true, true, false, false, false, {welcome, hint, song}, {score, paused, readouts}, w2 - 400, 62},
        {"score", true, false, false, false, false, {score, hint, song}, {welcome, readouts}, w2 - 400, 52},
        {"welcome_pad", true, true, false, true, false, {welcome, hint, song}, {score, paused}, w2 - 400, 59},
        {"score_pad", true, false, false, true, false, {score, hint, song}, {welcome}, w2 - 300, 53},
        {"paused", false, true, true, false, false, {paused, pausedHint}, {welcome, score, hint, song, padPausedHint}, -1, 0},
        {"paused_pad", false, true, true, true, false, {paused, pausedHint, padPausedHint}, {hint, song}, -1, 0},
        {"playing", false, true, false, false, false, {}, {welcome, score, hint, song, paused, pausedHint}, -1, 0},
        {"playing_pad", false, true, false, true, false, {}, {hint, song, paused, padPausedHint}, -1, 0},
        {"playing_dev", false, true, false, false, true, {readouts}, {score, hint, song}, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        welcomeMenu(nullptr);
        if (!c.inMenu) {
            play(*core);
        }
        core->play.firstMenu = c.firstMenu;
        core->play.paused = c.paused;
        core->play.padConnected = c.pad;
        core->play.devMode = c.dev;
        const Picture picture = draw(7);
        keep(picture, std::string("screen_") + c.name);
        for (const Band& band : c.shown) {
            EXPECT_FALSE(boxOf(picture, band.from, band.to, band.colour).empty()) << "rows " << band.from;
        }
        for (const Band& band : c.hidden) {
            EXPECT_TRUE(boxOf(picture, band.from, band.to, band.colour).empty()) << "rows " << band.from;
        }
        if (c.hintLeft >= 0) {
            // 15 pixels a character at the hint's scale: a line that fits
            // ends in its last cell.
            const Box box = boxOf(picture, hint.from, hint.to, hint.colour);
            EXPECT_GE(box.left, c.hintLeft);
            EXPECT_LT(box.left, c.hintLeft + 8);
            const int end = c.hintLeft + c.hintCells * 15;
            if (end <= picture.width) {
                EXPECT_GE(box.right, end - 15);
                EXPECT_LT(box.right, end);
            }
        }
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }
}

TEST_F(Overlay, ChainSwatchShowsTheColourOfTheLastBlock) {
    struct Case {
        int chainColor;
        std::uint8_t r, g, b;
    };
    const Case cases[] = {{1, 0, 0, 255}, {2, 255, 0, 0}, {3, 0, 255, 0}, {0, 255, 255, 255}, {7, 255, 255, 255}};
    const SwatchArea area = swatchArea(kScreenWidth);
    for (const Case& c : cases) {
        core->play.chainColor = c.chainColor;
        const Picture picture = draw();
        const std::uint8_t* p = picture.at(area.centreX, area.centreY);
        EXPECT_EQ(p[0], c.r) << "colour " << c.chainColor;
        EXPECT_EQ(p[1], c.g) << "colour " << c.chainColor;
        EXPECT_EQ(p[2], c.b) << "colour " << c.chainColor;
        const std::uint8_t* outside = picture.at(area.right + 3, area.centreY);
        EXPECT_NE(outside[0] + outside[1] + outside[2], c.r + c.g + c.b);
    }
}

}  // namespace

namespace {

TEST_F(Overlay, ALongSongNameIsShortenedToStayInsideTheWindow) {
    const std::vector<std::string> songs = core->play.musicList;
    const int h2 = kScreenHeight / 2;
    struct Case {
        std::string name;
        bool shortened;
    };
    const Case cases[] = {
        {"Short.ogg", false},
        {std::string(200, 'W') + ".ogg", true},
        // Two hundred CJK characters: three bytes but one cell each.
        {[] {
             std::string name;
             for (int i = 0; i < 200; ++i) {
                 name += "\xE6\x9D\xB1";
             }
             return name + ".ogg";
         }(),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.size());
        core->play.musicList = {c.name};
        core->play.selectedSong = 0;
        const Picture picture = draw(7);
        const Box line = boxOf(picture, h2 + 20, h2 + 45, white);
        ASSERT_FALSE(line.empty());
        EXPECT_LE(line.right, picture.width - 20) << "one cell stays free at the right edge";
        if (c.shortened) {
            EXPECT_GT(line.right, picture.width - 60) << "the shortened line uses the width it has";
        }
    }
    core->play.musicList = songs;
}

// Accents, curly quotes, a dash and an ellipsis on the song line read as their
// plain forms: the line's pixels are those of the same name typed in ASCII.
TEST_F(Overlay, SongLineDrawsAccentsAndTypographicMarksAsPlainText) {
    const std::vector<std::string> songs = core->play.musicList;
    const int h2 = kScreenHeight / 2;
    const auto songLine = [&](const std::string& name) {
        core->play.musicList = {name};
        core->play.selectedSong = 0;
        const Picture picture = draw(7);
        keep(picture, "song_line_" + std::to_string(name.size()));
        std::vector<std::uint8_t> band;
        for (int y = h2 + 15; y < h2 + 50; ++y) {
            const std::uint8_t* row = picture.at(0, y);
            band.insert(band.end(), row, row + picture.width * 3);
        }
        EXPECT_FALSE(boxOf(picture, h2 + 20, h2 + 45, white).empty());
        return band;
    };
    const std::vector<std::uint8_t> folded = songLine(
        "\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9C\xC3\x84rger\xE2\x80\x9D \xE2\x80\xA6.ogg");
    const std::vector<std::uint8_t> plain = songLine("Unicode - \"Arger\" ....ogg");
    EXPECT_TRUE(folded == plain) << "the folded line differs from the plain one";
    // The comparison sees single letters: one changed letter changes the pixels.
    EXPECT_FALSE(songLine("Unicode - \"Arget\" ....ogg") == plain);
    core->play.musicList = songs;
}

}  // namespace
