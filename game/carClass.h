#pragma once

// The course pool: a fixed array of object slots, reused for the whole run so
// that nothing is allocated while a song plays.

#include "game/Vector3.h"

// Course object kinds: 1 bonus, 2 skull, 3..10 coloured block.
inline constexpr int KIND_BONUS = 1;
inline constexpr int KIND_SKULL = 2;

// Block colours; bonus items and skulls carry COLOR_NONE.
inline constexpr int COLOR_NONE = 0;
inline constexpr int COLOR_BLUE = 1;
inline constexpr int COLOR_RED = 2;
inline constexpr int COLOR_GREEN = 3;

class Car {
public:
    Car();
    virtual ~Car();

    Vector3 position;  // x: distance along the course, z: the lane's lateral offset
    bool hit;
    bool inUse;
    int lane;
    float scale;
    int kind;
    int color;
};

class carClass {
public:
    static constexpr int POOL_SIZE = 20;

    carClass();
    virtual ~carClass();

    // A new object far down the course in lane 1, 2 or 3 (anything else counts
    // as 3). Kind and colour come from the unseeded rand(), so every run of the
    // same song draws the same course.
    void spawn(int slot, int lane);
    void deactivateAll();
    bool allInactive() const;

    float getX(int slot) const;
    float getZ(int slot) const;
    int getLane(int slot) const;
    float getScale(int slot) const;
    int getKind(int slot) const;
    int getColor(int slot) const;
    bool getHit(int slot) const;
    bool getInUse(int slot) const;

    void addX(int slot, float dx);
    void addScale(int slot, float ds);
    void setHit(int slot, bool value);
    void setInUse(int slot, bool value);

private:
    Car& at(int slot);
    const Car& at(int slot) const;

    Car pool[POOL_SIZE];
};

extern carClass cars;
