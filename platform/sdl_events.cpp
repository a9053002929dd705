// SDL's events as window messages: keys, focus, size and close requests are
// posted to the queue of the window they belong to.

#include "platform/key_codes.h"
#include "platform/window.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

constexpr LPARAM kPreviousStateBit = LPARAM{1} << 30;
constexpr LPARAM kTransitionBit = LPARAM{1} << 31;

WindowRecord* windowOfSdlId(Uint32 id) {
    SDL_Window* sdl = SDL_GetWindowFromID(id);
    if (sdl == nullptr) {
        return nullptr;
    }
    return detail::liveWindow(static_cast<WindowRecord*>(SDL_GetWindowData(sdl, "plat")));
}

// Keyboard events belong to the window with the keyboard focus; events injected
// without a window go to the first live window.
WindowRecord* keyboardWindow(Uint32 id) {
    if (WindowRecord* window = windowOfSdlId(id)) {
        return window;
    }
    for (WindowRecord* window : detail::windowList()) {
        if (window != nullptr) {
            return window;
        }
    }
    return nullptr;
}

void translateKey(const SDL_KeyboardEvent& key) {
    WindowRecord* window = keyboardWindow(key.windowID);
    const std::uint32_t vk = detail::virtualKeyFromSdl(key.keysym.sym);
    if (window == nullptr || vk == 0) {
        return;
    }
    const bool down = key.type == SDL_KEYDOWN;
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    // As on the desktop, keys pressed with Alt and F10 are system keys: they
    // reach the game as WM_SYSKEY* and their release leaves the latch alone.
    const bool system = alt || vk == VK_F10;
    LPARAM lParam = 1 | (static_cast<LPARAM>(key.keysym.scancode & 0xFF) << 16);
    if (alt) {
        lParam |= detail::kAltContextBit;
    }
    if (!down) {
        lParam |= kPreviousStateBit | kTransitionBit;
    } else if (key.repeat != 0) {
        lParam |= kPreviousStateBit;
    }
    const std::uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    postMessage(window, message, vk, lParam);
}

void translateWindowEvent(const SDL_WindowEvent& event) {
    WindowRecord* window = windowOfSdlId(event.windowID);
    if (window == nullptr) {
        return;
    }
    switch (event.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (!window->active) {
                window->active = true;
                postMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (window->active) {
                window->active = false;
                postMessage(window, WM_ACTIVATE, WA_INACTIVE, 0);
            }
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (event.data1 != window->clientWidth || event.data2 != window->clientHeight) {
                window->clientWidth = event.data1;
                window->clientHeight = event.data2;
                postMessage(window, WM_SIZE, 0, detail::packSize(event.data1, event.data2));
            }
            break;
        case SDL_WINDOWEVENT_SHOWN:
            detail::refreshFrameSizes(window);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            if (!detail::isQueued(window, WM_CLOSE)) {
                postMessage(window, WM_CLOSE, 0, 0);
            }
            break;
        default:
            break;
    }
}

void translateEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            translateKey(event.key);
            break;
        case SDL_WINDOWEVENT:
            translateWindowEvent(event.window);
            break;
        case SDL_QUIT:
            // Sent for a termination signal too: ask every window to close, so
            // the game shuts down the same way as from its close button.
            for (WindowRecord* window : detail::windowList()) {
                if (window != nullptr && !detail::isQueued(window, WM_CLOSE)) {
                    postMessage(window, WM_CLOSE, 0, 0);
                }
            }
            break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
            detail::handleControllerEvent(event);
            break;
        default:
            break;
    }
}

}  // namespace

namespace detail {

void pumpEvents() {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) {
        return;
    }
    SDL_Event event;
    // Leave room: one SDL event can become one message per live window.
    while (detail::windowList().size() < detail::queueRoom() && SDL_PollEvent(&event) != 0) {
        translateEvent(event);
    }
}

}  // namespace detail
}  // namespace plat
