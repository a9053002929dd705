#pragma once

// A song played twice to the Score menu on the real game, its best score on
// the screen, on disk and in the song menu after a restart. Shared by the
// Linux game's tests and the Windows game's under wine. Fails the running
// test (gtest).

#include <string>

#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"

namespace e2e {

// Yellow, as the best-score lines are drawn.
bool yellowText(Pixel p);

// The best line under the Score menu's score, and the song menus' position line.
Box bestRow(const Image& image);
Box positionRow(const Image& image);

// Whether `row` is a text of `cells` characters from `left` at `cell` pixels
// each: its last lit pixel lies in its last cell.
bool rowOfCells(const Box& row, int left, int cell, int cells);
int bestLineLeft(const Image& image);

struct BestScorePace {
    double start = 20.0;
    double score = 30.0;
};

// "Lanes.ogg" (a few seconds in all three lanes) in the game's folder, played
// twice: the first time the ship stays in the middle lane and collects, the
// second it is steered out of every lane and collects nothing. The Score
// menus, the log, the file and, after a restart, the song menu must agree on
// the best. Screenshots are kept as <run>_*.
void playTwiceAndRestart(GameFolder& folder, const std::string& run, const BestScorePace& pace = {});

}  // namespace e2e
