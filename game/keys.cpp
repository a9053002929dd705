// The keyboard commands and the game states they move between: Welcome menu,
// Score menu, Playing and Paused, kept in the flags inMenu, firstMenu, paused.

#include <cstdio>

#include "app/Core.h"
#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "platform/keys.h"
#include "platform/system.h"
#include "platform/timer.h"
#include "platform/window.h"

namespace {

// A steering key moves the ship ten times the frame time (times its speed).
constexpr double STEER_SECONDS = 0.1;

constexpr std::size_t SONG_PATH_SIZE = 565;

}  // namespace

void Core::processKeys() {
    using namespace plat;

    // A command that acts once per press runs while its latch is clear and sets it.
    auto pressOnce = [this](std::uint32_t key) {
        if (!keys[key] || keyLatch[key]) {
            return false;
        }
        keyLatch[key] = true;
        return true;
    };
    const bool steering = active && !inMenu && !paused;
    const float steerAmount = static_cast<float>(frameTime / STEER_SECONDS);

    if (steering && (keys[VK_LEFT] || keys[VK_A])) {
        player.move(MOVE_LEFT, steerAmount);
    }
    if (steering && (keys[VK_RIGHT] || keys[VK_D])) {
        player.move(MOVE_RIGHT, steerAmount);
    }

    if (keys[VK_ESCAPE]) {
        showCursor(true);
        postQuitMessage(0);
    }

    // Replay from the Score menu leaves the menu, so it cannot repeat and needs no latch.
    if (keys[VK_SPACE] && inMenu && !firstMenu) {
        restartSong();
        inMenu = false;
    }
    if (paused && pressOnce(VK_SPACE)) {
        restartSong();
        inMenu = false;
    }

    if (inMenu && pressOnce(VK_LEFT)) {
        if (maxSongIndex >= selectedSong) {
            selectedSong = (selectedSong == 0) ? maxSongIndex : selectedSong - 1;
        }
    }
    if (inMenu && pressOnce(VK_RIGHT)) {
        selectedSong = (selectedSong == maxSongIndex) ? 0 : selectedSong + 1;
    }

    // Song menus: Home and End select the first and last song, and letters and
    // digits typed jump to a song by the start of its name. None of these keys
    // has a command in the menus, and typing leaves every latch alone.
    if (inMenu && pressOnce(VK_HOME)) {
        selectedSong = 0;
    }
    if (inMenu && pressOnce(VK_END)) {
        selectedSong = maxSongIndex;
    }
    selectedSong = songSearch.typeKeys(keys, inMenu, timeGetTime(), musicList, selectedSong);

    if (pressOnce(VK_RETURN)) {
        if (inMenu) {
            // With an empty music folder there is nothing to start: Enter stays in the menu.
            if (selectedSong < 0 || static_cast<std::size_t>(selectedSong) >= musicList.size()) {
                errorHandler.log("No song to play: resources/Music holds no playable file");
            } else {
                char Dest[SONG_PATH_SIZE];
                const int length = std::snprintf(Dest, sizeof Dest, "resources/Music/%s", musicList[selectedSong].c_str());
                if (length < 0 || static_cast<std::size_t>(length) >= sizeof Dest) {
                    errorHandler.log("Song name too long to open: %s", musicList[selectedSong].c_str());
                } else {
                    audio.playSong(Dest);
                    inMenu = false;
                    player.resetPoints();
                }
            }
        } else if (paused) {
            inMenu = true;
            paused = false;
            returnToMenu();
        }
    }

    if (!inMenu && pressOnce(VK_P)) {
        if (paused) {
            audio.setPaused(false);
            paused = false;
        } else {
            audio.setPaused(true);
            paused = true;
        }
    }

    if (keys[VK_PRIOR]) {
        audio.volumeUp();
    }
    if (keys[VK_NEXT]) {
        audio.volumeDown();
    }
}

void Core::restartSong() {
    player.resetPoints();
    audio.replaySong();
    comboBonus = 0;
    cars.deactivateAll();
    if (paused) {
        paused = false;
    }
}

void Core::returnToMenu() {
    player.resetPoints();
    cars.deactivateAll();
    comboBonus = 0;
    audio.stopSong();
    inMenu = true;
}
