#pragma once

// The records behind window and device-context handles, shared by the window
// and OpenGL sources of the platform layer.

#include <array>
#include <cstddef>
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

// Windows alive at once; pumping leaves room in the queue for one message each.
inline constexpr std::size_t kMaxWindows = 16;
// Key messages: the key was pressed with Alt held.
inline constexpr LPARAM kAltContextBit = LPARAM{1} << 29;

// Windows (window.cpp).
const std::array<WindowRecord*, kMaxWindows>& windowList();
// Delivers a message to the window procedure at once.
LRESULT sendMessage(WindowRecord* window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
// The client size as WM_SIZE carries it.
LPARAM packSize(int width, int height);
// Takes the frame sizes of a captioned window from the window manager.
void refreshFrameSizes(WindowRecord* window);

// The message queue (message_queue.cpp).
bool isQueued(WindowRecord* window, std::uint32_t message);
// Drops the queued messages of a window that goes away.
void purgeQueue(WindowRecord* window);
// Free places in the queue.
std::size_t queueRoom();

// Turns the SDL events waiting into queued messages (sdl_events.cpp).
void pumpEvents();

// The live window behind a handle, null for a destroyed or foreign handle.
WindowRecord* liveWindow(WindowHandle window);
WindowRecord* liveWindowOfDC(DeviceContext dc);
// Gives the window the picture of its class's icon resource, when there is one.
void applyClassIcon(SDL_Window* sdl, int iconId);

}  // namespace detail
}  // namespace plat
