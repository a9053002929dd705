// The keyboard commands and the game states they move between.

#include "game/keys.h"

#include <cstdio>

#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "platform/key_codes.h"
#include "platform/music_folder.h"
#include "platform/timer.h"

namespace {

// A steering key moves the ship ten times the frame time (times its speed).
constexpr double STEER_SECONDS = 0.1;

}  // namespace

void keyDown(PlayState& play, std::uint32_t key) {
    if (key < 256) {
        play.keys[key] = true;
    }
}

void keyUp(PlayState& play, std::uint32_t key) {
    if (key < 256) {
        play.keys[key] = false;
        play.keyLatch[key] = false;
    }
}

void sysKeyUp(PlayState& play, std::uint32_t key) {
    if (key < 256) {
        play.keys[key] = false;
    }
}

ShellRequest processKeys(PlayState& play, double frameTime) {
    using namespace plat;
    bool& inMenu = play.inMenu;
    bool& paused = play.paused;
    int& selectedSong = play.selectedSong;
    const int maxSongIndex = play.maxSongIndex;
    const bool* keys = play.keys;
    ShellRequest request = ShellRequest::none;

    // A command that acts once per press runs while its latch is clear and sets it.
    auto pressOnce = [&play](std::uint32_t key) {
        if (!play.keys[key] || play.keyLatch[key]) {
            return false;
        }
        play.keyLatch[key] = true;
        return true;
    };
    const bool steering = play.active && !inMenu && !paused;
    const float steerAmount = static_cast<float>(frameTime / STEER_SECONDS);

    if (steering && (keys[VK_LEFT] || keys[VK_A])) {
        player.move(MOVE_LEFT, steerAmount);
    }
    if (steering && (keys[VK_RIGHT] || keys[VK_D])) {
        player.move(MOVE_RIGHT, steerAmount);
    }

    if (keys[VK_ESCAPE]) {
        request = ShellRequest::quit;
    }

    // Replay from the Score menu leaves the menu, so it cannot repeat and needs no latch.
    if (keys[VK_SPACE] && inMenu && !play.firstMenu) {
        restartSong(play);
        inMenu = false;
    }
    if (paused && pressOnce(VK_SPACE)) {
        restartSong(play);
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
    selectedSong = play.songSearch.typeKeys(play.keys, play.inMenu, timeGetTime(), play.musicList, selectedSong);

    if (pressOnce(VK_RETURN)) {
        if (inMenu) {
            // With an empty music folder there is nothing to start: Enter stays in the menu.
            const std::vector<std::string>& musicList = play.musicList;
            if (selectedSong < 0 || static_cast<std::size_t>(selectedSong) >= musicList.size()) {
                errorHandler.log("No song to play: %s holds no playable file", kMusicFolder);
            } else {
                // Songs open by their whole path, which in a deep library can be far
                // longer than a bare name, so no fixed buffer holds it.
                const std::size_t song = static_cast<std::size_t>(selectedSong);
                const std::string Dest = song < play.songFiles.size()
                                             ? play.songFiles[song]
                                             : std::string(kMusicFolder) + "/" + musicList[song];
                // A song that did not start has no best to keep.
                play.playingSong = audio.playSong(Dest.c_str()) ? musicList[song] : std::string();
                inMenu = false;
                player.resetPoints();
            }
        } else if (paused) {
            inMenu = true;
            paused = false;
            returnToMenu(play);
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
    return request;
}

void restartSong(PlayState& play) {
    player.resetPoints();
    audio.replaySong();
    play.comboBonus = 0;
    cars.deactivateAll();
    if (play.paused) {
        play.paused = false;
    }
}

void returnToMenu(PlayState& play) {
    player.resetPoints();
    cars.deactivateAll();
    play.comboBonus = 0;
    audio.stopSong();
    play.inMenu = true;
    play.songEnd.shown = false;  // a stopped song has no score to keep
}
