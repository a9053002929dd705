#pragma once

// A controller for the tests, plugged in through SDL's virtual joysticks: the
// game's own controller code finds it, opens it and reads it exactly as it
// would a pad on the USB port. Values set here reach the game when the message
// queue is next pumped, which each call below does.

#include <cstdint>
#include <string>

namespace testpad {

class VirtualPad {
public:
    enum class Kind {
        gameController,  // a pad SDL knows: its buttons are SDL's controller buttons
        unknownJoystick, // a joystick SDL has no mapping for: 16 buttons, 2 axes
    };
    explicit VirtualPad(Kind kind = Kind::gameController, const char* name = nullptr);
    ~VirtualPad();
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool plugged() const { return instance_ >= 0; }
    void plug();
    void unplug();

    // A game controller: holds exactly `buttons` (plat::GAMEPAD_* bits) and
    // the left stick at `stickX`, nothing else.
    void hold(std::uint16_t buttons, std::int16_t stickX = 0);
    // Any kind: one button or axis by its number on the device.
    void setButton(int button, bool down);
    void setAxis(int axis, std::int16_t value);

    // SDL's GUID of the device, as mapping files name it.
    std::string guid() const;
    // SDL's controller mapping of the device, empty when it has none.
    std::string mapping() const;

private:
    void pump() const;

    Kind kind_;
    std::string name_;
    int instance_ = -1;
    void* joystick_ = nullptr;  // the SDL_Joystick whose values are set
};

}  // namespace testpad
