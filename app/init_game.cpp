// Everything the game loads and sets once, after the window and its context
// exist and before the main loop starts.

#include <GL/gl.h>

#include <exception>
#include <future>
#include <system_error>
#include <thread>
#include <utility>

#include "app/Core.h"
#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "game/Player.h"
#include "platform/gamepad.h"
#include "platform/music_folder.h"
#include "platform/system.h"
#include "render/ModelHandler.h"
#include "render/texture_set.h"

void Core::initGame() {
    glPolygonMode(GL_FRONT_AND_BACK, play.devMode ? GL_LINE : GL_FILL);

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

    buildMusicList(musicFolders);
    scoreKeeper.load(play);
    startGamepads();

    // Hidden once by window creation already; the game's quit shows it once.
    plat::showCursor(false);
}

void Core::startGamepads() {
    // Players keep mappings for controllers SDL does not know in this file.
    constexpr const char* kMappingFile = "gamecontrollerdb.txt";
    const plat::GamepadStart pads = plat::startGamepads(kMappingFile);
    if (!pads.up) {
        errorHandler.log("Gamepads Unavailable: %s", pads.error.c_str());
    } else if (!pads.error.empty()) {
        errorHandler.log("Could Not Read Gamepad Mappings: %s: %s", kMappingFile, pads.error.c_str());
    } else if (pads.mappingFile) {
        errorHandler.log("#Gamepad Mappings: %d added from %s", pads.mappingsAdded, kMappingFile);
    }
}

void Core::findSongsAhead() {
    if (songsAhead.valid()) {
        return;
    }
    // A thread of its own that nobody waits for, not std::async, whose future
    // waits for the walk when it goes away: a game that ends before it lists
    // its songs (no window) must not wait for a network folder that hangs.
    std::promise<plat::SongList> found;
    std::future<plat::SongList> result = found.get_future();
    try {
        std::thread([found = std::move(found), folders = musicFolders.folders]() mutable {
            try {
                found.set_value(plat::findSongs(folders));
            } catch (...) {
                found.set_exception(std::current_exception());
            }
        }).detach();
    } catch (const std::system_error& error) {
        errorHandler.log("Could not search for songs ahead: %s", error.what());
        return;  // the list is searched when it is built
    }
    songsAhead = std::move(result);
}

void Core::buildMusicList(const plat::MusicFolders& folders) {
    // The search started ahead was of musicFolders; what it found is noted here, in order.
    const bool ahead = songsAhead.valid() && folders.folders == musicFolders.folders;
    plat::SongList songs;
    try {
        songs = ahead ? songsAhead.get() : plat::findSongs(folders.folders);
    } catch (const std::exception& error) {
        errorHandler.log("Could not search for songs: %s", error.what());
    } catch (...) {
        errorHandler.log("Could not search for songs");
    }
    if (songs.names.empty() && !folders.demoFolder.empty()) {
        songs = plat::findSongs(std::vector<std::string>{folders.demoFolder});
        errorHandler.log("#Demo Songs: %d offered", static_cast<int>(songs.names.size()));
    }
    for (const std::string& note : songs.notes) {
        errorHandler.log("%s", note.c_str());
    }
    play.musicList = std::move(songs.names);
    play.songFiles = std::move(songs.files);
    play.maxSongIndex = play.musicList.empty() ? 0 : static_cast<int>(play.musicList.size()) - 1;
    if (play.musicList.empty()) {
        errorHandler.log("Could Not Find Any Music!");
    }
}
