#pragma once

// Window class, window and message queue, shaped like the desktop API the game
// was written against. Messages are delivered to the class's window procedure:
// synchronously from window calls (creation, moving, showing, destroying), and
// from `dispatchMessage` for queued input. Everything runs on the main thread.

#include <cstdint>

#include "platform/types.h"

namespace plat {

// Message numbers.
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_NCCREATE = 0x0081;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;

// WM_ACTIVATE low word of wParam.
inline constexpr std::uint32_t WA_INACTIVE = 0;
inline constexpr std::uint32_t WA_ACTIVE = 1;
// WM_SYSCOMMAND wParam values.
inline constexpr std::uint32_t SC_CLOSE = 0xF060;
inline constexpr std::uint32_t SC_SCREENSAVE = 0xF140;
inline constexpr std::uint32_t SC_MONITORPOWER = 0xF170;

// Class styles.
inline constexpr std::uint32_t CS_VREDRAW = 0x0001;
inline constexpr std::uint32_t CS_HREDRAW = 0x0002;
inline constexpr std::uint32_t CS_OWNDC = 0x0020;
// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000u;
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;
// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOW = 5;
// Default position for createWindow.
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);
// Resources of the window class.
inline constexpr int IDC_CROSS = 32515;

inline std::uint32_t loWord(WPARAM value) { return static_cast<std::uint32_t>(value & 0xFFFFu); }

using WindowProc = LRESULT (*)(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);

struct WindowClass {
    std::uint32_t style = 0;
    WindowProc windowProc = nullptr;
    ModuleHandle instance = nullptr;
    int iconId = 0;
    int cursorId = 0;
    const char* className = nullptr;
};

// lParam of WM_NCCREATE and WM_CREATE points at this record.
struct CreateStruct {
    void* createParams = nullptr;
};

// The module handle of the running program.
ModuleHandle moduleHandle();

// Registers a class by name; false when the name is taken or the record is incomplete.
bool registerClass(const WindowClass& windowClass);
// Unregisters a class; false when no such class is registered for this module.
bool unregisterClass(const char* className, ModuleHandle instance);

// Creates a top-level window of a registered class with an OpenGL-capable
// surface (double-buffered, with a depth buffer). Sends WM_NCCREATE (whose
// CreateStruct carries `param`), WM_CREATE and WM_SIZE; a visible window is also
// activated (WM_ACTIVATE). Returns null when the class is unknown or the display
// cannot be reached.
WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title, std::uint32_t style, int x,
                          int y, int width, int height, ModuleHandle instance, void* param);
// Destroys a window; sends WM_DESTROY first. False for a handle that is not a window.
bool destroyWindow(WindowHandle window);

// Grows a client rectangle to the outer size of a window with these styles.
bool adjustWindowRect(Rect* rect, std::uint32_t style, std::uint32_t exStyle);
// The client area, in client coordinates (left and top are 0).
bool getClientRect(WindowHandle window, Rect* rect);
// Moves and sizes a window by its outer rectangle; sends WM_SIZE.
bool moveWindow(WindowHandle window, int x, int y, int width, int height, bool repaint);
bool showWindow(WindowHandle window, int command);
bool setForegroundWindow(WindowHandle window);
void setFocus(WindowHandle window);
void updateWindow(WindowHandle window);

void* getWindowUserData(WindowHandle window);
void setWindowUserData(WindowHandle window, void* data);

// Takes the next message of any window without waiting. With remove false the
// message stays in the queue. False when the queue is empty.
bool peekMessage(Message* message, bool remove);
void translateMessage(const Message& message);
// Calls the window procedure of the message's window.
LRESULT dispatchMessage(const Message& message);
// Posts WM_QUIT with the exit code in wParam.
void postQuitMessage(int exitCode);
// Queues a message for a window (tests use it to inject input).
bool postMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
// The default behaviour: WM_CLOSE destroys the window, Alt+F4 asks to close it.
LRESULT defWindowProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);

// Temporary full-screen display mode; the result may be ignored by the caller.
bool changeDisplaySettingsFullscreen(int width, int height, int bitsPerPixel);
// Back to the desktop's own mode.
void restoreDisplaySettings();
// Colour depth of the desktop in bits per pixel.
int screenBitsPerPixel();

}  // namespace plat
