// Modal message boxes, shown by a fresh copy of the game's binary on Linux (by
// SDL in the game's own process on Windows), with a switch to standard error
// for runs that nobody can click through (tests, no display). The text always
// goes to standard error as well.

#include "platform/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/message_box_internal.h"
#include "platform/sdl_internal.h"

namespace plat {

namespace {

void showSdlBox(const char* text, const char* title, std::uint32_t flags) {
    const Uint32 icon = (flags & MB_ICONERROR) != 0         ? SDL_MESSAGEBOX_ERROR
                        : (flags & MB_ICONINFORMATION) != 0 ? SDL_MESSAGEBOX_INFORMATION
                                                            : 0;
    SDL_ShowSimpleMessageBox(icon, title, text, nullptr);
}

MessageBoxBackend backend = nullptr;

int printBox(const char* text, const char* title) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::fflush(stderr);
    return IDOK;
}

bool boxesGoToStderr() {
    const char* mode = std::getenv("REDAVAVE_MESSAGE_BOXES");
    return mode != nullptr && std::strcmp(mode, "stderr") == 0;
}

// The game's window that should have the keyboard after the box: the focused
// one, else the first shown window of the game's own.
SDL_Window* ownerWindow() {
    if (SDL_Window* focused = SDL_GetKeyboardFocus()) {
        return focused;
    }
    // SDL numbers its windows from 1 in order of creation.
    for (Uint32 id = 1; id < 64; ++id) {
        SDL_Window* window = SDL_GetWindowFromID(id);
        if (window != nullptr && SDL_GetWindowData(window, "plat") != nullptr &&
            (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace

int messageBox(WindowHandle owner, const char* text, const char* title, std::uint32_t flags) {
    (void)owner;  // boxes are owned by the desktop
    text = text != nullptr ? text : "";
    title = title != nullptr ? title : "";
    if (backend != nullptr) {
        return backend(text, title, flags);
    }
    // Printed first, so that the text is kept whatever becomes of the box.
    printBox(text, title);
    if (boxesGoToStderr() || !detail::ensureVideo()) {
        return IDOK;
    }
    // The box takes the keyboard; as on the desktop the game was made for, the
    // game's window gets it back when the box is gone. Without that, a desktop
    // with no window manager leaves the game inactive, and so suspended, for good.
    SDL_Window* gameWindow = ownerWindow();
    const Uint32 gameWindowId = gameWindow != nullptr ? SDL_GetWindowID(gameWindow) : 0;
    if (!detail::boxProcessSupported || !detail::runBoxProcess(text, title, flags)) {
        // A program without the box entry (a test or a tool), or a box process
        // that showed nothing, leaves the box to SDL in this process.
        detail::inProcessBox(text, title, flags);
    }
    if (gameWindowId != 0 && SDL_GetWindowFromID(gameWindowId) == gameWindow) {
        SDL_RaiseWindow(gameWindow);
        SDL_SetWindowInputFocus(gameWindow);
    }
    return IDOK;
}

void setMessageBoxBackend(MessageBoxBackend replacement) { backend = replacement; }

void (*detail::inProcessBox)(const char* text, const char* title, std::uint32_t flags) = showSdlBox;

}  // namespace plat
