#pragma once

// The player's ship. It never travels along the course: the course comes to it,
// and only its lateral coordinate (position.y) changes.

#include "game/Vector3.h"

// First argument of Player::move.
enum MoveMode {
    MOVE_MOUSE = 1,
    MOVE_LEFT = 3,
    MOVE_RIGHT = 4,
};

class Player {
public:
    Player();
    virtual ~Player();

    Vector3 getPosition() const;
    void setLateral(float lateral);
    // Steps the lateral coordinate by amount * speed; see MoveMode.
    void move(int mode, float amount);
    // 1..3 by strict comparisons; 0 on a lane border or outside the course.
    int getLane() const;

    int getPoints() const;
    void addPoints(int n);
    void subtractPoints(int n);
    void resetPoints();

    void setStart(const Vector3& start, const Vector3& direction);
    void setSpeeds(float speedIn, float secondFactorIn);

    int points;
    Vector3 position;
    float speed;
    float secondFactor;  // kept for the start-up call; nothing reads it
};

extern Player player;
