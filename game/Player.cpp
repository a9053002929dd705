#include "game/Player.h"

#include "game/lanes.h"

Player player;

Player::Player() : points(0), position(0.0f, 0.5f, 0.0f), speed(2.0f), secondFactor(1.0f) {}

Player::~Player() {}

Vector3 Player::getPosition() const { return position; }

void Player::setLateral(float lateral) { position.y = lateral; }

void Player::move(int mode, float amount) {
    const float d = amount * speed;
    float& y = position.y;
    switch (mode) {
    case MOVE_LEFT:
        if (y >= -STEER_BOUND) {
            y -= d;
        }
        break;
    case MOVE_RIGHT:
        if (y <= STEER_BOUND) {
            y += d;
        }
        break;
    case MOVE_MOUSE:
        if (y < -STEER_BOUND || y > STEER_BOUND) {
            // The keyboard can leave the ship beyond the bound (the scene pass
            // catches it at 6.827507). From there the mouse may only bring it
            // back, and not so far that it lands beyond the bound on the far side;
            // the plain take-back steps below would push it out without end on
            // the left side, with the mouse's direction reversed.
            const float moved = y + d;
            const bool fromRight = y > 0.0f;
            const bool inwards = fromRight ? d < 0.0f : d > 0.0f;
            const bool pastFarSide = fromRight ? moved <= -STEER_BOUND : moved >= STEER_BOUND;
            if (inwards && !pastFarSide) {
                y = moved;
            }
            break;
        }
        if (y >= -STEER_BOUND) {
            y += d;
        }
        if (y >= STEER_BOUND) {
            y -= d;
        }
        if (y <= -STEER_BOUND) {
            y -= d;
        }
        break;
    default:
        break;
    }
}

int Player::getLane() const {
    const float y = position.y;
    if (y > -LANE_INNER && y < LANE_INNER) {
        return 2;
    }
    if (y > -LANE_OUTER && y < -LANE_INNER) {
        return 1;
    }
    if (y > LANE_INNER && y < LANE_OUTER) {
        return 3;
    }
    return 0;
}

int Player::getPoints() const { return points; }

void Player::addPoints(int n) { points += n; }

void Player::subtractPoints(int n) { points -= n; }

void Player::resetPoints() { points = 0; }

void Player::setStart(const Vector3& start, const Vector3& direction) {
    (void)direction;  // the ship always faces down the course
    position = start;
}

void Player::setSpeeds(float speedIn, float secondFactorIn) {
    speed = speedIn;
    secondFactor = secondFactorIn;
}
