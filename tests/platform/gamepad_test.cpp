// The controllers as the game reads them, through SDL's own controller code:
// virtual controllers plugged in and out, and mappings for a controller SDL
// does not know, from the player's file and from SDL_GAMECONTROLLERCONFIG.

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/gamepad.h"
#include "tests/diag/working_folder.h"
#include "tests/support/test_env.h"
#include "tests/support/virtual_pad.h"

using namespace plat;
using testpad::VirtualPad;

namespace {

constexpr const char* kMappingFile = "gamecontrollerdb.txt";
constexpr const char* kStickName = "Redavave Test Stick";

class GamepadTest : public ::testing::Test {
protected:
    // Every test starts the controllers afresh.
    void TearDown() override { closeGamepads(); }

    static GamepadState read(std::uint32_t index = 0) {
        GamepadState state;
        EXPECT_EQ(getGamepadState(index, &state), ERROR_SUCCESS) << "pad " << index;
        return state;
    }
    static bool connected(std::uint32_t index) {
        GamepadState state;
        return getGamepadState(index, &state) == ERROR_SUCCESS;
    }
    // A mapping line for `guid` on this system, in the community file's format.
    static std::string mappingLine(const std::string& guid, const std::string& buttons) {
        return guid + ",Test Stick," + buttons + ",platform:" + SDL_GetPlatform() + ",\n";
    }

