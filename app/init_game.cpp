// Everything the game loads and sets once, after the window and its context
// exist and before the main loop starts.

#include <GL/gl.h>
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "app/Core.h"
#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "game/Player.h"
#include "platform/files.h"
#include "platform/system.h"
#include "render/ModelHandler.h"

namespace {

// Searched in this order; each search adds its finds after the earlier ones.
constexpr const char* kSongExtensions[] = {".mp3", ".mp2", ".ogg", ".flac", ".wma"};

// The desktop's file search compares names without regard to case.
bool hasExtension(const std::string& name, const char* extension) {
    const std::size_t length = std::strlen(extension);
    return name.size() >= length && strcasecmp(name.c_str() + name.size() - length, extension) == 0;
}

bool isSongName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) {
        return false;
    }
    for (const char* extension : kSongExtensions) {
        if (strcasecmp(dot, extension) == 0) {
            return true;
        }
    }
    return false;
}

// In name order, as the desktop's file system returns them, so the menu is the
// same on every machine.
bool beforeInMenu(const std::string& a, const std::string& b) {
    const int folded = strcasecmp(a.c_str(), b.c_str());
    return folded != 0 ? folded < 0 : a < b;
}

}  // namespace

void Core::initGame() {
    glPolygonMode(GL_FRONT_AND_BACK, devMode ? GL_LINE : GL_FILL);

    loadTextures();

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_TEXTURE_2D);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    modelHandler.load(shipModel, "resources/Models/space_craft.3ds");
    modelHandler.load(carModel, "resources/Models/car.3ds");

    carList = glGenLists(1);
    glNewList(carList, GL_COMPILE);
    modelHandler.draw(carModel);
    glEndList();

    player.setStart(Vector3(0.0f, 0.8f, 0.0f), Vector3(0.0f, 0.0f, -1.0f));
    player.setSpeeds(4.0f, 1.0f);

    appState = APP_STATE_RUNNING;

    audio.init();
    errorHandler.log("#Initalized Audio");

    buildMusicList("resources/Music");

    // Hidden once by window creation already; the game's quit shows it once.
    plat::showCursor(false);
}

void Core::buildMusicList(const char* folder) {
    musicList.clear();

    // The folder's regular files with a song's extension (directly in it, not
    // in subfolders): folders named like songs and broken links are no songs.
    // A file that cannot be read is listed like any other and reported when
    // it is chosen.
    std::vector<std::string> files = plat::listFiles(folder, isSongName);
    std::sort(files.begin(), files.end(), beforeInMenu);

    for (const char* extension : kSongExtensions) {
        for (const std::string& name : files) {
            if (hasExtension(name, extension)) {
                musicList.push_back(name);
            }
        }
    }

    maxSongIndex = musicList.empty() ? 0 : static_cast<int>(musicList.size()) - 1;
    if (musicList.empty()) {
        errorHandler.log("Could Not Find Any Music!");
    }
}
