// Every generated texture, both models and the glyph sheet drawn on screen
// the way the game draws them, saved as a screenshot under the build folder
// (artefacts/assets.tga), and checked tile by tile for its main colours.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "diag/ErrorHandler.h"
#include "render/texture_set.h"
#include "render/FontHandler.h"
#include "render/ModelHandler.h"
#include "tests/render/test_support.h"

namespace {

constexpr int kTileW = 256, kTileH = 192, kColumns = 4, kRows = 4;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// The pixels of one tile, read back from the window.
class Tile {
public:
    Tile(const std::vector<std::uint8_t>& pixels, int column, int row) : pixels_(pixels), column_(column), row_(row) {}

    // Mean colour of a box given in fractions of the tile (y from the bottom).
    Rgb mean(double x0, double y0, double x1, double y1) const {
        Rgb sum;
        int n = 0;
        each(x0, y0, x1, y1, [&](const std::uint8_t* p) {
            sum.r += p[0];
            sum.g += p[1];
            sum.b += p[2];
            ++n;
        });
        return {sum.r / n, sum.g / n, sum.b / n};
    }
    // Share of the whole tile's pixels for which `test` holds.
    double share(const std::function<bool(int r, int g, int b)>& test) const {
        int hits = 0, n = 0;
        each(0, 0, 1, 1, [&](const std::uint8_t* p) {
            hits += test(p[0], p[1], p[2]) ? 1 : 0;
            ++n;
        });
        return static_cast<double>(hits) / n;
    }

private:
    void each(double x0, double y0, double x1, double y1, const std::function<void(const std::uint8_t*)>& f) const {
        const int left = column_ * kTileW, bottom = (kRows - 1 - row_) * kTileH;
        for (int y = bottom + static_cast<int>(y0 * kTileH); y < bottom + static_cast<int>(y1 * kTileH); ++y) {
            for (int x = left + static_cast<int>(x0 * kTileW); x < left + static_cast<int>(x1 * kTileW); ++x) {
                f(&pixels_[(static_cast<std::size_t>(y) * kColumns * kTileW + x) * 4]);
            }
        }
    }
    const std::vector<std::uint8_t>& pixels_;
    int column_, row_;
};

bool background(int r, int g, int b) { return r < 20 && g < 20 && b < 35; }

class AssetScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!window.ready()) {
            GTEST_SKIP() << window.reason();
        }
        testsupport::linkTree(std::string(REDAVAVE_RUN_DIR) + "/resources", "resources");
        for (Texture& texture : textures) {
            texture = Texture{};
        }
        fontHandler.releaseAll();
        errorHandler.open("log.txt", true);
    }
    void TearDown() override { fontHandler.releaseAll(); }

    static void tile(int column, int row) {
        glViewport(column * kTileW, (kRows - 1 - row) * kTileH, kTileW, kTileH);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(40.0, static_cast<double>(kTileW) / kTileH, 1.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    static void flatTile(int column, int row) {
        tile(column, row);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-kTileW / 2.0, kTileW / 2.0, -kTileH / 2.0, kTileH / 2.0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }

    // A square card of `size` pixels showing the whole of a texture, blended by its alpha.
    static void card(GLuint texture, float size, bool alphaTest) {
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        if (alphaTest) {
            glAlphaFunc(GL_GREATER, 0.1f);
            glEnable(GL_ALPHA_TEST);
        }
        glBindTexture(GL_TEXTURE_2D, texture);
        glColor3f(1, 1, 1);
        const float h = size / 2;
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-h, -h);
        glTexCoord2f(1, 0);
        glVertex2f(h, -h);
        glTexCoord2f(1, 1);
        glVertex2f(h, h);
        glTexCoord2f(0, 1);
        glVertex2f(-h, h);
        glEnd();
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
    }

    static void planet(GLuint texture) {
        GLUquadric* quadric = gluNewQuadric();
        gluQuadricDrawStyle(quadric, GLU_FILL);
        gluQuadricTexture(quadric, GL_TRUE);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const GLfloat position[4] = {-3, 2, 4, 0}, white[4] = {1.1f, 1.1f, 1.1f, 1}, ambient[4] = {0.35f, 0.35f, 0.35f, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTranslatef(0, 0, -3.2f);
        glRotatef(-90, 1, 0, 0);  // the sphere's axis upright, north at the top
        gluSphere(quadric, 1.0, 48, 32);
        gluDeleteQuadric(quadric);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
    }

    // A model seen from behind and above, like the game's camera sees the ship.
    static void model(const Model& m, GLuint texture, float distance, const float color[3]) {
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        if (texture != 0) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, texture);
        }
        glColor3fv(color);
        gluLookAt(0, -distance, distance * 0.7, 0, 0, 0, 0, 0, 1);
        glRotatef(25, 0, 0, 1);
        modelHandler.draw(m);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glColor3f(1, 1, 1);
    }

    testsupport::ScratchFolder folder;
    testsupport::BoxRecorder boxes;
    testsupport::GlWindow window{kColumns * kTileW, kRows * kTileH};
};

