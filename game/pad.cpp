// The first game controller or, when none answers, the mouse.

#include "app/Core.h"
#include "game/Player.h"
#include "platform/gamepad.h"
#include "platform/system.h"

namespace {

constexpr float STICK_THRESHOLD = 20000.0f;
constexpr float PAD_RIGHT = 3.0f;
constexpr float PAD_LEFT = -3.0f;
constexpr float PAD_CENTRE = 0.0f;
constexpr float MOUSE_STEER_PER_PIXEL = 0.01f;

}  // namespace

void Core::pollGamepad() {
    plat::GamepadState state{};
    if (plat::getGamepadState(0, &state) != plat::ERROR_SUCCESS) {
        mouseSteer();
        padConnected = false;
        // A pad plugged in again starts with no buttons remembered.
        padButtonsLast = 0;
        return;
    }
    padConnected = true;

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
    const std::uint16_t pressed = state.buttons & static_cast<std::uint16_t>(~padButtonsLast);
    padButtonsLast = state.buttons;
    if ((pressed & plat::GAMEPAD_START) != 0 && ((inMenu && !firstMenu) || (!inMenu && paused))) {
        restartSong();
        inMenu = false;
    }
    if ((pressed & plat::GAMEPAD_BACK) != 0 && inMenu) {
        shutdown();
    }
}

void Core::mouseSteer() {
    if (!mouseCentreSet) {
        mouseCentreX = screenWidth / 2;
        mouseCentreY = screenHeight / 2;
        mouseCentreSet = true;
    }
    if (!active && inMenu) {
        return;
    }
    const bool steering = !inMenu && !paused;
    const int screenCentreX = plat::getSystemMetrics(plat::SM_CXSCREEN) / 2;
    const int screenCentreY = plat::getSystemMetrics(plat::SM_CYSCREEN) / 2;
    if (fullscreen) {
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
