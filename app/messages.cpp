// The window procedure and the game's handling of window messages.

#include "app/Core.h"
#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "game/keys.h"
#include "platform/window.h"
#include "render/texture_set.h"

namespace {

// Codes past the key tables stay past them (the game ignores them).
std::uint32_t keyCode(plat::WPARAM wParam) {
    return wParam < 256 ? static_cast<std::uint32_t>(wParam) : 256u;
}

}  // namespace

plat::LRESULT windowProc(plat::WindowHandle window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    if (message == plat::WM_NCCREATE) {
        const auto* create = reinterpret_cast<const plat::CreateStruct*>(lParam);
        plat::setWindowUserData(window, create != nullptr ? create->createParams : nullptr);
    } else if (auto* core = static_cast<Core*>(plat::getWindowUserData(window))) {
        core->messageWindow = window;
        core->handleMessage(message, wParam, lParam);
    }
    // Always, also for handled messages: the default procedure is what turns
    // Alt+F4 into a close request and a close request into a destroyed window.
    return plat::defWindowProc(window, message, wParam, lParam);
}

bool Core::handleMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    (void)lParam;
    switch (message) {
        case plat::WM_CREATE:
            // The window is made and the display's driver loaded. While this
            // thread shows the window and makes its context, the images and
            // the sound effects are read and decoded on the side; started any
            // earlier, they only hold up the loading of the driver.
            readTexturesAhead();
            audio.prepare();
            return false;
        case plat::WM_DESTROY:
            errorHandler.log("#Game Closing! - Game By Rodadi Vuzivi");
            plat::postQuitMessage(0);
            return true;
        case plat::WM_SIZE: {
            // The client rectangle, not the packed sizes: during creation hWnd is not set yet.
            plat::Rect client;
            plat::getClientRect(messageWindow != nullptr ? messageWindow : hWnd, &client);
            const int width = client.right - client.left;
            const int height = client.bottom - client.top;
            resizeView(width, height);
            screenWidth = width;
            screenHeight = height;
            return true;
        }
        case plat::WM_ACTIVATE:
            if (plat::loWord(wParam) == plat::WA_INACTIVE) {
                play.active = false;
                suspend();
            } else {
                play.active = true;
                resume();
            }
            return true;
        case plat::WM_CLOSE:
            shutdown();
            return true;
        case plat::WM_KEYDOWN:
        case plat::WM_SYSKEYDOWN:
            keyDown(play, keyCode(wParam));
            return true;
        case plat::WM_KEYUP:
            keyUp(play, keyCode(wParam));
            return true;
        case plat::WM_SYSKEYUP:
            sysKeyUp(play, keyCode(wParam));
            return true;
        case plat::WM_SYSCOMMAND: {
            const std::uint32_t command = static_cast<std::uint32_t>(wParam) & 0xFFF0u;
            return command == plat::SC_SCREENSAVE || command == plat::SC_MONITORPOWER;
        }
        default:
            return false;
    }
}

void Core::suspend() {
    if (play.fullscreen) {
        plat::showWindow(hWnd, plat::SW_SHOWMINIMIZED);
    }
    if (!play.inMenu) {
        audio.setPaused(true);
        play.paused = true;
    }
    appState = APP_STATE_SUSPENDED;
}

void Core::resume() {
    // A song paused by suspend stays paused until the player continues it.
    if (appState == APP_STATE_SUSPENDED) {
        appState = APP_STATE_RUNNING;
    }
}
