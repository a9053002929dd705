// The music course: spawning from the song's pitch, movement, collection and scoring.

#include "game/course.h"

#include "audio/Audio.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "game/lanes.h"

namespace {

// Pitch bands in Hz; the peak frequency is always a whole number of bins of
// 2.9296875 Hz, so bins 0..17 are low, 18..68 middle and 69 up high.
constexpr float LOW_BAND_TOP = 50.0f;
constexpr float MIDDLE_BAND_TOP = 200.0f;

// A band counts frames since it was last current; it may make an object only
// on a frame in which it becomes current again.
constexpr float COOLDOWN_WHEN_CURRENT = 2.0f;

constexpr float TRAVEL_SPEED = -110.0f;  // units per second, towards the ship
constexpr float REMOVE_BEHIND_X = -30.0f;
constexpr float FULL_SCALE = 0.8f;
constexpr float GROWTH_PER_FRAME = 0.1f;
constexpr float COLLECT_NEAR_X = -10.0f;
constexpr float COLLECT_FAR_X = -15.5f;

constexpr int BONUS_POINTS = 20;
constexpr int BLOCK_POINTS = 3;
constexpr int CHAIN_STEP = 10;

// Effect selectors of Audio::playEffect.
constexpr int EFFECT_BONUS = 0;
constexpr int EFFECT_SKULL = 1;
constexpr int EFFECT_BLOCK = 2;

int laneOfPitch(float pitch) {
    if (pitch < LOW_BAND_TOP) {
        return 2;
    }
    if (pitch <= MIDDLE_BAND_TOP) {
        return 1;
    }
    return 3;
}

// Each test reads the points anew, which leaves the gaps 90..99 and exactly 1000 unpunished.
void applySkullPenalty() {
    if (player.getPoints() < 90) {
        player.subtractPoints(10);
    }
    if (player.getPoints() > 99 && player.getPoints() < 1000) {
        player.subtractPoints(90);
    }
    if (player.getPoints() > 1000) {
        player.subtractPoints(130);
    }
}

}  // namespace

void updateCourse(PlayState& play, double frameTime, const CourseDrawer& drawer) {
    const bool paused = play.paused;
    float* spawnCooldown = play.spawnCooldown;
    int& spawnSlot = play.spawnSlot;
    float pitch = 0.0f;
    if (!paused && !play.inMenu) {
        audio.analyseSpectrum();
        pitch = audio.getPeakFrequency();
    }

    const int lane = laneOfPitch(pitch);
    if (!cars.getInUse(spawnSlot) && spawnCooldown[lane - 1] <= 0.0f) {
        cars.spawn(spawnSlot, lane);
    }
    spawnCooldown[lane - 1] = COOLDOWN_WHEN_CURRENT;
    for (float& cooldown : play.spawnCooldown) {
        cooldown -= 1.0f;
    }
    spawnSlot = (spawnSlot + 1) % carClass::POOL_SIZE;

    const float step = static_cast<float>(frameTime) * TRAVEL_SPEED;
    for (int slot = 0; slot < carClass::POOL_SIZE; ++slot) {
        if (!cars.getInUse(slot) || cars.getHit(slot)) {
            continue;
        }
        if (drawer.drawObject != nullptr) {
            drawer.drawObject(slot, drawer.user);
        }
        const int kind = cars.getKind(slot);

        // Collection uses the distance from before this frame's movement.
        const float x = cars.getX(slot);
        if (!play.active) {
            continue;
        }
        if (x < REMOVE_BEHIND_X) {
            cars.setInUse(slot, false);
        } else if (!paused) {
            cars.addX(slot, step);
        }
        if (cars.getScale(slot) < FULL_SCALE && !paused) {
            cars.addScale(slot, GROWTH_PER_FRAME);
        }

        if (x >= COLLECT_FAR_X && x <= COLLECT_NEAR_X && cars.getLane(slot) == player.getLane() &&
            cars.getInUse(slot) && !cars.getHit(slot)) {
            cars.setInUse(slot, false);
            if (kind == KIND_BONUS) {
                play.comboBonus = 0;
                player.addPoints(BONUS_POINTS);
                audio.playEffect(EFFECT_BONUS);
            } else if (kind == KIND_SKULL) {
                play.comboBonus = 0;
                audio.playEffect(EFFECT_SKULL);
                applySkullPenalty();
            } else {
                audio.playEffect(EFFECT_BLOCK);
                player.addPoints(BLOCK_POINTS);
                const int color = cars.getColor(slot);
                if (color == play.chainColor && color != COLOR_NONE) {
                    play.comboBonus += CHAIN_STEP;
                } else {
                    play.comboBonus = 0;
                }
                play.chainColor = color;
                player.addPoints(play.comboBonus);
            }
            cars.setHit(slot, true);
            audio.update();
        }
    }
}

void keepShipInBounds() {
    const float lateral = player.getPosition().y;
    if (lateral < -LATERAL_BOUND) {
        player.setLateral(-LATERAL_RETURN);
    } else if (lateral > LATERAL_BOUND) {
        player.setLateral(LATERAL_RETURN);
    }
}
