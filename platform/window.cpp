// Window class and windows on SDL. Window calls deliver their messages to the
// window procedure at once, as the desktop API does; the queue is in
// message_queue.cpp and the SDL events become messages in sdl_events.cpp.

#include "platform/window.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "platform/key_codes.h"
#include "platform/system.h"
#include "platform/window_internal.h"

#if defined(REDAVAVE_HAVE_X11)
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#define REDAVAVE_X11_FULL_SCREEN 1
#endif
#endif

namespace plat {
namespace {

struct ClassEntry {
    bool used = false;
    char name[64] = {};
    WindowClass windowClass;
};
std::array<ClassEntry, 8> classes;

std::array<WindowRecord*, detail::kMaxWindows> liveWindows = {};

// Frame sizes of a captioned window as the window manager last reported them;
// zero until a captioned window has been mapped (and without a window manager).
int frameLeft = 0;
int frameTop = 0;
int frameRight = 0;
int frameBottom = 0;

int moduleMarker = 0;

ClassEntry* findClass(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (ClassEntry& entry : classes) {
        if (entry.used && std::strcmp(entry.name, name) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

bool hasCaption(std::uint32_t style) { return (style & WS_POPUP) == 0; }

void sendSize(WindowRecord* window) {
    SDL_GetWindowSize(window->sdl, &window->clientWidth, &window->clientHeight);
    detail::sendMessage(window, WM_SIZE, 0, detail::packSize(window->clientWidth, window->clientHeight));
}

}  // namespace

namespace detail {

void refreshFrameSizes(WindowRecord* window) {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    if (hasCaption(window->style) && SDL_GetWindowBordersSize(window->sdl, &top, &left, &bottom, &right) == 0) {
        frameLeft = left;
        frameTop = top;
        frameRight = right;
        frameBottom = bottom;
    }
}

LRESULT sendMessage(WindowRecord* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr || window->proc == nullptr) {
        return 0;
    }
    return window->proc(window, message, wParam, lParam);
}

LPARAM packSize(int width, int height) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(width) & 0xFFFFu) |
                               ((static_cast<std::uint32_t>(height) & 0xFFFFu) << 16));
}

const std::array<WindowRecord*, kMaxWindows>& windowList() { return liveWindows; }

WindowRecord* liveWindow(WindowHandle window) {
    if (window == nullptr) {
        return nullptr;
    }
    for (WindowRecord* live : liveWindows) {
        if (live == window) {
            return live;
        }
    }
    return nullptr;
}

WindowRecord* liveWindowOfDC(DeviceContext dc) {
    if (dc == nullptr) {
        return nullptr;
    }
    for (WindowRecord* live : liveWindows) {
        if (live != nullptr && &live->dc == dc) {
            return live;
        }
    }
    return nullptr;
}

}  // namespace detail

ModuleHandle moduleHandle() { return &moduleMarker; }

bool registerClass(const WindowClass& windowClass) {
    if (windowClass.className == nullptr || windowClass.windowProc == nullptr ||
        std::strlen(windowClass.className) >= sizeof(ClassEntry::name) || findClass(windowClass.className) != nullptr) {
        return false;
    }
    for (ClassEntry& entry : classes) {
        if (!entry.used) {
            entry.used = true;
            std::snprintf(entry.name, sizeof entry.name, "%s", windowClass.className);
            entry.windowClass = windowClass;
            entry.windowClass.className = entry.name;
            return true;
        }
    }
    return false;
}

bool unregisterClass(const char* className, ModuleHandle instance) {
    ClassEntry* entry = findClass(className);
    if (entry == nullptr || entry->windowClass.instance != instance) {
        return false;
    }
    *entry = ClassEntry{};
    return true;
}

