// The first game controller, read into the desktop gamepad record.

#include "platform/gamepad.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/sdl_internal.h"

namespace plat {
namespace {

enum class PadSystem { untried, up, failed };
PadSystem padSystem = PadSystem::untried;

// Open controllers in the order they were plugged in; index 0 is the first.
std::array<SDL_GameController*, 4> pads = {};

GamepadState lastState;
std::uint32_t packetCounter = 0;

void openPad(int deviceIndex) {
    if (SDL_IsGameController(deviceIndex) == SDL_FALSE) {
        return;
    }
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* pad : pads) {
        if (pad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) {
            return;  // already open
        }
    }
    for (SDL_GameController*& pad : pads) {
        if (pad == nullptr) {
            pad = SDL_GameControllerOpen(deviceIndex);
            return;
        }
    }
}

void closePad(SDL_JoystickID id) {
    for (SDL_GameController*& pad : pads) {
        if (pad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) {
            SDL_GameControllerClose(pad);
            pad = nullptr;
        }
    }
    // Keep the first plugged-in pad at index 0.
    std::size_t next = 0;
    for (SDL_GameController* pad : pads) {
        if (pad != nullptr) {
            pads[next++] = pad;
        }
    }
    for (; next < pads.size(); ++next) {
        pads[next] = nullptr;
    }
}

// Opens every plugged-in controller SDL has a mapping for that is not open yet.
void openMappedPads() {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        openPad(i);
    }
}

bool ensurePads() {
    if (padSystem == PadSystem::untried) {
        padSystem = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0 ? PadSystem::up : PadSystem::failed;
        if (padSystem == PadSystem::up) {
            openMappedPads();
        }
    }
    return padSystem == PadSystem::up;
}

std::uint8_t trigger(SDL_GameController* pad, SDL_GameControllerAxis axis) {
    const int value = SDL_GameControllerGetAxis(pad, axis);  // 0..32767
    return static_cast<std::uint8_t>(value > 0 ? value >> 7 : 0);
}

// SDL's y axes grow downwards, the desktop's upwards.
std::int16_t upwards(std::int16_t value) { return value == -32768 ? std::int16_t{32767} : std::int16_t(-value); }

}  // namespace

namespace detail {

void handleControllerEvent(const SDL_Event& event) {
    if (padSystem != PadSystem::up) {
        return;
    }
    if (event.type == SDL_CONTROLLERDEVICEADDED) {
        openPad(event.cdevice.which);
    } else if (event.type == SDL_CONTROLLERDEVICEREMOVED) {
        closePad(event.cdevice.which);
    }
}

}  // namespace detail

std::uint32_t getGamepadState(std::uint32_t userIndex, GamepadState* state) {
    if (state == nullptr || userIndex >= pads.size()) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    if (!ensurePads() || pads[userIndex] == nullptr) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    SDL_GameController* pad = pads[userIndex];
    if (SDL_GameControllerGetAttached(pad) == SDL_FALSE) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    static constexpr std::pair<SDL_GameControllerButton, std::uint16_t> kButtons[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_UP, GAMEPAD_DPAD_UP},
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, GAMEPAD_DPAD_DOWN},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, GAMEPAD_DPAD_LEFT},
        {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, GAMEPAD_DPAD_RIGHT},
        {SDL_CONTROLLER_BUTTON_START, GAMEPAD_START},
        {SDL_CONTROLLER_BUTTON_BACK, GAMEPAD_BACK},
        {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, GAMEPAD_LEFT_SHOULDER},
        {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, GAMEPAD_RIGHT_SHOULDER},
        {SDL_CONTROLLER_BUTTON_A, GAMEPAD_A},
        {SDL_CONTROLLER_BUTTON_B, GAMEPAD_B},
        {SDL_CONTROLLER_BUTTON_X, GAMEPAD_X},
        {SDL_CONTROLLER_BUTTON_Y, GAMEPAD_Y},
    };
    GamepadState fresh;
    for (const auto& [button, bit] : kButtons) {
        if (SDL_GameControllerGetButton(pad, button) != 0) {
            fresh.buttons = static_cast<std::uint16_t>(fresh.buttons | bit);
        }
    }
    fresh.leftTrigger = trigger(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    fresh.rightTrigger = trigger(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    fresh.thumbLX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    fresh.thumbLY = upwards(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY));
    fresh.thumbRX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTX);
    fresh.thumbRY = upwards(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTY));
    // The packet number changes whenever the state does, as on the desktop.
    if (fresh.buttons != lastState.buttons || fresh.leftTrigger != lastState.leftTrigger ||
        fresh.rightTrigger != lastState.rightTrigger || fresh.thumbLX != lastState.thumbLX ||
        fresh.thumbLY != lastState.thumbLY || fresh.thumbRX != lastState.thumbRX || fresh.thumbRY != lastState.thumbRY) {
        ++packetCounter;
    }
    fresh.packetNumber = packetCounter;
    lastState = fresh;
    *state = fresh;
    return ERROR_SUCCESS;
}

GamepadStart startGamepads(const char* mappingFile) {
    GamepadStart start;
    start.up = ensurePads();
    if (!start.up) {
        start.error = SDL_GetError();
        return start;
    }
    if (mappingFile == nullptr) {
        return start;
    }
    std::FILE* file = openFile(mappingFile, "rb");
    if (file == nullptr) {
        // No file is the usual case: SDL knows most controllers by itself.
        if (errno != ENOENT) {
            start.mappingFile = true;
            start.error = std::strerror(errno);
        }
        return start;
    }
    start.mappingFile = true;
    std::string text;
    char buffer[16384];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool readFailed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (readFailed) {
        start.error = std::strerror(readError);
        return start;
    }
    if (text.empty()) {
        return start;
    }
    const int added = SDL_GameControllerAddMappingsFromRW(SDL_RWFromConstMem(text.data(), static_cast<int>(text.size())), 1);
    if (added < 0) {
        start.error = SDL_GetError();
    } else {
        start.mappingsAdded = added;
    }
    // A controller already plugged in that the file maps is a pad from now on.
    openMappedPads();
    return start;
}

void closeGamepads() {
    if (padSystem != PadSystem::up) {
        padSystem = PadSystem::untried;
        return;
    }
    for (SDL_GameController*& pad : pads) {
        if (pad != nullptr) {
            SDL_GameControllerClose(pad);
            pad = nullptr;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    padSystem = PadSystem::untried;
    lastState = GamepadState{};
}

}  // namespace plat
