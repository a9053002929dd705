// The first game controller or, when none answers, the mouse.

#include "game/pad.h"

#include "game/Player.h"
#include "game/commands.h"
#include "game/lanes.h"
#include "platform/gamepad.h"
#include "platform/system.h"

ShellRequest pollGamepad(PlayState& play, double frameTime, int screenWidth, int screenHeight) {
    plat::GamepadState state{};
    if (plat::getGamepadState(0, &state) != plat::ERROR_SUCCESS) {
        mouseSteer(play, screenWidth, screenHeight);
        play.padConnected = false;
        // A pad plugged in again starts with nothing held.
        play.padInputsLast = 0;
        play.padRepeat = PlayState::PadRepeat{};
        return ShellRequest::none;
    }
    play.padConnected = true;

    // The pad puts the ship into one of the three lanes every frame of play,
    // overriding whatever the keyboard did earlier in the frame.
    const float stick = static_cast<float>(state.thumbLX);
    const bool placing = !play.inMenu && !play.paused;
    float lateral = PAD_CENTRE;
    if ((state.buttons & plat::GAMEPAD_B) != 0 || stick > STICK_THRESHOLD) {
        lateral = PAD_RIGHT;
    } else if ((state.buttons & plat::GAMEPAD_X) != 0 || stick < -STICK_THRESHOLD) {
        lateral = PAD_LEFT;
    }
    if (placing) {
        player.setLateral(lateral);
    }

    // The stick pushed as far as steers chooses songs in the menus like the D-pad.
    std::uint32_t inputs = state.buttons;
    if (stick > STICK_THRESHOLD) {
        inputs |= PAD_STICK_RIGHT;
    } else if (stick < -STICK_THRESHOLD) {
        inputs |= PAD_STICK_LEFT;
    }
    return runPadCommands(play, inputs, frameTime);
}

void mouseSteer(PlayState& play, int screenWidth, int screenHeight) {
    const bool inMenu = play.inMenu;
    int& mouseCentreX = play.mouseCentreX;
    int& mouseCentreY = play.mouseCentreY;
    if (!play.mouseCentreSet) {
        mouseCentreX = screenWidth / 2;
        mouseCentreY = screenHeight / 2;
        play.mouseCentreSet = true;
    }
    if (!play.active && inMenu) {
        return;
    }
    const bool steering = !inMenu && !play.paused;
    const int screenCentreX = plat::getSystemMetrics(plat::SM_CXSCREEN) / 2;
    const int screenCentreY = plat::getSystemMetrics(plat::SM_CYSCREEN) / 2;
    if (play.fullscreen) {
        mouseCentreX = screenCentreX;
        mouseCentreY = screenCentreY;
    }
    // The centre of the previous call is the reference in a window; only the
    // sideways offset steers, the vertical one is dropped when the cursor goes back.
    plat::Point mousePosition;
    if (plat::getCursorPos(&mousePosition) && steering) {
        const int offset = mousePosition.x - mouseCentreX;
        player.move(MOVE_MOUSE, static_cast<float>(offset) * MOUSE_STEER_PER_PIXEL);
    }
    mouseCentreX = screenCentreX;
    mouseCentreY = screenCentreY;
    plat::setCursorPos(mouseCentreX, mouseCentreY);
}
