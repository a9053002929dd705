#pragma once

// The records behind window and device-context handles, shared by the window
// and OpenGL sources of the platform layer.

#include <cstdint>

#include "platform/sdl_internal.h"
#include "platform/types.h"
#include "platform/window.h"

namespace plat {

struct DeviceContextRecord {
    WindowRecord* window = nullptr;
    int pixelFormat = 0;  // 0 until setPixelFormat
};

struct WindowRecord {
    SDL_Window* sdl = nullptr;
    WindowProc proc = nullptr;
    void* userData = nullptr;
    std::uint32_t style = 0;
    bool active = false;      // last activation reported to the window procedure
    bool destroying = false;
    int clientWidth = 0;      // last size reported by WM_SIZE
    int clientHeight = 0;
    // What the surface was created with; a format may ask for no more than this.
    int colorBits = 0;
    int depthBits = 0;
    DeviceContextRecord dc;
};

namespace detail {

// The live window behind a handle, null for a destroyed or foreign handle.
WindowRecord* liveWindow(WindowHandle window);
WindowRecord* liveWindowOfDC(DeviceContext dc);
// Gives the window the picture of its class's icon resource, when there is one.
void applyClassIcon(SDL_Window* sdl, int iconId);

}  // namespace detail
}  // namespace plat
