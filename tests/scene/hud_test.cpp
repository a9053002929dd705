// The overlay on the game's real window: the veil and its fade, the end of a
// song, and where the texts of each screen land, read back as pixels.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/Core.h"
#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "game/screens.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/scene.h"
#include "tests/scene/scene_world.h"

namespace {

using namespace scenetest;

bool green(const std::uint8_t* p) { return p[1] > 128 && p[0] < 80 && p[2] < 160; }
bool white(const std::uint8_t* p) { return p[0] > 150 && p[1] > 150 && p[2] > 150; }

// Which screen is up, from the Welcome menu: the flags of the play state,
// and whether the Score menu shows the song's best (a new one not kept).
struct Screen {
    const char* name;
    bool inMenu, firstMenu, paused, pad, dev, best;
};

class Overlay : public GameTest {
protected:
    void show(const Screen& screen) {
        welcomeMenu(nullptr);
        if (!screen.inMenu) {
            play(*core);
        }
        core->play.firstMenu = screen.firstMenu;
        core->play.paused = screen.paused;
        core->play.padConnected = screen.pad;
        core->play.devMode = screen.dev;
        core->play.songEnd.shown = screen.best;
        core->play.songEnd.best = 4321;
        core->play.songEnd.newBest = screen.best;
        core->play.songEnd.notKept = screen.best;
    }

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
        show({c.name, c.inMenu, c.firstMenu, c.paused, c.pad, c.dev, false});
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

// The overlay's shapes as drawn for a desktop of a given size, recorded
// rather than read back, so that any desktop can be laid out in the test
// window: each print's glyph quads, and the flat quads (the veil when it is
// drawn, the score bar, the chain swatch).
const Screen kScreens[] = {
    {"welcome", true, true, false, false, false, false},   {"score", true, false, false, false, false, true},
    {"welcome_pad", true, true, false, true, false, false}, {"score_pad", true, false, false, true, false, true},
    {"paused", false, true, true, false, false, false},     {"menu_dev", true, false, false, false, true, true},
    {"playing_dev", false, true, false, false, true, false},
};

struct Shapes {
    std::vector<QuadArray> texts;
    std::vector<FlatQuad> flat;
    // The veil reaches far past the left edge; the bar starts at the bottom-left corner.
    const FlatQuad* veil() const { return find([](const FlatQuad& q) { return q.left < 0.0f; }); }
    const FlatQuad& bar() const {
        return *find([](const FlatQuad& q) { return q.left == 0.0f && q.bottom == 0.0f; });
    }
    const FlatQuad& swatch() const { return flat.back(); }

private:
    template <typename Test>
    const FlatQuad* find(Test test) const {
        const auto found = std::find_if(flat.begin(), flat.end(), test);
        return found == flat.end() ? nullptr : &*found;
    }
};

class HudShapes : public Overlay {
protected:
    // A screen with a score of three figures and a chain bonus in the bar.
    void show(const Screen& screen) {
        Overlay::show(screen);
        player.addPoints(350);
        core->play.comboBonus = 12;
    }

    // As a game started on that desktop would draw them: its score bar spans the desktop's width.
    Shapes shapesAt(int width, int height) {
        plat::overrideScreenSize(width, height);
        core->play.banner.width = static_cast<float>(width);
        startRecording();
        draw();
        stopRecording();
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        return {recording().quadArrays, recording().immediateQuads};
    }

