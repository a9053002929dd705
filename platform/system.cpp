// Display metrics, display mode and the mouse cursor on SDL's video subsystem.

#include "platform/system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl_internal.h"
#include "platform/window.h"

namespace plat {
namespace {

enum class VideoState { untried, up, failed };
VideoState videoState = VideoState::untried;
char videoFailure[256] = {};

int screenOverrideWidth = 0;
int screenOverrideHeight = 0;

// The desktop's counter starts at 0: visible.
int cursorCounter = 0;
SDL_Cursor* crossCursor = nullptr;

}  // namespace

namespace detail {

// Drivers that show nothing. Taken only when asked for by name in SDL_VIDEODRIVER.
bool isHeadlessDriver(const char* driver) {
    if (driver == nullptr) {
        return true;
    }
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (requested != nullptr && std::strcmp(requested, driver) == 0) {
        return false;
    }
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
           std::strcmp(driver, "evdev") == 0;
}

bool ensureVideo() {
    if (videoState == VideoState::untried) {
        // The game decides itself when to minimise (only a full-screen window
        // that loses focus), and it asks for the cross-hair cursor of its class.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            videoState = VideoState::failed;
            std::snprintf(videoFailure, sizeof videoFailure, "%s", SDL_GetError());
        } else if (isHeadlessDriver(SDL_GetCurrentVideoDriver())) {
            // SDL falls back to drawing into memory when no display answers;
            // nobody would see the game, so that counts as no display.
            const char* display = std::getenv("DISPLAY");
            std::snprintf(videoFailure, sizeof videoFailure,
                          "no X11 or Wayland display answered (DISPLAY=%s); SDL offered only its '%s' driver",
                          display != nullptr ? display : "unset", SDL_GetCurrentVideoDriver());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            videoState = VideoState::failed;
        } else {
            videoState = VideoState::up;
            applyCursorVisibility();
        }
    }
    return videoState == VideoState::up;
}

void applyCursorVisibility() {
    if (videoState == VideoState::up) {
        SDL_ShowCursor(cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
}

}  // namespace detail

const char* displayError() {
    detail::ensureVideo();
    return videoState == VideoState::failed ? videoFailure : nullptr;
}

int getSystemMetrics(int index) {
    if (screenOverrideWidth > 0 && screenOverrideHeight > 0) {
        return index == SM_CXSCREEN ? screenOverrideWidth : index == SM_CYSCREEN ? screenOverrideHeight : 0;
    }
    SDL_DisplayMode mode{};
    if (!detail::ensureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        return 0;
    }
    switch (index) {
        case SM_CXSCREEN: return mode.w;
        case SM_CYSCREEN: return mode.h;
        default: return 0;
    }
}

void overrideScreenSize(int width, int height) {
    screenOverrideWidth = width;
    screenOverrideHeight = height;
}

int screenBitsPerPixel() {
    SDL_DisplayMode mode{};
    if (!detail::ensureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        return 0;
    }
    return static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8;
}

bool changeDisplaySettingsFullscreen(int width, int height, int bitsPerPixel) {
    // Full screen is a frameless window over the desktop in its own mode; the
    // display is never switched, so only the desktop's mode can be "set".
    return width == getSystemMetrics(SM_CXSCREEN) && height == getSystemMetrics(SM_CYSCREEN) &&
           bitsPerPixel == screenBitsPerPixel();
}

void restoreDisplaySettings() {}

int showCursor(bool show) {
    cursorCounter += show ? 1 : -1;
    detail::applyCursorVisibility();
    return cursorCounter;
}

void setClassCursor(int cursorId) {
    if (cursorId != IDC_CROSS || !detail::ensureVideo()) {
        return;
    }
    if (crossCursor == nullptr) {
        crossCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
    }
    if (crossCursor != nullptr) {
        SDL_SetCursor(crossCursor);
    }
}

bool getCursorPos(Point* point) {
    if (point == nullptr || !detail::ensureVideo()) {
        return false;
    }
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    point->x = x;
    point->y = y;
    return true;
}

bool setCursorPos(int x, int y) {
    if (!detail::ensureVideo()) {
        return false;
    }
    return SDL_WarpMouseGlobal(x, y) == 0;
}

void lowerThreadPriority() { SDL_SetThreadPriority(SDL_THREAD_PRIORITY_LOW); }

}  // namespace plat
