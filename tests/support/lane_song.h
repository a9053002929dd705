#pragma once

// A song for whole-game runs: tones that change pitch band every 0.2 s, low
// (below 50 Hz), middle (50 to 200 Hz) and high (above 200 Hz) in turn, so
// that the course gets objects in all three lanes for as long as it lasts.

#include "tests/support/audio_fixtures.h"

namespace fixtures {

inline ToneSong threeLaneSong(double seconds) {
    const double bands[] = {30.0, 110.0, 440.0};
    ToneSong song = tone(bands[0], 0.2);
    for (int part = 1; part * 0.2 < seconds; ++part) {
        song.then(tone(bands[part % 3], 0.2));
    }
    return song;
}

}  // namespace fixtures