    void TearDown() override {
        if (core != nullptr) {
            core->play.banner.width = static_cast<float>(kScreenWidth);
            core->play.songEnd = PlayState::SongEnd();
            core->play.devMode = false;
        }
    }
};

float height(const FlatQuad& q) { return q.top - q.bottom; }
bool overlap(const FlatQuad& a, const FlatQuad& b) {
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

TEST_F(HudShapes, EachPrintIsOneDrawOfItsGlyphQuads) {
    show(kScreens[5]);
    const Shapes shapes = shapesAt(1280, 1024);
    EXPECT_EQ(recording().listBatches, 0) << "no display lists for text";
    ASSERT_FALSE(shapes.texts.empty());
    // The credit line, the one print at (30, 30) at scale 0.3: one quad of
    // 15 x 15 pixels per character, each 15 pixels right of the one before.
    const std::string credit = "Redavave 1.3 - Game By Rodadi Vuzivi";
    const auto found = std::find_if(shapes.texts.begin(), shapes.texts.end(), [](const QuadArray& text) {
        return !text.quads.empty() && text.quads[0].left == 30.0f && text.quads[0].bottom == 30.0f;
    });
    ASSERT_NE(found, shapes.texts.end());
    ASSERT_EQ(found->quads.size(), credit.size());
    for (std::size_t i = 0; i < credit.size(); ++i) {
        EXPECT_NEAR(found->quads[i].left, 30.0f + 15.0f * static_cast<float>(i), 1e-3f) << i;
        EXPECT_NEAR(found->quads[i].right - found->quads[i].left, 15.0f, 1e-3f) << i;
        EXPECT_NEAR(height(found->quads[i]), 15.0f, 1e-3f) << i;
    }
    EXPECT_EQ(found->texture, textureName(2)) << "drawn from the font sheet";
}

// Every row keeps its anchor (the screen's centre or an edge) and grows its
// offset from it, its glyphs, the score bar, the veil's edge and the swatch
// by the screen's height over 1200 lines; at 1200 lines and fewer nothing
// moves. Each row's anchor is told by how it moves between two desktops of
// the unscaled layout.
TEST_F(HudShapes, TheHudGrowsWithTallScreensAroundTheSameAnchors) {
    struct Size {
        int width, height;
        float scale;
    };
    const Size sizes[] = {{3840, 2160, 1.8f}, {2560, 1440, 1.2f}, {3440, 1440, 1.2f},
                          {1280, 800, 1.0f},  {1920, 1200, 1.0f}, {2160, 3840, 1.6875f}};
    for (const Screen& screen : kScreens) {
        SCOPED_TRACE(screen.name);
        show(screen);
        const Shapes base = shapesAt(1280, 1024);
        const Shapes wider = shapesAt(1920, 1080);
        ASSERT_EQ(base.texts.size(), wider.texts.size());
        ASSERT_EQ(base.flat.size(), screen.inMenu || screen.paused ? 3u : 2u) << "the veil only when it shows";
        for (const Size& size : sizes) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
            const Shapes grown = shapesAt(size.width, size.height);
            ASSERT_EQ(grown.texts.size(), base.texts.size());
            for (std::size_t i = 0; i < base.texts.size(); ++i) {
                SCOPED_TRACE(i);
                const FlatQuad from = base.texts[i].box();
                const FlatQuad other = wider.texts[i].box();
                const FlatQuad to = grown.texts[i].box();
                // 0 for a row kept at the left or bottom edge, 1/2 at the centre, 1 at the top.
                const float xAnchor = (other.left - from.left) / 640.0f;
                const float yAnchor = (other.bottom - from.bottom) / 56.0f;
                ASSERT_TRUE(xAnchor == 0.0f || xAnchor == 0.5f) << xAnchor;
                ASSERT_TRUE(yAnchor == 0.0f || yAnchor == 0.5f || yAnchor == 1.0f) << yAnchor;
                const float left = xAnchor * size.width + size.scale * (from.left - xAnchor * 1280.0f);
                const float bottom = yAnchor * size.height + size.scale * (from.bottom - yAnchor * 1024.0f);
                EXPECT_NEAR(to.left, left, 0.5f);
                EXPECT_NEAR(to.bottom, bottom, 0.5f);
                EXPECT_NEAR(height(to), size.scale * height(from), 1e-3f);
                // The song's name is short enough to stay whole in the test's window.
                EXPECT_NEAR(to.right - to.left, size.scale * (from.right - from.left), 1e-2f);
            }
            const FlatQuad& bar = grown.bar();
            const FlatQuad& swatch = grown.swatch();
            EXPECT_FLOAT_EQ(bar.bottom, 0.0f);
            EXPECT_NEAR(bar.top, 100.0f * size.scale, 1e-3f);
            EXPECT_EQ(bar.right, static_cast<float>(size.width));
            if (const FlatQuad* veil = grown.veil()) {
                EXPECT_EQ(veil->bottom, bar.top) << "the veil covers all above the bar";
                EXPECT_GE(veil->right, static_cast<float>(size.width));
                EXPECT_GE(veil->top, static_cast<float>(size.height));
            }
            EXPECT_NEAR(swatch.right - swatch.left, 33.0f * size.scale, 1e-2f);
            EXPECT_NEAR(height(swatch), 30.0f * size.scale, 1e-2f);
        }
    }
}

// On the common desktops (and a 4K screen turned upright), every text of
// every screen lies whole on the screen, no two texts share a pixel, the texts above the bar stay clear of
// it, and the chain swatch sits inside the bar, clear of its texts.
TEST_F(HudShapes, NothingIsCutOffOrOverlapsOnCommonScreens) {
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{3840, 2160}, {2560, 1440}, {3440, 1440}, {1280, 800},
                          {1920, 1080}, {1280, 1024}, {2160, 3840}};
    for (const Screen& screen : kScreens) {
        show(screen);
        for (const Size& size : sizes) {
            SCOPED_TRACE(std::string(screen.name) + " " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            const Shapes shapes = shapesAt(size.width, size.height);
            const FlatQuad& bar = shapes.bar();
            const FlatQuad& swatch = shapes.swatch();
            EXPECT_TRUE(swatch.left >= 0.0f && swatch.right <= size.width && swatch.bottom >= bar.bottom &&
                        swatch.top <= bar.top);
            for (std::size_t i = 0; i < shapes.texts.size(); ++i) {
                const FlatQuad a = shapes.texts[i].box();
                EXPECT_TRUE(a.left >= 0.0f && a.right <= size.width && a.bottom >= 0.0f && a.top <= size.height)
                    << "text " << i << " runs off the screen";
                EXPECT_FALSE(overlap(a, swatch)) << "text " << i << " under the swatch";
                const bool inBar = a.top <= bar.top;
                EXPECT_TRUE(inBar || a.bottom >= bar.top) << "text " << i << " across the bar's edge";
                for (std::size_t j = i + 1; j < shapes.texts.size(); ++j) {
                    EXPECT_FALSE(overlap(a, shapes.texts[j].box())) << "texts " << i << " and " << j;
                }
            }
        }
    }
}

// On a tall screen the song line's characters are wider, and a long name is
// shortened to the cells that fit the window at that width.
TEST_F(HudShapes, ALongNameIsShortenedToTheWindowAtTheGrownCellWidth) {
    const std::vector<std::string> songs = core->play.musicList;
    core->play.musicList = {std::string(200, 'W') + ".ogg"};
    show(kScreens[0]);
    plat::Rect client{};
    plat::getClientRect(core->hWnd, &client);
    const float width = static_cast<float>(client.right - client.left);
    for (const float scale : {1.0f, 1.2f, 1.8f}) {
        SCOPED_TRACE(scale);
        const Shapes shapes = shapesAt(static_cast<int>(3840 * scale / 1.8f), static_cast<int>(1200 * scale));
        const float cell = 20.0f * scale;
        // The song line: white, and the only print that starts 40 pixels in (grown).
        const auto line = std::find_if(shapes.texts.begin(), shapes.texts.end(), [&](const QuadArray& text) {
            return text.color[2] > 0.5f && std::fabs(text.box().left - std::round(40.0f * scale)) < 0.5f;
        });
        ASSERT_NE(line, shapes.texts.end());
        EXPECT_LE(line->box().right, width - cell + 0.01f) << "one cell stays free at the right edge";
        EXPECT_GT(line->box().right, width - 2.0f * cell) << "the shortened line uses the width it has";
        EXPECT_NEAR(line->quads[1].left - line->quads[0].left, cell, 1e-3f);
    }
    core->play.musicList = songs;
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
