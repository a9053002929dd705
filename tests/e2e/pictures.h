#pragma once

// Reading the game's screenshots: text colours, the veil, where a row of text
// lies, and waiting for a picture.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/e2e/game_process.h"

namespace e2e {

using Pixel = const std::uint8_t*;

// Screenshots are kept here for a person to look at.
std::filesystem::path artefacts();

bool greenText(Pixel p);
bool whiteText(Pixel p);
// The veil, (0, 0, 0.4) at opacity 0.7, over the black of space.
bool veilOverSpace(Pixel p);

struct Box {
    int left = -1, right = -1;
    int bottom = -1, top = -1;  // rows counted from the bottom, both inside
    bool empty() const { return left < 0; }
};

// Pixels that pass `test` in the rows [from, to) counted from the bottom, as the game places its texts.
Box rowsBox(const Image& image, int from, int to, const std::function<bool(Pixel)>& test);

// How much the game's HUD is grown on a full-screen picture of this size:
// its layout is made for 1200 lines, and grows with taller screens as far as
// their width lets it.
double hudScale(const Image& image);
// A figure of the 1200-line layout in this picture's pixels.
int grown(const Image& image, double figure);

// Share of the picture above the score bar that shows the veil over space.
double veilShare(const Image& image);

// The menu's rows, placed from the middle of the picture (grown on a tall screen).
Box selectedSongRow(const Image& image);
Box scoreRow(const Image& image);
bool inScoreMenu(const Image& image);
bool playing(const Image& image);
// Whether the "Selected: " line shows a name of `cells` characters: the line
// starts 40 pixels in, the prefix takes 10 cells and every character a cell
// of 20 pixels (all grown on a tall screen).
bool showsSelectedName(const Image& image, int cells);

// Screenshots until `wanted` holds, at most `seconds`; the last one is kept as `name`.png.
Image waitForPicture(GameProcess& game, const std::string& name, double seconds,
                     const std::function<bool(const Image&)>& wanted);

void sleepFor(double seconds);

}  // namespace e2e
