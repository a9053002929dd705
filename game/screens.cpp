#include "game/screens.h"

#include "audio/Audio.h"
#include "game/Player.h"
#include "game/carClass.h"

void updateScreens(PlayState& play) {
    // A pause taken in the song's last frame is dropped with the song, so the
    // menu is never also the pause screen.
    if (!play.inMenu && audio.songFinished() && cars.allInactive()) {
        play.firstMenu = false;
        play.inMenu = true;
        play.paused = false;
        keepBest(play, player.getPoints());
    }

    if (play.paused || play.inMenu) {
        if (play.menuFade < 0.6f) {
            play.menuFade += 0.1f;
        } else {
            play.menuFade = 0.7f;
        }
    } else {
        play.menuFade = 0.0f;
    }
}

void keepBest(PlayState& play, int points) {
    PlayState::SongEnd& end = play.songEnd;
    end = PlayState::SongEnd();
    if (play.playingSong.empty()) {
        return;
    }
    end.shown = true;
    end.newBest = play.bestScores.offer(play.playingSong, points);
    end.best = *play.bestScores.find(play.playingSong);
    if (end.newBest) {
        end.change = ++play.bestsSet;
        play.unsavedBests.push_back({play.playingSong, points});
    }
}
