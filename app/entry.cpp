// The entry function: one copy at a time, one Core, one window.

#include <cstdio>
#include <cstring>
#include <string>

#include "app/Core.h"
#include "diag/ErrorHandler.h"
#include "platform/home_folder.h"
#include "platform/instance_lock.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

constexpr const char* szGameName = "Rodadi Engine";

// Held for the rest of the process on the normal path; the process end drops it.
plat::InstanceLock* instanceLock = nullptr;

void explainMissingDisplay() {
    if (const char* reason = plat::displayError()) {
        std::fprintf(stderr,
                     "redavave: no display could be opened: %s. The game needs a graphical desktop; "
                     "check that DISPLAY is set.\n",
                     reason);
    }
}

}  // namespace

int gameMain(plat::ModuleHandle instance, const char* commandLine) {
    bool alreadyRunning = false;
    instanceLock = plat::createInstanceLock(szGameName, &alreadyRunning);
    if (instanceLock == nullptr || alreadyRunning) {
        plat::closeInstanceLock(instanceLock);
        instanceLock = nullptr;
        return 1;
    }
    // An installed game works in the player's data folder; its log starts there.
    const plat::GameFolderSetup setup = plat::enterGameFolder();
    for (const std::string& note : setup.notes) {
        errorHandler.log("%s", note.c_str());
    }

    Core core;
    core.musicFolders = setup.music;
    core.findSongsAhead();
    core.parseCommandLine(commandLine);

    plat::WindowClass wc;
    wc.style = plat::CS_HREDRAW | plat::CS_VREDRAW | plat::CS_OWNDC;
    wc.windowProc = windowProc;
    wc.instance = plat::moduleHandle();
    wc.iconId = 108;
    wc.cursorId = plat::IDC_CROSS;
    wc.className = "OpenGL";
    if (!plat::registerClass(wc)) {
        return 0;
    }

    if (!core.createWindow(instance)) {
        explainMissingDisplay();
        plat::closeInstanceLock(instanceLock);
        instanceLock = nullptr;
        return 1;
    }
    return 0;
}

void Core::parseCommandLine(const char* commandLine) {
    if (commandLine == nullptr) {
        return;
    }
    // Plain substring tests, so "-windowed" also selects window mode.
    if (std::strstr(commandLine, "-devmode") != nullptr) {
        play.devMode = true;
        errorHandler.log("#In Developer Mode");
    }
    if (std::strstr(commandLine, "-window") != nullptr) {
        play.fullscreen = false;
        errorHandler.log("#Window Mode!");
    }
}
