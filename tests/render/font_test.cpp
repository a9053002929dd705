// Bitmap fonts in a real OpenGL context: glyph cells, IDs, the pen, the
// reports, and texts that must stay inside the window and the font's lists.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "diag/ErrorHandler.h"
#include "render/FontHandler.h"
#include "tests/render/test_support.h"

namespace {

using testsupport::FeedbackPolygon;

constexpr float kStep = 50.0f / 512.0f;

struct Extent {
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f, s0 = 1e9f, s1 = -1e9f, t0 = 1e9f, t1 = -1e9f;
};

Extent extentOf(const FeedbackPolygon& polygon) {
    Extent e;
    for (const auto& v : polygon) {
        e.x0 = std::min(e.x0, v.x);
        e.x1 = std::max(e.x1, v.x);
        e.y0 = std::min(e.y0, v.y);
        e.y1 = std::max(e.y1, v.y);
        e.s0 = std::min(e.s0, v.s);
        e.s1 = std::max(e.s1, v.s);
        e.t0 = std::min(e.t0, v.t);
        e.t1 = std::max(e.t1, v.t);
    }
    return e;
}

// One extent per glyph quad; the driver may hand a quad back as two triangles
// that share their lower-left corner.
std::vector<Extent> quadsOf(const std::vector<FeedbackPolygon>& polygons) {
    std::vector<Extent> quads;
    for (const FeedbackPolygon& polygon : polygons) {
        const Extent e = extentOf(polygon);
        if (!quads.empty() && quads.back().x0 == e.x0 && quads.back().y0 == e.y0) {
            Extent& q = quads.back();
            q.x1 = std::max(q.x1, e.x1);
            q.y1 = std::max(q.y1, e.y1);
            q.s0 = std::min(q.s0, e.s0);
            q.s1 = std::max(q.s1, e.s1);
            q.t0 = std::min(q.t0, e.t0);
            q.t1 = std::max(q.t1, e.t1);
        } else {
            quads.push_back(e);
        }
    }
    return quads;
}

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!window.ready()) {
            GTEST_SKIP() << window.reason();
        }
        errorHandler.open("log.txt", true);
        folder.clearLog();
        // Lists made before and after the font, which a stray byte must never reach.
        before = glGenLists(64);
        id = fontHandler.loadFont(7, 50);
        after = glGenLists(300);
        for (GLuint list = 0; list < 64 + 300; ++list) {
            glNewList(list < 64 ? before + list : after + list - 64, GL_COMPILE);
            glRecti(2, 2, 7, 7);  // small, and inside the window wherever the pen is
            glEndList();
        }
    }
    void TearDown() override { fontHandler.releaseAll(); }

    std::vector<Extent> printed(std::uint32_t y, std::uint32_t x, const char* text, float scale = 1.0f) {
        return quadsOf(testsupport::captureFeedback(
            [&] { fontHandler.print(static_cast<std::uint32_t>(id), y, x, 255, 255, 255, scale, "%s", text); }));
    }

    testsupport::ScratchFolder folder;
    testsupport::BoxRecorder boxes;
    testsupport::GlWindow window{800, 200};
    GLuint before = 0, after = 0;
    int id = 0;
};

TEST_F(FontTest, FontsGetIdsFromOneInOrder) {
    for (int i = 2; i <= 15; ++i) {
        EXPECT_EQ(fontHandler.loadFont(7, 50), i);
    }
    EXPECT_EQ(fontHandler.fonts.size(), 15u);
    EXPECT_TRUE(fontHandler.fonts[0]->advance);
    EXPECT_EQ(fontHandler.fonts[14]->texture, 7u);
    // Every font of the sheet writes alike; a font of another cell size has
    // glyphs of its own.
    const int bigger = fontHandler.loadFont(7, 64);
    const auto quadsOfFont = [&](int font) {
        return quadsOf(testsupport::captureFeedback(
            [&] { fontHandler.print(static_cast<std::uint32_t>(font), 10, 20, 255, 255, 255, 1.0f, "%s", "Ab"); }));
    };
    const std::vector<Extent> first = quadsOfFont(1);
    ASSERT_EQ(first.size(), 2u);
    for (int font = 2; font <= 15; ++font) {
        const std::vector<Extent> same = quadsOfFont(font);
        ASSERT_EQ(same.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_FLOAT_EQ(same[i].x0, first[i].x0);
            EXPECT_FLOAT_EQ(same[i].x1, first[i].x1);
            EXPECT_FLOAT_EQ(same[i].s0, first[i].s0);
            EXPECT_FLOAT_EQ(same[i].t0, first[i].t0);
        }
    }
    const std::vector<Extent> big = quadsOfFont(bigger);
    ASSERT_EQ(big.size(), 2u);
    EXPECT_FLOAT_EQ(big[1].x0, 20 + 64);
    EXPECT_NEAR(big[0].s1 - big[0].s0, 64.0f / 512.0f, 1e-5);
    fontHandler.releaseAll();
    EXPECT_TRUE(fontHandler.fonts.empty());
}

