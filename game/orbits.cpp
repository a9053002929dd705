#include "game/orbits.h"

namespace {

// Degrees per second.
constexpr double EARTH_RATE = 8.0;
constexpr float MOON_RATE = -13.0f;
constexpr float VENUS_RATE = -12.0f;
constexpr float MERCURY_RATE = -12.0f;
constexpr float SUN_RATE = -11.0f;

void advanceOrbit(float& angle, float rate, double frameTime, bool paused) {
    if (!paused) {
        angle += static_cast<float>(rate * frameTime);
    }
    if (angle <= -360.0f) {
        angle = 0.0f;
    }
}

}  // namespace

void advanceOrbits(PlayState& play, double frameTime) {
    // The large planet turns the other way and starts over at a full turn.
    if (!play.paused) {
        play.earthAngle += static_cast<float>(EARTH_RATE * frameTime);
    }
    if (play.earthAngle >= 360.0f) {
        play.earthAngle = 0.0f;
    }
    advanceOrbit(play.moonAngle, MOON_RATE, frameTime, play.paused);
    advanceOrbit(play.venusAngle, VENUS_RATE, frameTime, play.paused);
    advanceOrbit(play.mercuryAngle, MERCURY_RATE, frameTime, play.paused);
    advanceOrbit(play.sunAngle, SUN_RATE, frameTime, play.paused);
}
