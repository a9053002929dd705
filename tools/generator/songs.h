#pragma once

// The demo songs and the three hit effects.

#include <string>
#include <vector>

#include "tools/generator/encoder.h"

struct SongInfo {
    std::string file;  // name in resources/Music
    float bpm;
    int bars;
};

// The songs that ship with the game, each in its own format.
const std::vector<SongInfo>& demoSongs();
StereoSamples renderSong(const SongInfo& song);

// "blockHit", "bonusHit" or "SkullHit".
StereoSamples renderEffect(const std::string& name);
