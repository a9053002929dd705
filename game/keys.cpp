// The keyboard: its messages, steering and typing; its commands are in the
// table of commands.cpp.

#include "game/keys.h"

#include "audio/Audio.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "game/commands.h"
#include "platform/key_codes.h"
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
    const bool* keys = play.keys;
    const bool steering = play.active && !play.inMenu && !play.paused;
    const float steerAmount = static_cast<float>(frameTime / STEER_SECONDS);
    if (steering && (keys[VK_LEFT] || keys[VK_A])) {
        player.move(MOVE_LEFT, steerAmount);
    }
    if (steering && (keys[VK_RIGHT] || keys[VK_D])) {
        player.move(MOVE_RIGHT, steerAmount);
    }

    // Letters and digits typed in the song menus jump to a song by the start
    // of its name. None of these keys has a command in the menus, and typing
    // leaves every latch alone.
    play.selectedSong =
        play.songSearch.typeKeys(play.keys, play.inMenu, timeGetTime(), play.musicList, play.selectedSong);

    return runKeyCommands(play);
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
