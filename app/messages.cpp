// The window procedure and the game's handling of window messages.

#include "app/Core.h"
#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "platform/window.h"

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
                active = false;
                suspend();
            } else {
                active = true;
                resume();
            }
            return true;
        case plat::WM_CLOSE:
            shutdown();
            return true;
        case plat::WM_KEYDOWN:
        case plat::WM_SYSKEYDOWN:
            if (wParam < 256) {
                keys[wParam] = true;
            }
            return true;
        case plat::WM_KEYUP:
            if (wParam < 256) {
                keys[wParam] = false;
                keyLatch[wParam] = false;
            }
            return true;
        case plat::WM_SYSKEYUP:
            // A key released with Alt held keeps its latch: it must be released
            // plainly before its command can act again.
            if (wParam < 256) {
                keys[wParam] = false;
            }
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
    if (fullscreen) {
        plat::showWindow(hWnd, plat::SW_SHOWMINIMIZED);
    }
    if (!inMenu) {
        audio.setPaused(true);
        paused = true;
    }
    appState = APP_STATE_SUSPENDED;
}

void Core::resume() {
    // A song paused by suspend stays paused until the player continues it.
    if (appState == APP_STATE_SUSPENDED) {
        appState = APP_STATE_RUNNING;
    }
}
