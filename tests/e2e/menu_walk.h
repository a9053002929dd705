#pragma once

// Walking the song menu of a running game with real keys: each song selected,
// played and seen to end on its Score screen. Fails the running test (gtest).

#include <string>
#include <vector>

#include "tests/e2e/game_process.h"

namespace e2e {

struct MenuSong {
    std::string name;
    int cells;          // characters of the name: what the menu line must show
    double minSeconds;  // how long it must play at least before its Score screen; 0 for a blip
};

// How long each step may take to show (a game under wine is slower).
struct MenuPace {
    double selected = 10.0;
    double playing = 5.0;
    double score = 30.0;
};

// Plays `songs`, the menu's songs in its order, one after the other: Right
// selects the next (the line must show its name), Enter plays it, and it must
// play for a while and end on the Score screen. Screenshots are kept as
// <run>_<n>_selected/_playing/_score. Fails the test at the first song that
// does not; the caller checks HasFatalFailure().
void playEachToItsScore(GameProcess& game, const std::string& run, const std::vector<MenuSong>& songs,
                        const MenuPace& pace = {});

}  // namespace e2e
