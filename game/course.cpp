// The music course: the song's pitch picks a lane, objects grow and fly at the
// ship, and the ones met in the ship's lane are collected and scored.

#include <GL/gl.h>

#include "app/Core.h"
#include "audio/Audio.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "render/sprite.h"

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

// Fixed texture names: the texture set uploads its eleven images in order.
constexpr GLuint BONUS_TEXTURE = 5;
constexpr GLuint SKULL_TEXTURE = 6;

int laneOfPitch(float pitch) {
    if (pitch < LOW_BAND_TOP) {
        return 2;
    }
    if (pitch <= MIDDLE_BAND_TOP) {
        return 1;
    }
    return 3;
}

void drawCar(GLuint carList, int slot) {
    const float x = cars.getX(slot);
    const float z = cars.getZ(slot);
    const float scale = cars.getScale(slot);
    glPushMatrix();
    glTranslatef(0.0f, x, z);
    glScalef(scale, scale, scale);
    glRotatef(90.0f, 0.0f, -1.0f, 0.0f);
    setBlockColor(cars.getColor(slot));
    glCallList(carList);
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
}

// The picture card that marks a bonus item or a skull.
void drawCard(int slot, GLuint texture) {
    const float x = cars.getX(slot);
    const float z = cars.getZ(slot);
    const float scale = cars.getScale(slot);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    glTranslatef(-2.0f, x, z);
    glRotatef(90.0f, -1.0f, 0.0f, 0.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_ALPHA_TEST);
    glScalef(scale, scale, scale);
    glDisable(GL_CULL_FACE);
    drawSpriteQuad();
    glEnable(GL_CULL_FACE);
    glPopMatrix();
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
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

void Core::updateCourse() {
    float pitch = 0.0f;
    if (!paused && !inMenu) {
        audio.analyseSpectrum();
        pitch = audio.getPeakFrequency();
    }

    const int lane = laneOfPitch(pitch);
    if (!cars.getInUse(spawnSlot) && spawnCooldown[lane - 1] <= 0.0f) {
        cars.spawn(spawnSlot, lane);
    }
    spawnCooldown[lane - 1] = COOLDOWN_WHEN_CURRENT;
    for (float& cooldown : spawnCooldown) {
        cooldown -= 1.0f;
    }
    spawnSlot = (spawnSlot + 1) % carClass::POOL_SIZE;

    const float step = static_cast<float>(frameTime) * TRAVEL_SPEED;
    for (int slot = 0; slot < carClass::POOL_SIZE; ++slot) {
        if (!cars.getInUse(slot) || cars.getHit(slot)) {
            continue;
        }
        drawCar(carList, slot);
        const int kind = cars.getKind(slot);
        if (kind == KIND_BONUS) {
            drawCard(slot, BONUS_TEXTURE);
        } else if (kind == KIND_SKULL) {
            drawCard(slot, SKULL_TEXTURE);
        }

        // Collection uses the distance from before this frame's movement.
        const float x = cars.getX(slot);
        if (!active) {
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
                comboBonus = 0;
                player.addPoints(BONUS_POINTS);
                audio.playEffect(EFFECT_BONUS);
            } else if (kind == KIND_SKULL) {
                comboBonus = 0;
                audio.playEffect(EFFECT_SKULL);
                applySkullPenalty();
            } else {
                audio.playEffect(EFFECT_BLOCK);
                player.addPoints(BLOCK_POINTS);
                const int color = cars.getColor(slot);
                if (color == chainColor && color != COLOR_NONE) {
                    comboBonus += CHAIN_STEP;
                } else {
                    comboBonus = 0;
                }
                chainColor = color;
                player.addPoints(comboBonus);
            }
            cars.setHit(slot, true);
            audio.update();
        }
    }
}