    WorkingFolder folder;
};

TEST_F(GamepadTest, ButtonsSticksAndTriggersReadAsTheDesktopRecord) {
    VirtualPad pad;
    ASSERT_TRUE(pad.plugged());
    const std::uint16_t buttons[] = {GAMEPAD_DPAD_UP, GAMEPAD_DPAD_DOWN, GAMEPAD_DPAD_LEFT,     GAMEPAD_DPAD_RIGHT,
                                     GAMEPAD_START,   GAMEPAD_BACK,      GAMEPAD_LEFT_SHOULDER, GAMEPAD_RIGHT_SHOULDER,
                                     GAMEPAD_A,       GAMEPAD_B,         GAMEPAD_X,             GAMEPAD_Y};
    for (const std::uint16_t button : buttons) {
        pad.hold(button);
        EXPECT_EQ(read().buttons, button);
    }
    pad.hold(GAMEPAD_A | GAMEPAD_DPAD_LEFT | GAMEPAD_RIGHT_SHOULDER);
    EXPECT_EQ(read().buttons, GAMEPAD_A | GAMEPAD_DPAD_LEFT | GAMEPAD_RIGHT_SHOULDER);
    pad.hold(0);

    struct Case {
        int axis;
        std::int16_t value;
        std::int16_t GamepadState::*field;
        std::int16_t read;
    };
    // SDL's y axes grow downwards, the record's upwards.
    const Case sticks[] = {
        {SDL_CONTROLLER_AXIS_LEFTX, -32768, &GamepadState::thumbLX, -32768},
        {SDL_CONTROLLER_AXIS_LEFTX, 25000, &GamepadState::thumbLX, 25000},
        {SDL_CONTROLLER_AXIS_LEFTY, 12000, &GamepadState::thumbLY, -12000},
        {SDL_CONTROLLER_AXIS_LEFTY, -32768, &GamepadState::thumbLY, 32767},
        {SDL_CONTROLLER_AXIS_RIGHTX, 32767, &GamepadState::thumbRX, 32767},
        {SDL_CONTROLLER_AXIS_RIGHTY, 32767, &GamepadState::thumbRY, -32767},
    };
    for (const Case& c : sticks) {
        pad.setAxis(c.axis, c.value);
        EXPECT_EQ(read().*c.field, c.read) << "axis " << c.axis << " at " << c.value;
        pad.setAxis(c.axis, 0);
    }
    pad.setAxis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    EXPECT_EQ(read().leftTrigger, 255);
    EXPECT_EQ(read().rightTrigger, 0) << "a trigger at rest";

    // The packet number changes with the state, and only then.
    const std::uint32_t packet = read().packetNumber;
    EXPECT_EQ(read().packetNumber, packet);
    pad.hold(GAMEPAD_B);
    EXPECT_NE(read().packetNumber, packet);
}

// The first pad plugged in is pad 0; when it goes, the next one takes its place.
TEST_F(GamepadTest, PadsKeepTheOrderTheyWerePluggedIn) {
    GamepadState state;
    EXPECT_EQ(getGamepadState(0, &state), ERROR_DEVICE_NOT_CONNECTED) << "no pad yet";
    VirtualPad first;
    VirtualPad second;
    first.hold(GAMEPAD_A);
    second.hold(GAMEPAD_B);
    EXPECT_EQ(read(0).buttons, GAMEPAD_A);
    EXPECT_EQ(read(1).buttons, GAMEPAD_B);
    EXPECT_FALSE(connected(2));

    first.unplug();
    EXPECT_EQ(read(0).buttons, GAMEPAD_B);
    EXPECT_FALSE(connected(1));
    first.plug();
    first.hold(GAMEPAD_Y);
    EXPECT_EQ(read(1).buttons, GAMEPAD_Y) << "plugged in again, it comes second";
    second.unplug();
    first.unplug();
    EXPECT_FALSE(connected(0));
    EXPECT_EQ(getGamepadState(0, nullptr), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(getGamepadState(7, &state), ERROR_DEVICE_NOT_CONNECTED);
}

// A joystick SDL has no mapping for is no pad until the player's file maps it;
// then its buttons read as the file says, at once.
TEST_F(GamepadTest, MappingFileMakesAnUnknownControllerAPad) {
    VirtualPad stick(VirtualPad::Kind::unknownJoystick, kStickName);
    ASSERT_TRUE(stick.plugged());
    GamepadStart start = startGamepads(kMappingFile);
    EXPECT_TRUE(start.up);
    EXPECT_FALSE(start.mappingFile);
    EXPECT_EQ(start.error, "");
    EXPECT_FALSE(connected(0)) << "SDL does not know it";

    folder.write(kMappingFile, "# Game controller mappings\n"
                               "03000000000000000000000000000000,Other System Pad,a:b0,platform:Plan 9,\n" +
                                   mappingLine(stick.guid(), "a:b3,b:b2,back:b0,start:b1,leftshoulder:b4,dpright:b5,leftx:a0"));
    start = startGamepads(kMappingFile);
    EXPECT_TRUE(start.mappingFile);
    EXPECT_EQ(start.mappingsAdded, 1);
    EXPECT_EQ(start.error, "");

    stick.setButton(3, true);
    ASSERT_TRUE(connected(0)) << stick.mapping();
    EXPECT_EQ(read().buttons, GAMEPAD_A);
    stick.setButton(3, false);
    stick.setButton(4, true);
    stick.setButton(5, true);
    stick.setAxis(0, -25000);
    EXPECT_EQ(read().buttons, GAMEPAD_LEFT_SHOULDER | GAMEPAD_DPAD_RIGHT);
    EXPECT_EQ(read().thumbLX, -25000);
}

TEST_F(GamepadTest, MappingFilesThatAddNothingOrCannotBeRead) {
    struct Case {
        const char* what;
        const char* content;  // null: a folder of that name
        bool error;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"not mappings at all", "hello\n\x01\x02 binary\n,,,,\n", false},
        {"lines without a system", "03000000000000000000000000000000,No System,a:b0,\n", false},
        {"a folder of that name", nullptr, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(folder.path() / kMappingFile);
        if (c.content != nullptr) {
            folder.write(kMappingFile, c.content);
        } else {
            std::filesystem::create_directory(folder.path() / kMappingFile);
        }
        const GamepadStart start = startGamepads(kMappingFile);
        EXPECT_TRUE(start.up) << c.what;
        EXPECT_TRUE(start.mappingFile) << c.what;
        EXPECT_EQ(start.mappingsAdded, 0) << c.what;
        EXPECT_EQ(!start.error.empty(), c.error) << c.what << ": " << start.error;
    }
}

// SDL's own variable still maps controllers, and it comes before the file.
TEST_F(GamepadTest, SdlGameControllerConfigStillWorksAndComesFirst) {
    std::string guid;
    {
        VirtualPad probe(VirtualPad::Kind::unknownJoystick, kStickName);
        guid = probe.guid();
    }
    ASSERT_FALSE(guid.empty());
    closeGamepads();  // SDL reads the variable when the controllers start
    testenv::Scoped config("SDL_GAMECONTROLLERCONFIG", mappingLine(guid, "a:b7,back:b6").c_str());
    folder.write(kMappingFile, mappingLine(guid, "a:b3,back:b0"));
    startGamepads(kMappingFile);

    VirtualPad stick(VirtualPad::Kind::unknownJoystick, kStickName);
    stick.setButton(7, true);
    ASSERT_TRUE(connected(0)) << stick.mapping();
    EXPECT_EQ(read().buttons, GAMEPAD_A);
    stick.setButton(7, false);
    stick.setButton(3, true);
    EXPECT_EQ(read().buttons, 0) << "the file's mapping for the same controller does not replace the variable's";
}

}  // namespace
