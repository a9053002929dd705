// The main loop, the per-frame work and the shutdown.

#include "app/Core.h"
#include "audio/Audio.h"
#include "game/keys.h"
#include "game/pad.h"
#include "platform/gamepad.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/FontHandler.h"
#include "render/scene.h"

namespace {
constexpr double kLongestFrame = 0.25;
}

void Core::runMainLoop() {
    // Each pass presents what the pass before drew, then draws the next: the
    // first picture is drawn here, so that the first present shows the menu
    // rather than a picture nobody drew.
    if (appState == APP_STATE_RUNNING) {
        drawScene();
    }
    // msg keeps its zeroed value when nothing is waiting yet.
    plat::peekMessage(&msg, false);
    while (msg.message != plat::WM_QUIT) {
        // One message per pass at most, and never a wait: the game keeps drawing.
        if (plat::peekMessage(&msg, true)) {
            plat::translateMessage(msg);
            plat::dispatchMessage(msg);
        }
        frame();
        // After a shutdown the fonts, the sound and the context are gone: the
        // passes left until the quit message arrives draw nothing. While the
        // window is inactive nothing is swapped, so a picture drawn then is
        // never shown; the driver would keep every one of them (1.7 GB after
        // 40 s away on llvmpipe), so none is drawn.
        if (!shutDownDone && appState != APP_STATE_SUSPENDED) {
            drawScene();
        }
    }
}

SceneView Core::sceneView() const {
    SceneView view;
    view.window = hWnd;
    view.hasContext = hRC != nullptr;
    view.frameTime = frameTime;
    view.fps = fps;
    view.carList = carList;
    return view;
}

void Core::drawScene() {
    if (shutDownDone) {
        return;  // the context and everything drawn with it are gone
    }
    ::drawScene(play, sceneView());
    // The pass may have ended a song with a new best.
    scoreKeeper.keep(play);
}

void Core::frame() {
    if (shutDownDone || appState != APP_STATE_RUNNING) {
        return;
    }
    frameTime = (this->*timerFn)();
    if (frameTime > kLongestFrame) {
        frameTime = kLongestFrame;
    }
    if (update()) {
        countFrame();
    }
}

bool Core::update() {
    carryOut(processKeys(play, frameTime));
    carryOut(pollGamepad(play, frameTime, screenWidth, screenHeight));
    // The pad's exit button may have shut the game down just now.
    return !shutDownDone && swapBuffers();
}

void Core::carryOut(ShellRequest request) {
    switch (request) {
        case ShellRequest::quit:
            plat::showCursor(true);
            plat::postQuitMessage(0);
            break;
        case ShellRequest::shutDown:
            shutdown();
            break;
        case ShellRequest::none:
            break;
    }
}

void Core::shutdown() {
    if (shutDownDone) {
        return;
    }
    shutDownDone = true;
    scoreKeeper.finish(play);
    fontHandler.releaseAll();
    audio.shutdown();
    plat::closeGamepads();
    play.musicList.clear();
    play.songFiles.clear();
    killWindow();
}