TEST_F(AssetScreenshotTest, EveryTextureModelAndTheGlyphSheetShowTheirColours) {
    ASSERT_TRUE(loadTextures());
    ASSERT_TRUE(modelHandler.load(shipModel, "resources/Models/space_craft.3ds"));
    ASSERT_TRUE(modelHandler.load(carModel, "resources/Models/car.3ds"));

    glClearColor(0.02f, 0.02f, 0.08f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const int planets[4] = {TEXTURE_EARTH, TEXTURE_MOON, TEXTURE_VENUS, TEXTURE_MERCURY};
    for (int i = 0; i < 4; ++i) {
        tile(i, 0);
        planet(textures[planets[i]].texID);
    }
    const int sprites[4] = {TEXTURE_SUN, TEXTURE_BONUS, TEXTURE_DEATH, TEXTURE_BAR};
    for (int i = 0; i < 4; ++i) {
        flatTile(i, 1);
        card(textures[sprites[i]].texID, 180, i == 0);
    }
    flatTile(0, 2);
    card(textures[TEXTURE_PLAYER].texID, 180, false);
    flatTile(1, 2);
    card(textures[TEXTURE_CAR].texID, 180, false);
    const float white[3] = {1, 1, 1}, blue[3] = {0, 0, 10};
    tile(2, 2);
    model(shipModel, textures[TEXTURE_PLAYER].texID, 9, white);
    tile(3, 2);
    model(carModel, 0, 5, blue);  // the course draws its cars flat in their block colour
    flatTile(0, 3);
    card(textures[TEXTURE_FONT].texID, 190, false);
    glViewport(0, 0, window.width(), window.height());
    testsupport::setPixelProjection(window.width(), window.height());
    fontHandler.print(1, 130, kTileW + 8, 256, 256, 256, 0.3f, "Redavave 1.3");
    fontHandler.print(5, 60, kTileW + 8, 0, 255, 0, 0.3f, "Your Score: %i!", 42);
    tile(2, 3);
    model(carModel, textures[TEXTURE_CAR].texID, 5, white);
    tile(3, 3);
    glRotatef(90, 0, 0, 1);
    model(shipModel, textures[TEXTURE_PLAYER].texID, 10, white);

    const std::string shot = std::string(REDAVAVE_BINARY_DIR) + "/artefacts/assets.tga";
    ASSERT_TRUE(window.saveScreenshot(shot));
    std::printf("screenshot: %s\n", shot.c_str());
    const std::vector<std::uint8_t> pixels = window.readPixels();
    window.present();

    // Planets: the middle of each disc.
    const Rgb earth = Tile(pixels, 0, 0).mean(0.35, 0.3, 0.65, 0.7);
    EXPECT_GT(earth.b, earth.r + 20) << "mostly ocean";
    EXPECT_GT(Tile(pixels, 0, 0).share([](int r, int g, int b) { return g > r + 10 && g > b + 10; }), 0.01)
        << "some green land";
    const Rgb moon = Tile(pixels, 1, 0).mean(0.35, 0.3, 0.65, 0.7);
    EXPECT_NEAR(moon.r, moon.b, 15) << "grey";
    EXPECT_GT(moon.g, 60);
    const Rgb venus = Tile(pixels, 2, 0).mean(0.35, 0.3, 0.65, 0.7);
    EXPECT_GT(venus.r, venus.b + 40) << "yellow";
    EXPECT_GT(venus.g, venus.b + 20);
    const Rgb mercury = Tile(pixels, 3, 0).mean(0.35, 0.3, 0.65, 0.7);
    EXPECT_GT(mercury.r, mercury.b + 5) << "brownish grey";
    EXPECT_LT(mercury.r, mercury.b + 60);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(background(0, 0, 0));
        const Rgb corner = Tile(pixels, i, 0).mean(0, 0, 0.1, 0.1);
        EXPECT_TRUE(background(static_cast<int>(corner.r), static_cast<int>(corner.g), static_cast<int>(corner.b)));
    }

    // Sprites: their middles, and their see-through corners.
    const Rgb sun = Tile(pixels, 0, 1).mean(0.47, 0.47, 0.53, 0.53);
    EXPECT_GT(sun.r, 220);
    EXPECT_GT(sun.g, 200);
    EXPECT_GE(sun.r, sun.b);
    EXPECT_GT(Tile(pixels, 1, 1).share([](int r, int g, int b) { return r > 200 && g > 110 && g < 230 && b < 100; }),
              0.08)
        << "gold";
    const Tile skull(pixels, 2, 1);
    EXPECT_GT(skull.share([](int r, int g, int b) { return r > 190 && g > 180 && b > 150; }), 0.1) << "bone";
    EXPECT_GT(skull.share([](int r, int g, int b) { return r > 120 && g < 70 && b < 70; }), 0.02) << "red glow";
    EXPECT_GT(skull.share([](int r, int g, int b) { return r < 60 && g < 30 && b < 30; }), 0.005) << "eye sockets";
    for (int i = 0; i < 3; ++i) {
        const Rgb corner = Tile(pixels, i, 1).mean(0.02, 0.02, 0.08, 0.08);
        EXPECT_TRUE(background(static_cast<int>(corner.r), static_cast<int>(corner.g), static_cast<int>(corner.b)))
            << "tile " << i;
    }
    const Rgb bar = Tile(pixels, 3, 1).mean(0.2, 0.35, 0.8, 0.65);
    EXPECT_GT(bar.b, bar.r + 15) << "dark blue";

    // Hull and car skins.
    const Tile hull(pixels, 0, 2);
    EXPECT_GT(hull.share([](int r, int g, int b) { return std::abs(r - b) < 40 && g > 90; }), 0.5) << "metal grey";
    EXPECT_GT(hull.share([](int r, int g, int b) { return r > 150 && g < 110 && b < 90; }), 0.02) << "red stripes";
    EXPECT_GT(Tile(pixels, 1, 2).share([](int r, int g, int b) { return r > 200 && g > 150 && b < 80; }), 0.05)
        << "hazard yellow";

    // Models: the ship in its hull colours, the car flat blue, both solid from the game's side.
    for (const int column : {2, 3}) {
        const int row = column == 2 ? 2 : 3;
        const Tile ship(pixels, column, row);
        EXPECT_GT(ship.share([](int r, int g, int b) { return !background(r, g, b); }), 0.1) << "ship " << column;
        EXPECT_GT(ship.share([](int r, int g, int b) { return g > 90 && std::abs(r - b) < 50; }), 0.05);
    }
    const Tile car(pixels, 3, 2);
    EXPECT_GT(car.share([](int r, int g, int b) { return b > 200 && r < 30 && g < 30; }), 0.1);
    EXPECT_GT(Tile(pixels, 2, 3).share([](int r, int g, int b) { return r > 200 && g > 150 && b < 80; }), 0.005)
        << "textured car";

    // Glyph sheet: white glyphs on the dark background; the printed texts.
    const Tile sheet(pixels, 0, 3);
    const double ink = sheet.share([](int r, int g, int b) { return r > 200 && g > 200 && b > 200; });
    EXPECT_GT(ink, 0.03);
    EXPECT_LT(ink, 0.5);
    const Tile text(pixels, 1, 3);
    EXPECT_GT(text.share([](int r, int g, int b) { return r > 200 && g > 200 && b > 200; }), 0.002) << "white text";
    EXPECT_GT(text.share([](int r, int g, int b) { return g > 200 && r < 60 && b < 60; }), 0.002) << "green text";
    EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