TEST_F(FontTest, GlyphsAreCutFromTheSheetTopLeftFirst) {
    struct Cell {
        const char* text;
        int column;
        int row;
    };
    // The florin, U+0192 in UTF-8, is the last cell of the sheet.
    for (const Cell c : {Cell{" ", 0, 0}, Cell{"!", 1, 0}, Cell{"*", 0, 1}, Cell{"A", 3, 3}, Cell{"\xC6\x92", 9, 9}}) {
        SCOPED_TRACE(c.text);
        const std::vector<Extent> quads = printed(20, 30, c.text);
        ASSERT_EQ(quads.size(), 1u);
        EXPECT_NEAR(quads[0].s0, c.column * kStep, 1e-5);
        EXPECT_NEAR(quads[0].s1, (c.column + 1) * kStep, 1e-5);
        EXPECT_NEAR(quads[0].t1, 1.0f - c.row * kStep, 1e-5);
        EXPECT_NEAR(quads[0].t0, 1.0f - (c.row + 1) * kStep, 1e-5);
        EXPECT_FLOAT_EQ(quads[0].x0, 30);
        EXPECT_FLOAT_EQ(quads[0].x1, 80);
        EXPECT_FLOAT_EQ(quads[0].y0, 20);
        EXPECT_FLOAT_EQ(quads[0].y1, 70);
    }
}

TEST_F(FontTest, EachGlyphMovesThePenOneCellAndPrintsStartAfresh) {
    for (int round = 0; round < 2; ++round) {
        const std::vector<Extent> quads = printed(10, 40, "AB");
        ASSERT_EQ(quads.size(), 2u);
        EXPECT_FLOAT_EQ(quads[0].x0, 40);
        EXPECT_FLOAT_EQ(quads[1].x0, 90);
    }
    EXPECT_NEAR(printed(0, 0, "42", 0.3f).back().x1, 30.0f, 1e-3) << "two glyphs of 15 pixels at scale 0.3";
}

TEST_F(FontTest, CharactersWithoutAGlyphDrawOneStandInCellEach) {
    // A control byte, a two-byte (Cyrillic) and a four-byte character, and a
    // byte that starts no character: four stand-ins between A and B, one cell apart.
    const std::vector<Extent> quads = printed(10, 0, "A\x01\xD0\x96\xF0\x9F\x8E\xB5\xFF" "B");
    ASSERT_EQ(quads.size(), 6u);
    for (std::size_t i = 0; i < quads.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(quads[i].x0, 50.0f * static_cast<float>(i));
        EXPECT_FLOAT_EQ(quads[i].x1 - quads[i].x0, 50.0f) << "a list outside the font's block was called";
        const bool standIn = i >= 1 && i <= 4;
        // The stand-in is the cell of code 127: column 5 of the last row.
        EXPECT_EQ(std::abs(quads[i].s0 - 5 * kStep) < 1e-5f && std::abs(quads[i].t1 - (1.0f - 9 * kStep)) < 1e-5f,
                  standIn);
    }
}

TEST_F(FontTest, PositionsBelowZeroStartAtTheWindowEdge) {
    const std::vector<Extent> quads = printed(static_cast<std::uint32_t>(-40), static_cast<std::uint32_t>(-300), "AB");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[0].x0, 0);
    EXPECT_FLOAT_EQ(quads[0].y0, 0);
    EXPECT_FLOAT_EQ(quads[1].x0, 50);
}

TEST_F(FontTest, LongTextsAreCutAtTheBuffer) {
    const std::string longText(3000, 'W');
    // Small enough that every glyph stays inside the window.
    EXPECT_EQ(printed(0, 0, longText.c_str(), 0.02f).size(), sizeof fontHandler.text - 1);
    EXPECT_GE(sizeof fontHandler.text, 256u);
}

TEST_F(FontTest, EmptyTextDrawsNothingAndLeavesTexturingOff) {
    glEnable(GL_TEXTURE_2D);
    EXPECT_TRUE(printed(0, 0, "").empty());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(FontTest, UnknownIdsAreReportedAndDrawNothing) {
    for (const std::uint32_t bad : {0u, 2u, 1000u}) {
        SCOPED_TRACE(bad);
        folder.clearLog();
        boxes.clear();
        const auto polygons =
            testsupport::captureFeedback([&] { fontHandler.print(bad, 10, 10, 255, 255, 255, 1.0f, "Hello"); });
        EXPECT_TRUE(polygons.empty());
        const std::string number = std::to_string(bad);
        EXPECT_EQ(folder.log(), "Invalid Font ID {" + number + "}!\nInvalid Font ID {" + number + "} In Game!\n");
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].title, "Game Error");
    }
}

}  // namespace
