// The first game controller or, when none answers, the mouse.

#include "game/pad.h"

#include "game/Player.h"
#include "game/keys.h"
#include "game/lanes.h"
#include "platform/gamepad.h"
#include "platform/system.h"

ShellRequest pollGamepad(PlayState& play, int screenWidth, int screenHeight) {
    bool& inMenu = play.inMenu;
    const bool paused = play.paused;
    plat::GamepadState state{};
    if (plat::getGamepadState(0, &state) != plat::ERROR_SUCCESS) {
        mouseSteer(play, screenWidth, screenHeight);
        play.padConnected = false;
        // A pad plugged in again starts with no buttons remembered.
        play.padButtonsLast = 0;
        return ShellRequest::none;
    }
    play.padConnected = true;

    // The pad puts the ship into one of the three lanes every frame of play,
    // overriding whatever the keyboard did earlier in the frame.
    const float stick = static_cast<float>(state.thumbLX);
    const bool placing = !inMenu && !paused;
    float lateral = PAD_CENTRE;
    if ((state.buttons & plat::GAMEPAD_B) != 0 || stick > STICK_THRESHOLD) {
        lateral = PAD_RIGHT;
    } else if ((state.buttons & plat::GAMEPAD_X) != 0 || stick < -STICK_THRESHOLD) {
        lateral = PAD_LEFT;
    }
    if (placing) {
        player.setLateral(lateral);
    }

    // START and BACK act on the press, not while held. START does what Space
    // does (replay from the Score menu, restart while paused); it is tested
    // first, and once it has left the menu BACK no longer applies. BACK exits
    // from the menu, where the pad hint offers it.
    const std::uint16_t pressed = state.buttons & static_cast<std::uint16_t>(~play.padButtonsLast);
    play.padButtonsLast = state.buttons;
    if ((pressed & plat::GAMEPAD_START) != 0 && ((inMenu && !play.firstMenu) || (!inMenu && paused))) {
        restartSong(play);
        inMenu = false;
    }
    if ((pressed & plat::GAMEPAD_BACK) != 0 && inMenu) {
        return ShellRequest::shutDown;
    }
    return ShellRequest::none;
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