namespace {

// The surface is made for OpenGL from the start: SDL needs the attributes
// before the window exists. Depth 24 where the server has it, else 16.
SDL_Window* createSurface(WindowRecord* window, const char* title, int x, int y, int width, int height, Uint32 flags) {
    for (int depth : {24, 16}) {
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        if (SDL_Window* sdl = SDL_CreateWindow(title, x, y, width, height, flags)) {
            window->colorBits = 24;
            window->depthBits = depth;
            return sdl;
        }
    }
    return nullptr;
}

// Under X11, SDL asks the window manager for the full-screen state of a
// window it has just shown and then watches the window for up to 100 ms to
// see it change; a window that already covers the desktop never changes, so
// every start waited all of that. Window managers read the same state from
// the window when they first map it, which is when SDL itself sets it on a
// window not yet shown: the window is made the desktop's size and borderless,
// and the state is put on it before it is shown.
bool fullScreenBeforeShowing() {
#if defined(REDAVAVE_X11_FULL_SCREEN)
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "x11") == 0;
#else
    return false;
#endif
}

void askFullScreenState(SDL_Window* sdl) {
#if defined(REDAVAVE_X11_FULL_SCREEN)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    Display* display = info.info.x11.display;
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, info.info.x11.window, state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&fullScreen), 1);
    XFlush(display);
#else
    (void)sdl;
#endif
}

}  // namespace

WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style, int x,
                          int y, int width, int height, ModuleHandle instance, void* param) {
    (void)exStyle;
    (void)instance;
    const ClassEntry* entry = findClass(className);
    std::size_t slot = liveWindows.size();
    for (std::size_t i = 0; i < liveWindows.size(); ++i) {
        if (liveWindows[i] == nullptr) {
            slot = i;
            break;
        }
    }
    if (entry == nullptr || slot == liveWindows.size() || !detail::ensureVideo()) {
        return nullptr;
    }

    auto* window = new WindowRecord;
    window->proc = entry->windowClass.windowProc;
    window->style = style;
    window->dc.window = window;

    // The caller gives the outer size; SDL sizes the client area.
    int clientWidth = width;
    int clientHeight = height;
    if (hasCaption(style)) {
        clientWidth -= frameLeft + frameRight;
        clientHeight -= frameTop + frameBottom;
    }
    clientWidth = clientWidth > 0 ? clientWidth : 1;
    clientHeight = clientHeight > 0 ? clientHeight : 1;
    if (x == CW_USEDEFAULT) {
        x = (style & WS_POPUP) != 0 ? 0 : static_cast<int>(SDL_WINDOWPOS_UNDEFINED);
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    const bool fullScreen = (style & WS_POPUP) != 0;
    const bool stateBeforeShowing = fullScreen && fullScreenBeforeShowing();
    if (stateBeforeShowing) {
        SDL_Rect desktop{0, 0, clientWidth, clientHeight};
        SDL_GetDisplayBounds(0, &desktop);
        x = desktop.x;
        y = desktop.y;
        clientWidth = desktop.w;
        clientHeight = desktop.h;
        flags |= SDL_WINDOW_BORDERLESS;
    } else if (fullScreen) {
        // The desktop's own full-screen state: panels step back, the display mode stays.
        flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    window->sdl = createSurface(window, title != nullptr ? title : "", x, y, clientWidth, clientHeight, flags);
    if (window->sdl == nullptr) {
        delete window;
        return nullptr;
    }
    if (stateBeforeShowing) {
        askFullScreenState(window->sdl);
    }
    SDL_SetWindowData(window->sdl, "plat", window);
    detail::applyClassIcon(window->sdl, entry->windowClass.iconId);
    liveWindows[slot] = window;
    setClassCursor(entry->windowClass.cursorId);

    CreateStruct create;
    create.createParams = param;
    const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (detail::sendMessage(window, WM_NCCREATE, 0, createParam) == 0 || detail::sendMessage(window, WM_CREATE, 0, createParam) == -1) {
        destroyWindow(window);
        return nullptr;
    }
    sendSize(window);
    if ((style & WS_VISIBLE) != 0 && detail::liveWindow(window) != nullptr) {
        SDL_ShowWindow(window->sdl);
        window->active = true;
        detail::sendMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
    }
    return detail::liveWindow(window);
}

bool destroyWindow(WindowHandle handle) {
    WindowRecord* window = detail::liveWindow(handle);
    if (window == nullptr || window->destroying) {
        return false;
    }
    // Marked first, so that a handler of WM_DESTROY cannot destroy it twice.
    window->destroying = true;
    detail::sendMessage(window, WM_DESTROY, 0, 0);
    detail::purgeQueue(window);
    SDL_DestroyWindow(window->sdl);
    for (WindowRecord*& live : liveWindows) {
        if (live == window) {
            live = nullptr;
        }
    }
    delete window;
    return true;
}

bool adjustWindowRect(Rect* rect, std::uint32_t style, std::uint32_t exStyle) {
    (void)exStyle;
    if (rect == nullptr) {
        return false;
    }
    if (hasCaption(style)) {
        rect->left -= frameLeft;
        rect->top -= frameTop;
        rect->right += frameRight;
        rect->bottom += frameBottom;
    }
    return true;
}

bool getClientRect(WindowHandle handle, Rect* rect) {
    WindowRecord* window = detail::liveWindow(handle);
    if (window == nullptr || rect == nullptr) {
        return false;
    }
    int width = 0;
    int height = 0;
    if ((SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MINIMIZED) == 0) {
        SDL_GetWindowSize(window->sdl, &width, &height);
    }
    *rect = Rect{0, 0, width, height};
    return true;
}

bool moveWindow(WindowHandle handle, int x, int y, int width, int height, bool repaint) {
    (void)repaint;
    WindowRecord* window = detail::liveWindow(handle);
    if (window == nullptr) {
        return false;
    }
    detail::refreshFrameSizes(window);
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    if (hasCaption(window->style)) {
        left = frameLeft;
        top = frameTop;
        right = frameRight;
        bottom = frameBottom;
    }
    const int clientWidth = width - left - right;
    const int clientHeight = height - top - bottom;
    SDL_SetWindowSize(window->sdl, clientWidth > 0 ? clientWidth : 1, clientHeight > 0 ? clientHeight : 1);
    SDL_SetWindowPosition(window->sdl, x + left, y + top);
    sendSize(window);
    return true;
}

bool showWindow(WindowHandle handle, int command) {
    WindowRecord* window = detail::liveWindow(handle);
    if (window == nullptr) {
        return false;
    }
    const Uint32 flags = SDL_GetWindowFlags(window->sdl);
    const bool wasVisible = (flags & SDL_WINDOW_SHOWN) != 0;
    switch (command) {
        case SW_HIDE:
            SDL_HideWindow(window->sdl);
            break;
        case SW_SHOWMINIMIZED:
            SDL_ShowWindow(window->sdl);
            SDL_MinimizeWindow(window->sdl);
            break;
        case SW_SHOWNORMAL:
            if ((flags & SDL_WINDOW_MINIMIZED) != 0) {
                SDL_RestoreWindow(window->sdl);
            }
            SDL_ShowWindow(window->sdl);
            break;
        default:
            SDL_ShowWindow(window->sdl);
            break;
    }
    return wasVisible;
}

bool setForegroundWindow(WindowHandle handle) {
    WindowRecord* window = detail::liveWindow(handle);
    if (window == nullptr) {
        return false;
    }
    SDL_RaiseWindow(window->sdl);
    return true;
}

void setFocus(WindowHandle handle) {
    if (WindowRecord* window = detail::liveWindow(handle)) {
        // Works without a window manager too, so keys reach us under a bare X server.
        SDL_SetWindowInputFocus(window->sdl);
    }
}

void updateWindow(WindowHandle handle) { (void)handle; }

void* getWindowUserData(WindowHandle handle) {
    WindowRecord* window = detail::liveWindow(handle);
    return window != nullptr ? window->userData : nullptr;
}

void setWindowUserData(WindowHandle handle, void* data) {
    if (WindowRecord* window = detail::liveWindow(handle)) {
        window->userData = data;
    }
}

LRESULT defWindowProc(WindowHandle handle, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* window = detail::liveWindow(handle);
    if (window == nullptr) {
        return 0;  // e.g. the window was destroyed while its close request was handled
    }
    switch (message) {
        case WM_NCCREATE:
            return 1;
        case WM_CLOSE:
            destroyWindow(window);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (lParam & detail::kAltContextBit) != 0) {
                detail::sendMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0u) == SC_CLOSE) {
                detail::sendMessage(window, WM_CLOSE, 0, 0);
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace plat
