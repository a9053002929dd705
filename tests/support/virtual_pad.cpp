#include "tests/support/virtual_pad.h"

#include <SDL.h>

#include <cstdio>
#include <utility>

#include "platform/gamepad.h"
#include "platform/window.h"

namespace testpad {
namespace {

constexpr int kJoystickButtons = 16;
constexpr int kJoystickAxes = 2;
constexpr Uint16 kTestVendor = 0x1209;  // the vendor id of open hardware projects
constexpr Uint16 kTestProduct = 0x7264;

// The game's button bits as SDL's controller buttons, named on each side by
// what is printed on the pad.
constexpr std::pair<std::uint16_t, SDL_GameControllerButton> kButtons[] = {
    {plat::GAMEPAD_A, SDL_CONTROLLER_BUTTON_A},
    {plat::GAMEPAD_B, SDL_CONTROLLER_BUTTON_B},
    {plat::GAMEPAD_X, SDL_CONTROLLER_BUTTON_X},
    {plat::GAMEPAD_Y, SDL_CONTROLLER_BUTTON_Y},
    {plat::GAMEPAD_BACK, SDL_CONTROLLER_BUTTON_BACK},
    {plat::GAMEPAD_START, SDL_CONTROLLER_BUTTON_START},
    {plat::GAMEPAD_LEFT_SHOULDER, SDL_CONTROLLER_BUTTON_LEFTSHOULDER},
    {plat::GAMEPAD_RIGHT_SHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER},
    {plat::GAMEPAD_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_UP},
    {plat::GAMEPAD_DPAD_DOWN, SDL_CONTROLLER_BUTTON_DPAD_DOWN},
    {plat::GAMEPAD_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_LEFT},
    {plat::GAMEPAD_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT},
};

SDL_Joystick* asJoystick(void* joystick) { return static_cast<SDL_Joystick*>(joystick); }

int deviceIndexOf(int instance) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == instance) {
            return i;
        }
    }
    return -1;
}

}  // namespace

VirtualPad::VirtualPad(Kind kind, const char* name) : kind_(kind), name_(name != nullptr ? name : "") {
    // A reference of the pad's own: the game may let go of its controllers
    // (and SDL would drop every virtual device with them) while the pad stays.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "virtual pad: SDL controllers: %s\n", SDL_GetError());
        return;
    }
    plug();
}

VirtualPad::~VirtualPad() {
    unplug();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void VirtualPad::plug() {
    if (plugged() || SDL_WasInit(SDL_INIT_GAMECONTROLLER) == 0) {
        return;
    }
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    if (kind_ == Kind::gameController) {
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    } else {
        desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
        desc.naxes = kJoystickAxes;
        desc.nbuttons = kJoystickButtons;
        // USB ids, as a real joystick has: SDL matches mappings to a virtual
        // device known by its name alone only without the name's checksum.
        desc.vendor_id = kTestVendor;
        desc.product_id = kTestProduct;
    }
    desc.name = name_.empty() ? nullptr : name_.c_str();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
        std::fprintf(stderr, "virtual pad: not attached: %s\n", SDL_GetError());
        return;
    }
    joystick_ = SDL_JoystickOpen(index);
    if (joystick_ == nullptr) {
        std::fprintf(stderr, "virtual pad: not opened: %s\n", SDL_GetError());
        SDL_JoystickDetachVirtual(index);
        return;
    }
    instance_ = SDL_JoystickInstanceID(asJoystick(joystick_));
    pump();
}

void VirtualPad::unplug() {
    if (!plugged()) {
        return;
    }
    SDL_JoystickClose(asJoystick(joystick_));
    joystick_ = nullptr;
    const int index = deviceIndexOf(instance_);
    if (index >= 0) {
        SDL_JoystickDetachVirtual(index);
    }
    instance_ = -1;
    pump();
}

void VirtualPad::hold(std::uint16_t buttons, std::int16_t stickX) {
    if (!plugged()) {
        return;
    }
    for (const auto& [bit, button] : kButtons) {
        SDL_JoystickSetVirtualButton(asJoystick(joystick_), button, (buttons & bit) != 0 ? 1 : 0);
    }
    SDL_JoystickSetVirtualAxis(asJoystick(joystick_), SDL_CONTROLLER_AXIS_LEFTX, stickX);
    pump();
}

void VirtualPad::setButton(int button, bool down) {
    if (plugged()) {
        SDL_JoystickSetVirtualButton(asJoystick(joystick_), button, down ? 1 : 0);
        pump();
    }
}

void VirtualPad::setAxis(int axis, std::int16_t value) {
    if (plugged()) {
        SDL_JoystickSetVirtualAxis(asJoystick(joystick_), axis, value);
        pump();
    }
}

std::string VirtualPad::guid() const {
    if (!plugged()) {
        return {};
    }
    char text[64] = {};
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(asJoystick(joystick_)), text, sizeof text);
    return text;
}

std::string VirtualPad::mapping() const {
    const int index = plugged() ? deviceIndexOf(instance_) : -1;
    char* mapping = index >= 0 ? SDL_GameControllerMappingForDeviceIndex(index) : nullptr;
    std::string text = mapping != nullptr ? mapping : "";
    SDL_free(mapping);
    return text;
}

// The game's message pump: SDL applies the values set and reports devices
// plugged in or out, and the game's controller code takes note.
void VirtualPad::pump() const {
    plat::Message message{};
    plat::peekMessage(&message, false);
}

}  // namespace testpad
