#pragma once

// Starts the game in this process as the entry function does, on a real
// window: the window class, one Core, its window, context and initialisation.
// The main loop ends as soon as the messages of creation are handled, so the
// caller drives the passes itself; window, context and everything loaded stay.
// Message boxes go to standard error; the model reader's trace on standard
// output goes nowhere. Needs the rv_app library.

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>

#include "app/Core.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace fixtures {

#ifdef _WIN32
constexpr const char* kNowhere = "NUL";
#else
constexpr const char* kNowhere = "/dev/null";
#endif

// The started game, or null when its window could not be made.
inline Core* startGameInProcess(const char* commandLine) {
    plat::setMessageBoxBackend([](const char* text, const char* title, std::uint32_t) {
        std::fprintf(stderr, "%s: %s\n", title, text);
        return plat::IDOK;
    });
    plat::WindowClass wc;
    wc.style = plat::CS_HREDRAW | plat::CS_VREDRAW | plat::CS_OWNDC;
    wc.windowProc = windowProc;
    wc.instance = plat::moduleHandle();
    wc.className = "OpenGL";
    plat::registerClass(wc);
    Core* core = new Core;
    core->parseCommandLine(commandLine);
    plat::postQuitMessage(0);
    std::fflush(stdout);
    const int output = dup(1);
    const int nowhere = open(kNowhere, O_WRONLY);
    dup2(nowhere, 1);
    const bool made = core->createWindow(plat::moduleHandle()) && core->hRC != nullptr;
    std::fflush(stdout);
    dup2(output, 1);
    close(output);
    close(nowhere);
    if (!made) {
        core->shutDownDone = true;  // nothing of it may be torn down twice
        return nullptr;
    }
    return core;
}

}  // namespace fixtures
