#include "game/carClass.h"

#include <cstdio>
#include <cstdlib>

#include "game/lanes.h"

carClass cars;

namespace {

constexpr float BIRTH_X = 100.0f;
constexpr float BIRTH_Y = 50.0f;
constexpr float BIRTH_SCALE = 0.01f;

}  // namespace

Car::Car() : position(0.0f, 0.0f, 0.0f), hit(false), inUse(false), lane(0), scale(0.0f), kind(0), color(COLOR_NONE) {}

Car::~Car() {}

carClass::carClass() {}

carClass::~carClass() {}

Car& carClass::at(int slot) {
    return const_cast<Car&>(static_cast<const carClass*>(this)->at(slot));
}

const Car& carClass::at(int slot) const {
    // A slot outside the pool is a programming error; stop before memory is hit.
    if (slot < 0 || slot >= POOL_SIZE) {
        std::fprintf(stderr, "carClass: slot %d outside the pool of %d\n", slot, POOL_SIZE);
        std::abort();
    }
    return pool[slot];
}

void carClass::spawn(int slot, int lane) {
    Car& car = at(slot);
    car.scale = BIRTH_SCALE;
    car.hit = false;
    car.inUse = true;
    // The two draws stay in this order: the course of a song depends on it.
    car.kind = std::rand() % 10 + 1;
    if (car.kind == KIND_BONUS || car.kind == KIND_SKULL) {
        car.color = COLOR_NONE;
    } else {
        car.color = std::rand() % 3 + 1;
    }
    switch (lane) {
    case 1:
        car.lane = 1;
        car.position = Vector3(BIRTH_X, BIRTH_Y, -LANE_OFFSET);
        break;
    case 2:
        car.lane = 2;
        car.position = Vector3(BIRTH_X, BIRTH_Y, 0.0f);
        break;
    default:
        car.lane = 3;
        car.position = Vector3(BIRTH_X, BIRTH_Y, LANE_OFFSET);
        break;
    }
}

void carClass::deactivateAll() {
    for (Car& car : pool) {
        car.inUse = false;
    }
}

bool carClass::allInactive() const {
    for (const Car& car : pool) {
        if (car.inUse) {
            return false;
        }
    }
    return true;
}

float carClass::getX(int slot) const { return at(slot).position.x; }
float carClass::getZ(int slot) const { return at(slot).position.z; }
int carClass::getLane(int slot) const { return at(slot).lane; }
float carClass::getScale(int slot) const { return at(slot).scale; }
int carClass::getKind(int slot) const { return at(slot).kind; }
int carClass::getColor(int slot) const { return at(slot).color; }
bool carClass::getHit(int slot) const { return at(slot).hit; }
bool carClass::getInUse(int slot) const { return at(slot).inUse; }

void carClass::addX(int slot, float dx) { at(slot).position.x += dx; }
void carClass::addScale(int slot, float ds) { at(slot).scale += ds; }
void carClass::setHit(int slot, bool value) { at(slot).hit = value; }
void carClass::setInUse(int slot, bool value) { at(slot).inUse = value; }
