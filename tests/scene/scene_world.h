#pragma once

// The scene tests run the game's own start-up (Core::createWindow with the
// generated resources, sound on the engine's offline output) once per process,
// then call the scene pass and the overlay by hand. What the pass hands to
// OpenGL and GLU is recorded through linker wraps (gl_recorder.cpp).

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Core;

namespace scenetest {

// The window is made for a desktop of this size (the game sizes its window by the desktop).
inline constexpr int kScreenWidth = 1000;
inline constexpr int kScreenHeight = 720;

// A song of half a second in the game's music folder.
inline constexpr const char* kShortSong = "short.ogg";

using Matrix = std::array<float, 16>;

struct SphereCall {
    double radius = 0.0;
    int slices = 0;
    int stacks = 0;
    const void* quadric = nullptr;
    GLuint texture = 0;  // bound while the sphere was drawn
    Matrix modelView{};
};

struct BindCall {
    GLuint texture = 0;
    Matrix modelView{};
};

struct QuadricState {
    const void* quadric = nullptr;
    GLenum drawStyle = 0;
    bool textured = false;
};

// A quad of the flat overlay in window pixels (through the model-view matrix
// of its draw), as its bounding box.
struct FlatQuad {
    float left = 0.0f, bottom = 0.0f, right = 0.0f, top = 0.0f;
};

// One glDrawArrays of quads: a print's glyphs, in drawing order.
struct QuadArray {
    std::vector<FlatQuad> quads;
    GLuint texture = 0;  // bound while they were drawn
    GLfloat color[4] = {};
    // The union of its quads.
    FlatQuad box() const;
};

struct Recording {
    std::vector<SphereCall> spheres;
    std::vector<BindCall> binds;
    int quadricsMade = 0;
    int quadricsFreed = 0;
    int lineBatches = 0;                           // glBegin(GL_LINES)
    std::vector<std::array<float, 3>> lineVertices;  // glVertex3f inside them
    std::vector<QuadArray> quadArrays;             // glDrawArrays(GL_QUADS) from vertex arrays of x, y
    std::vector<FlatQuad> immediateQuads;          // glBegin(GL_QUADS) with glVertex2f
    int listBatches = 0;                           // glCallLists

    bool bound(GLuint texture) const;
    const BindCall* firstBind(GLuint texture) const;
};

// Clears the recording and records until stop.
void startRecording();
void stopRecording();
const Recording& recording();
// Every GLU quadric made in this process so far, with the state it was given.
const std::vector<QuadricState>& quadricsOfTheProcess();

// The game as start-up left it, made on the first call; null (with `reason`)
// when there is no display.
Core* game(std::string* reason);
// The game back in the Welcome menu, with the start values of the scene, the
// camera, the ship and the course, the desktop at its test size, one pass
// every 1/60 s; null (with `reason`) when there is no display.
Core* welcomeMenu(std::string* reason);
// Every test starts from the Welcome menu and skips without a display.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        core = welcomeMenu(&reason);
        if (core == nullptr) {
            GTEST_SKIP() << reason;
        }
    }

    Core* core = nullptr;
};

// Starts the test song from its beginning and leaves the menu (Playing).
void play(Core& core);

// Log lines written during start-up.
const std::vector<std::string>& startupLog();
// GL state read right after start-up, before any pass.
struct StartupState {
    GLint polygonMode[2] = {};
    bool depthTest = false, cullFace = false, light0 = false, normalize = false, texture2d = true, blend = true,
         lighting = true;
    GLint depthFunc = 0, shadeModel = 0, blendSrc = 0, blendDst = 0, perspectiveHint = 0, matrixMode = 0;
    GLfloat clearColor[4] = {};
    GLfloat clearDepth = 0.0f;
    bool carListCompiled = false;
    int appState = 0;
    float playerLateral = 0.0f;
};
const StartupState& startupState();

// The texture name of entry `index` of the texture set.
GLuint textureName(int index);

// The model-view matrix that gluLookAt makes from identity.
Matrix lookAt(const float eye[3], const float center[3], const float up[3]);
Matrix currentModelView();
// Largest absolute difference between two matrices.
float distance(const Matrix& a, const Matrix& b);

// Where the chain swatch lands on a desktop `width` pixels wide. Its corners
// (W/2 - 680, 100) and (W/2 - 570, 200) are given in the space that the credit
// line's print leaves behind: the pen after the line's last glyph, at its scale.
struct SwatchArea {
    int left, right, bottom, top, centreX, centreY;
};
SwatchArea swatchArea(int width);

// Back buffer of the game window, RGB rows from the bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};
Picture readBackBuffer();
// Writes a picture as binary PPM (top row first) for a person to look at.
void savePicture(const Picture& picture, const std::string& path);

// Bounding box of the pixels that pass `test`, inside the given rows.
struct Box {
    int left = -1, bottom = -1, right = -1, top = -1;
    bool empty() const { return left < 0; }
};
template <typename Test>
Box boxOf(const Picture& picture, int fromRow, int toRow, Test test) {
    Box box;
    for (int y = fromRow; y < toRow && y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (test(picture.at(x, y))) {
                if (box.empty()) {
                    box = {x, y, x, y};
                }
                box.left = x < box.left ? x : box.left;
                box.right = x > box.right ? x : box.right;
                box.bottom = y < box.bottom ? y : box.bottom;
                box.top = y > box.top ? y : box.top;
            }
        }
    }
    return box;
}

}  // namespace scenetest
