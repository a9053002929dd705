// A game controller for the end-to-end tests, plugged into the running game:
// loaded into the game's process with LD_PRELOAD, it attaches one of SDL's
// virtual controllers and sets its buttons and sticks as the test asks, so
// the game's own controller code reads SDL's events and state exactly as it
// would a pad on the USB port.
//
// REDAVAVE_TEST_PAD names a folder. The test appends commands to its file
// "pad-commands", one a line, each with a number of its own:
//   <n> plug                      attach the controller (once the game has
//                                 started its controllers)
//   <n> unplug                    detach it
//   <n> button <name> <0|1>       SDL's name of a button: a, b, back, start,
//                                 leftshoulder, dpright...
//   <n> axis <name> <value>       leftx, lefty... from -32768 to 32767
// and this library appends "<n> ok" or "<n> error <why>" to "pad-replies"
// once the change has reached SDL's state, which the game reads in the frame
// after. A button change counts as arrived when SDL reports it; SDL takes no
// presses while the game's window lacks the focus.

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr auto kPoll = std::chrono::milliseconds(5);
constexpr double kLongestWait = 20.0;

// Plain values only: this library's constructor may run before the C++
// objects of this file are built.
SDL_Joystick* joystick = nullptr;
SDL_JoystickID instance = -1;

// Waits until `done` holds, at most kLongestWait seconds.
template <typename Condition>
bool waitFor(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kLongestWait);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

int deviceIndexOf(SDL_JoystickID id) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) {
            return i;
        }
    }
    return -1;
}

std::string plug() {
    if (joystick != nullptr) {
        return "already plugged in";
    }
    if (!waitFor([] { return SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0; })) {
        return "the game did not start its controllers";
    }
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Redavave Test Pad";
    SDL_LockJoysticks();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    instance = joystick != nullptr ? SDL_JoystickInstanceID(joystick) : -1;
    const std::string error = joystick == nullptr ? SDL_GetError() : "";
    SDL_UnlockJoysticks();
    return error;
}

std::string unplug() {
    if (joystick == nullptr) {
        return "not plugged in";
    }
    SDL_LockJoysticks();
    SDL_JoystickClose(joystick);
    joystick = nullptr;
    const int index = deviceIndexOf(instance);
    const int detached = index >= 0 ? SDL_JoystickDetachVirtual(index) : -1;
    SDL_UnlockJoysticks();
    return detached == 0 ? "" : "not detached";
}

// Sets a button or an axis and waits until SDL's state shows it.
std::string set(const std::string& kind, const std::string& name, int value) {
    if (joystick == nullptr) {
        return "not plugged in";
    }
    int arrived = 0;
    if (kind == "button") {
        const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name.c_str());
        if (button == SDL_CONTROLLER_BUTTON_INVALID) {
            return "no button " + name;
        }
        SDL_JoystickSetVirtualButton(joystick, button, static_cast<Uint8>(value != 0));
        const bool done = waitFor([&] {
            SDL_LockJoysticks();
            const bool now = SDL_JoystickGetButton(joystick, button) == (value != 0 ? 1 : 0);
            SDL_UnlockJoysticks();
            return now;
        });
        arrived = done ? 1 : 0;
    } else if (kind == "axis") {
        const SDL_GameControllerAxis axis = SDL_GameControllerGetAxisFromString(name.c_str());
        if (axis == SDL_CONTROLLER_AXIS_INVALID) {
            return "no axis " + name;
        }
        SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(value));
        const bool done = waitFor([&] {
            SDL_LockJoysticks();
            const bool now = SDL_JoystickGetAxis(joystick, axis) == value;
            SDL_UnlockJoysticks();
            return now;
        });
        arrived = done ? 1 : 0;
    } else {
        return "no command " + kind;
    }
    return arrived != 0 ? "" : "SDL did not take it (has the game's window the focus?)";
}

std::string carryOut(const std::string& line, std::string* number) {
    std::istringstream words(line);
    std::string command;
    words >> *number >> command;
    if (command == "plug") {
        return plug();
    }
    if (command == "unplug") {
        return unplug();
    }
    std::string name;
    int value = 0;
    if (!(words >> name >> value)) {
        return "cannot read: " + line;
    }
    return set(command, name, value);
}

void reply(const std::string& folder, const std::string& number, const std::string& error) {
    const std::string path = folder + "/pad-replies";
    if (std::FILE* out = std::fopen(path.c_str(), "a")) {
        std::fprintf(out, "%s %s%s\n", number.c_str(), error.empty() ? "ok" : "error ", error.c_str());
        std::fclose(out);
    }
}

void serve(const std::string& folder) {
    const std::string path = folder + "/pad-commands";
    int fd = -1;
    std::string pending;
    for (;;) {
        if (fd < 0) {
            fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        }
        char buffer[512];
        const ssize_t got = fd >= 0 ? read(fd, buffer, sizeof buffer) : 0;
        if (got <= 0) {
            std::this_thread::sleep_for(kPoll);
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            std::string number;
            const std::string error = carryOut(line, &number);
            reply(folder, number, error);
        }
    }
}

__attribute__((constructor)) void startPad() {
    const char* where = std::getenv("REDAVAVE_TEST_PAD");
    if (where == nullptr || where[0] == '\0') {
        return;
    }
    std::thread(serve, std::string(where)).detach();
    // Programs the game starts (a box's process) get no pad of their own.
    unsetenv("REDAVAVE_TEST_PAD");
    unsetenv("LD_PRELOAD");
}

}  // namespace
