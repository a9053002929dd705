#include <cstdlib>

#include <gtest/gtest.h>

#include "game/carClass.h"

namespace {

TEST(CarPoolTest, NewPoolIsEmpty) {
    carClass pool;
    EXPECT_TRUE(pool.allInactive());
    for (int slot = 0; slot < carClass::POOL_SIZE; ++slot) {
        EXPECT_FALSE(pool.getInUse(slot));
        EXPECT_FLOAT_EQ(pool.getX(slot), 0.0f);
    }
}

TEST(CarPoolTest, SpawnPlacesByLane) {
    struct Case {
        int laneArg;
        int lane;
        float z;
    };
    const Case cases[] = {{1, 1, -3.1f}, {2, 2, 0.0f}, {3, 3, 3.1f}, {0, 3, 3.1f}, {7, 3, 3.1f}, {-1, 3, 3.1f}};
    carClass pool;
    for (const Case& c : cases) {
        pool.spawn(4, c.laneArg);
        EXPECT_EQ(pool.getLane(4), c.lane) << "lane argument " << c.laneArg;
        EXPECT_FLOAT_EQ(pool.getZ(4), c.z) << "lane argument " << c.laneArg;
        EXPECT_FLOAT_EQ(pool.getX(4), 100.0f);
        EXPECT_FLOAT_EQ(pool.getScale(4), 0.01f);
        EXPECT_TRUE(pool.getInUse(4));
        EXPECT_FALSE(pool.getHit(4));
    }
}

// Kind first, then (for blocks only) the colour: a recorded course depends on
// this order of draws from the unseeded generator.
TEST(CarPoolTest, SpawnDrawsKindThenColourFromRand) {
    carClass pool;
    int blocks = 0;
    int others = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::srand(seed);
        const int first = std::rand();
        const int second = std::rand();
        const int third = std::rand();
        const int kind = first % 10 + 1;

        std::srand(seed);
        pool.spawn(0, 2);
        EXPECT_EQ(pool.getKind(0), kind) << "seed " << seed;
        if (kind <= 2) {
            ++others;
            EXPECT_EQ(pool.getColor(0), COLOR_NONE) << "seed " << seed;
            EXPECT_EQ(std::rand(), second) << "a bonus or skull draws once; seed " << seed;
        } else {
            ++blocks;
            EXPECT_EQ(pool.getColor(0), second % 3 + 1) << "seed " << seed;
            EXPECT_EQ(std::rand(), third) << "a block draws twice; seed " << seed;
        }
    }
    EXPECT_GT(blocks, 0);
    EXPECT_GT(others, 0);
}

TEST(CarPoolTest, DeactivateAllEmptiesThePool) {
    carClass pool;
    pool.spawn(0, 1);
    pool.spawn(19, 3);
    EXPECT_FALSE(pool.allInactive());
    pool.setInUse(0, false);
    EXPECT_FALSE(pool.allInactive());
    pool.deactivateAll();
    EXPECT_TRUE(pool.allInactive());
}

TEST(CarPoolTest, WritersAddAndSet) {
    carClass pool;
    pool.spawn(3, 1);
    pool.addX(3, -1.5f);
    pool.addScale(3, 0.1f);
    pool.setHit(3, true);
    EXPECT_FLOAT_EQ(pool.getX(3), 98.5f);
    EXPECT_FLOAT_EQ(pool.getScale(3), 0.11f);
    EXPECT_TRUE(pool.getHit(3));
}

TEST(CarPoolDeathTest, SlotOutsideThePoolStops) {
    carClass pool;
    EXPECT_DEATH(pool.spawn(carClass::POOL_SIZE, 1), "outside the pool");
    EXPECT_DEATH(pool.getInUse(-1), "outside the pool");
}

}  // namespace
