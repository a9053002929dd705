#include "tests/scene/scene_world.h"

#include <GL/glu.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "app/Core.h"
#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "render/texture_set.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/Camera.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/game_start.h"
#include "tests/support/temp_resources.h"

namespace scenetest {

namespace fs = std::filesystem;

namespace {

std::unique_ptr<testworld::TempResources> folder;

Core* theGame = nullptr;
std::string failure;
std::vector<std::string> logLines;
StartupState state;

bool enabled(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }

void readStartupState() {
    glGetIntegerv(GL_POLYGON_MODE, state.polygonMode);
    state.depthTest = enabled(GL_DEPTH_TEST);
    state.cullFace = enabled(GL_CULL_FACE);
    state.light0 = enabled(GL_LIGHT0);
    state.normalize = enabled(GL_NORMALIZE);
    state.texture2d = enabled(GL_TEXTURE_2D);
    state.blend = enabled(GL_BLEND);
    state.lighting = enabled(GL_LIGHTING);
    glGetIntegerv(GL_DEPTH_FUNC, &state.depthFunc);
    glGetIntegerv(GL_SHADE_MODEL, &state.shadeModel);
    glGetIntegerv(GL_BLEND_SRC, &state.blendSrc);
    glGetIntegerv(GL_BLEND_DST, &state.blendDst);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &state.perspectiveHint);
    glGetIntegerv(GL_MATRIX_MODE, &state.matrixMode);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, state.clearColor);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &state.clearDepth);
    state.carListCompiled = theGame->carList != 0 && glIsList(theGame->carList) == GL_TRUE;
    state.appState = theGame->appState;
    state.playerLateral = player.getPosition().y;
}

bool makeFolder() {
    // Everything the game loads, from the generated tree; the music folder is ours.
    testworld::WorldOptions options;
    options.generatedAssets = true;
    options.enter = true;
    folder = std::make_unique<testworld::TempResources>("scene", options);
    if (!folder->ok() || !folder->addSong(kShortSong, fixtures::AudioFormat::Ogg, fixtures::tone(110.0, 0.5))) {
        failure = folder->error();
        return false;
    }
    return true;
}

}  // namespace

Core* game(std::string* reason) {
    static bool tried = false;
    if (!tried) {
        tried = true;
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || display[0] == '\0') {
            failure = "needs an X display (DISPLAY is unset)";
        } else if (makeFolder()) {
            plat::overrideScreenSize(kScreenWidth, kScreenHeight);
            snd::testing::useOfflineOutput(true);
            theGame = fixtures::startGameInProcess("-window");
            if (theGame != nullptr) {
                readStartupState();
                std::ifstream log(folder->path() / "log.txt");
                for (std::string line; std::getline(log, line);) {
                    logLines.push_back(line);
                }
            } else {
                failure = "the game window could not be made";
            }
        }
    }
    if (reason != nullptr) {
        *reason = failure;
    }
    return theGame;
}

Core* welcomeMenu(std::string* reason) {
    Core* core = game(reason);
    if (core == nullptr) {
        return nullptr;
    }
    plat::overrideScreenSize(kScreenWidth, kScreenHeight);
    // A second Core only for its start values; marked shut down so that it
    // never touches the window, the fonts or the sound of the real one.
    static const Core& fresh = *[] {
        Core* defaults = new Core;
        defaults->shutDownDone = true;
        return defaults;
    }();
    core->play.inMenu = fresh.play.inMenu;
    core->play.firstMenu = fresh.play.firstMenu;
    core->play.paused = fresh.play.paused;
    core->play.menuFade = fresh.play.menuFade;
    core->play.devMode = false;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    core->play.padConnected = false;
    core->play.chainColor = fresh.play.chainColor;
    core->play.comboBonus = fresh.play.comboBonus;
    core->play.selectedSong = 0;
    core->play.earthAngle = fresh.play.earthAngle;
    core->play.moonAngle = fresh.play.moonAngle;
    core->play.venusAngle = fresh.play.venusAngle;
    core->play.mercuryAngle = fresh.play.mercuryAngle;
    core->play.sunAngle = fresh.play.sunAngle;
    core->frameTime = 1.0 / 60.0;
    core->play.active = true;
    const Camera freshCamera;
    camera.set(freshCamera.eye, freshCamera.center, freshCamera.up);
    player.setStart(Vector3(0.0f, 0.8f, 0.0f), Vector3(0.0f, 0.0f, -1.0f));
    player.resetPoints();
    cars.deactivateAll();
    return core;
}

void play(Core& core) {
    const std::string path = std::string("resources/Music/") + kShortSong;
    audio.playSong(path.c_str());
    core.play.inMenu = false;
}

const std::vector<std::string>& startupLog() { return logLines; }
const StartupState& startupState() { return state; }

GLuint textureName(int index) { return textures[index].texID; }

Matrix currentModelView() {
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

Matrix lookAt(const float eye[3], const float center[3], const float up[3]) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], center[0], center[1], center[2], up[0], up[1], up[2]);
    const Matrix m = currentModelView();
    glPopMatrix();
    return m;
}

float distance(const Matrix& a, const Matrix& b) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < a.size(); ++i) {
        largest = std::fmax(largest, std::fabs(a[i] - b[i]));
    }
    return largest;
}

SwatchArea swatchArea(int width) {
    // The credit line: font scale 0.3 at (30, 30), 50 units per glyph.
    const double pen = 50.0 * static_cast<double>(std::strlen("Redavave 1.3 - Game By Rodadi Vuzivi"));
    const auto x = [&](int corner) { return static_cast<int>(30.0 + 0.3 * (pen + width / 2 + corner)); };
    const auto y = [](int corner) { return static_cast<int>(30.0 + 0.3 * corner); };
    return {x(-680), x(-570), y(100), y(200), x(-625), y(150)};
}

Picture readBackBuffer() {
    Picture picture;
    plat::Rect client;
    plat::getClientRect(theGame->hWnd, &client);
    picture.width = client.right - client.left;
    picture.height = client.bottom - client.top;
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, picture.width, picture.height, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    return picture;
}

void savePicture(const Picture& picture, const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    for (int y = picture.height - 1; y >= 0; --y) {
        out.write(reinterpret_cast<const char*>(picture.at(0, y)), static_cast<std::streamsize>(picture.width) * 3);
    }
}

namespace {

// The game started for these tests is shut down before the process ends, as
// the real one is: sound threads stop and the context goes away while the
// test runner is still in charge, not during the exit-time leak check.
class ShutDownTheGame : public ::testing::Environment {
public:
    void TearDown() override {
        delete theGame;
        theGame = nullptr;
    }
};

[[maybe_unused]] const ::testing::Environment* const shutDownTheGame =
    ::testing::AddGlobalTestEnvironment(new ShutDownTheGame);

}  // namespace

}  // namespace scenetest
