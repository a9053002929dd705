// The game window and its OpenGL context: creation, teardown, presenting, and
// the two projections the scene uses.

#include <GL/gl.h>

#include "app/Core.h"
#include "diag/ErrorHandler.h"
#include "platform/gl_context.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/scene.h"

namespace {

constexpr const char* kClassName = "OpenGL";
constexpr const char* kTitle = "Redavave 1.3";

// Log it, store it with its kind (logged again), show the kind's box.
void reportFailure(ErrorKind kind, const char* text) {
    errorHandler.log("%s", text);
    errorHandler.setError(kind, "%s", text);
    errorHandler.show();
}

}  // namespace

bool Core::createWindow(plat::ModuleHandle instance) {
    const int displayWidth = plat::getSystemMetrics(plat::SM_CXSCREEN);
    const int displayHeight = plat::getSystemMetrics(plat::SM_CYSCREEN);

    errorHandler.open("log.txt", true);

    if (play.fullscreen) {
        // Ask for the desktop's own mode; when that cannot be had, the game
        // simply goes on in the current one.
        plat::changeDisplaySettingsFullscreen(displayWidth, displayHeight, plat::screenBitsPerPixel());
    }

    hInstance = instance;
    if (screenHeight <= 0 || screenWidth <= 0) {
        reportFailure(ERROR_KIND_WINDOW, "Window Parameters Are Invalid!");
        return false;
    }

    plat::Rect rcWnd{0, 0, screenWidth, screenHeight};
    std::uint32_t style = 0;
    const std::uint32_t exStyle = plat::WS_EX_APPWINDOW;
    if (play.fullscreen) {
        style = plat::WS_POPUP | plat::WS_VISIBLE;
    } else {
        // Captioned but not resizable.
        style = plat::WS_VISIBLE | plat::WS_SYSMENU | plat::WS_MINIMIZEBOX | plat::WS_MAXIMIZEBOX;
    }
    plat::showCursor(false);
    plat::adjustWindowRect(&rcWnd, style, exStyle);

    hWnd = plat::createWindow(exStyle, kClassName, kTitle, style | plat::WS_CLIPSIBLINGS | plat::WS_CLIPCHILDREN,
                              plat::CW_USEDEFAULT, 0, rcWnd.right - rcWnd.left, rcWnd.bottom - rcWnd.top, hInstance,
                              this);
    if (hWnd == nullptr) {
        reportFailure(ERROR_KIND_WINDOW, "Could Not Create Window!");
        return false;
    }

    hDC = plat::getDC(hWnd);
    if (hDC == nullptr) {
        reportFailure(ERROR_KIND_WINDOW, "Can't Create A GL Device Context.");
        return false;
    }

    plat::PixelFormatDescriptor pfd;
    pfd.flags = plat::PFD_DRAW_TO_WINDOW | plat::PFD_SUPPORT_OPENGL | plat::PFD_DOUBLEBUFFER;
    pfd.pixelType = plat::PFD_TYPE_RGBA;
    pfd.layerType = plat::PFD_MAIN_PLANE;
    const int pixelFormat = plat::choosePixelFormat(hDC, &pfd);
    if (pixelFormat == 0) {
        reportFailure(ERROR_KIND_WINDOW, "Error: Can't Choose Pixel Format");
        return false;
    }
    if (!plat::setPixelFormat(hDC, pixelFormat, &pfd)) {
        reportFailure(ERROR_KIND_WINDOW, "Can't Set The Pixel Format!");
        return false;
    }

    hRC = plat::createContext(hDC);
    if (hRC == nullptr || !plat::makeCurrent(hDC, hRC)) {
        reportFailure(ERROR_KIND_OPENGL, "Could not create OpenGL context!");
        return false;
    }
    if (!plat::describePixelFormat(hDC, pixelFormat, &pfd)) {
        reportFailure(ERROR_KIND_OPENGL, "Could not get selected pixel format!");
        return false;
    }

    if (!play.fullscreen) {
        // screenWidth and screenHeight may already hold the client size from
        // the size messages of creation; the window gets them as its outer size.
        const int x = displayWidth > screenWidth ? (displayWidth - screenWidth) / 2 : 0;
        const int y = displayHeight > screenHeight ? (displayHeight - screenHeight) / 2 : 0;
        plat::moveWindow(hWnd, x, y, screenWidth, screenHeight, true);
    }

    plat::showWindow(hWnd, plat::SW_SHOWNORMAL);
    plat::setForegroundWindow(hWnd);
    plat::setFocus(hWnd);
    plat::updateWindow(hWnd);

    resizeView(rcWnd.right - rcWnd.left, rcWnd.bottom - rcWnd.top);

    initGame();
    runMainLoop();
    return true;
}

void Core::killWindow() {
    if (play.fullscreen) {
        plat::restoreDisplaySettings();
    }
    if (hRC == nullptr) {
        return;
    }

    bool failed = false;
    auto report = [&failed](const char* text) {
        reportFailure(ERROR_KIND_WINDOW, text);
        failed = true;
    };
    if (!plat::makeCurrent(nullptr, nullptr)) {
        report("Release Of DC And RC Failed.");
    }
    if (!plat::deleteContext(hRC)) {
        report("Release Rendering Context Failed.");
    }
    hRC = nullptr;
    if (hDC != nullptr && !plat::releaseDC(hWnd, hDC)) {
        report("Release Device Context Failed.");
    }
    hDC = nullptr;
    // Destroying the window sends WM_DESTROY: the closing line and the quit message.
    if (hWnd != nullptr && !plat::destroyWindow(hWnd)) {
        report("Could Not Release 'HWND' pointer!");
    }
    hWnd = nullptr;
    if (!plat::unregisterClass(kClassName, hInstance)) {
        report("Could Not Unregister Class.");
    }
    if (!failed) {
        errorHandler.log("Unloaded Window OK!");
    }
}

bool Core::swapBuffers() {
    if (hRC == nullptr) {
        return false;  // no context: nothing to flush or present
    }
    glFlush();
    return plat::swapBuffers(hDC);
}

void Core::resizeView(int width, int height) {
    if (hRC == nullptr) {
        return;  // the size messages of creation come before the context
    }
    setPerspective(width, height);
}

void Core::setOrtho() { ::setOrtho(hWnd); }
