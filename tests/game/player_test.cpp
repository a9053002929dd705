#include <cmath>

#include <gtest/gtest.h>

#include "game/Player.h"

namespace {

// The scene pass brings a ship beyond this back inside; the mouse must never carry it further.
constexpr float SCENE_BOUND = 6.827507f;

TEST(PlayerTest, FreshAndStartedShip) {
    Player ship;
    EXPECT_EQ(ship.getPoints(), 0);
    EXPECT_FLOAT_EQ(ship.getPosition().y, 0.5f);
    EXPECT_FLOAT_EQ(ship.speed, 2.0f);

    ship.setStart(Vector3(0.0f, 0.8f, 0.0f), Vector3(0.0f, 0.0f, -1.0f));
    ship.setSpeeds(4.0f, 1.0f);
    EXPECT_FLOAT_EQ(ship.getPosition().y, 0.8f);
    EXPECT_EQ(ship.getLane(), 2);
    // Four units of lateral movement per unit of steering amount.
    ship.move(MOVE_RIGHT, 0.25f);
    EXPECT_FLOAT_EQ(ship.getPosition().y, 1.8f);
}

TEST(PlayerTest, LanesUseStrictBorders) {
    struct Case {
        float y;
        int lane;
    };
    const Case cases[] = {
        {0.0f, 2},   {0.999f, 2}, {-0.999f, 2}, {1.0f, 0},  {-1.0f, 0}, {1.001f, 3}, {4.999f, 3}, {5.0f, 0},
        {-1.001f, 1}, {-4.999f, 1}, {-5.0f, 0}, {6.5f, 0}, {-6.5f, 0},
    };
    Player ship;
    for (const Case& c : cases) {
        ship.setLateral(c.y);
        EXPECT_EQ(ship.getLane(), c.lane) << "y = " << c.y;
    }
}

TEST(PlayerTest, MoveModes) {
    struct Case {
        const char* what;
        int mode;
        float from;
        float amount;  // with speed 1
        float to;
    };
    const Case cases[] = {
        {"left at the bound still steps", MOVE_LEFT, -6.0f, 0.5f, -6.5f},
        {"left past the bound does nothing", MOVE_LEFT, -6.1f, 0.5f, -6.1f},
        {"right at the bound still steps", MOVE_RIGHT, 6.0f, 0.5f, 6.5f},
        {"right past the bound does nothing", MOVE_RIGHT, 6.1f, 0.5f, 6.1f},
        {"left from 6.5 comes back", MOVE_LEFT, 6.5f, 0.5f, 6.0f},
        {"mouse ending at 6 is taken back", MOVE_MOUSE, 5.9f, 0.1f, 5.9f},
        {"mouse ending below 6 stays", MOVE_MOUSE, 5.8f, 0.1f, 5.9f},
        {"mouse ending at -6 is taken back", MOVE_MOUSE, -5.9f, -0.1f, -5.9f},
        {"mouse from the left bound inwards", MOVE_MOUSE, -6.0f, 0.5f, -5.5f},
        {"mouse across the course", MOVE_MOUSE, -3.0f, 6.0f, 3.0f},
        {"mode 0 ignored", 0, 2.0f, 1.0f, 2.0f},
        {"mode 2 ignored", 2, 2.0f, 1.0f, 2.0f},
        {"mode 5 ignored", 5, 2.0f, 1.0f, 2.0f},
    };
    for (const Case& c : cases) {
        Player ship;
        ship.setSpeeds(1.0f, 1.0f);
        ship.setLateral(c.from);
        ship.move(c.mode, c.amount);
        EXPECT_FLOAT_EQ(ship.getPosition().y, c.to) << c.what;
    }
}

// The keyboard can leave the ship beyond +-6 (up to the scene's bound). A mouse
// step from there may bring it back, but never carries it further out and never
// throws it beyond the bound on the other side.
TEST(PlayerTest, MouseFromBeyondTheBoundNeverGoesFurtherOut) {
    const float starts[] = {6.01f, 6.5f, SCENE_BOUND, -6.01f, -6.5f, -SCENE_BOUND};
    const float amounts[] = {-20.0f, -12.5f, -0.3f, -0.01f, 0.0f, 0.01f, 0.3f, 12.5f, 20.0f};
    for (float start : starts) {
        for (float amount : amounts) {
            Player ship;
            ship.setSpeeds(1.0f, 1.0f);
            ship.setLateral(start);
            ship.move(MOVE_MOUSE, amount);
            const float y = ship.getPosition().y;
            EXPECT_LE(std::fabs(y), std::fabs(start)) << "from " << start << " by " << amount;
            const bool inwards = (start > 0.0f) ? amount < 0.0f : amount > 0.0f;
            if (inwards && std::fabs(start + amount) < 6.0f) {
                EXPECT_FLOAT_EQ(y, start + amount) << "inward step from " << start << " by " << amount;
            } else if (!inwards) {
                EXPECT_FLOAT_EQ(y, start) << "outward step from " << start << " by " << amount;
            }
        }
    }
}

TEST(PlayerTest, Points) {
    Player ship;
    ship.addPoints(5);
    ship.subtractPoints(10);
    EXPECT_EQ(ship.getPoints(), -5);
    ship.resetPoints();
    EXPECT_EQ(ship.getPoints(), 0);
}

}  // namespace
