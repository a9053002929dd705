// The main loop, the per-frame work and the shutdown.

#include "app/Core.h"
#include "audio/Audio.h"
#include "platform/window.h"
#include "render/FontHandler.h"

namespace {
constexpr double kLongestFrame = 0.25;
}

void Core::runMainLoop() {
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
        // passes left until the quit message arrives draw nothing.
        if (!shutDownDone) {
            drawScene();
        }
    }
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
    processKeys();
    pollGamepad();
    // The pad's exit button may have shut the game down just now.
    return !shutDownDone && swapBuffers();
}

void Core::shutdown() {
    if (shutDownDone) {
        return;
    }
    shutDownDone = true;
    fontHandler.releaseAll();
    audio.shutdown();
    musicList.clear();
    killWindow();
}
