// Windows, the message queue and the OpenGL context, under a real X server.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/gl_context.h"
#include "platform/key_codes.h"
#include "platform/system.h"
#include "platform/window.h"
#include "platform/window_internal.h"

using namespace plat;

namespace {

struct Seen {
    WindowHandle window;
    std::uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;
void* createParamSeen = nullptr;
void* userDataAtDestroy = nullptr;

LRESULT recordingProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({window, message, wParam, lParam});
    if (message == WM_NCCREATE) {
        createParamSeen = reinterpret_cast<CreateStruct*>(lParam)->createParams;
        setWindowUserData(window, createParamSeen);
    }
    if (message == WM_DESTROY) {
        userDataAtDestroy = getWindowUserData(window);
        EXPECT_FALSE(destroyWindow(window)) << "already being destroyed";
    }
    return defWindowProc(window, message, wParam, lParam);
}

std::vector<std::uint32_t> messagesSeen() {
    std::vector<std::uint32_t> numbers;
    for (const Seen& s : seen) {
        numbers.push_back(s.message);
    }
    return numbers;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset)";
        }
        WindowClass wc;
        wc.style = CS_OWNDC;
        wc.windowProc = recordingProc;
        wc.instance = moduleHandle();
        wc.cursorId = IDC_CROSS;
        wc.className = "TestClass";
        ASSERT_TRUE(registerClass(wc));
        drain();
        seen.clear();
    }
    void TearDown() override {
        if (window != nullptr) {
            destroyWindow(window);
        }
        unregisterClass("TestClass", moduleHandle());
        drain();  // also takes a quit message a test left behind
    }

    void open(std::uint32_t style, int width = 320, int height = 200) {
        window = createWindow(WS_EX_APPWINDOW, "TestClass", "Test", style, CW_USEDEFAULT, 0, width, height,
                              moduleHandle(), &marker);
        ASSERT_NE(window, nullptr);
    }

    // Every waiting message, dispatched as the game loop does.
    void drain() {
        Message message;
        while (peekMessage(&message, true)) {
            if (message.message == WM_QUIT) {
                quitSeen = true;
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            translateMessage(message);
            dispatchMessage(message);
        }
    }

    void pushKey(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE) {
        SDL_Event event{};
        event.type = type;
        event.key.type = type;
        event.key.windowID = SDL_GetWindowID(window->sdl);
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        event.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void pushWindowEvent(Uint8 what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(window->sdl);
        event.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    int marker = 0;
    WindowHandle window = nullptr;
    bool quitSeen = false;
    int quitCode = -1;
};

TEST_F(WindowTest, CreationSendsItsMessagesInOrderWithTheCreationParameter) {
    open(WS_VISIBLE | WS_SYSMENU);
    const auto numbers = messagesSeen();
    ASSERT_GE(numbers.size(), 4u);
    EXPECT_EQ(numbers[0], WM_NCCREATE);
    EXPECT_EQ(numbers[1], WM_CREATE);
    EXPECT_EQ(numbers[2], WM_SIZE);
    EXPECT_EQ(numbers[3], WM_ACTIVATE);
    EXPECT_EQ(loWord(seen[3].wParam), WA_ACTIVE);
    EXPECT_EQ(seen[0].window, window);
    EXPECT_EQ(createParamSeen, &marker);

    Rect client;
    ASSERT_TRUE(getClientRect(window, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(seen[2].lParam, LPARAM{320 | (200 << 16)});
}

TEST_F(WindowTest, UnknownClassGivesNoWindow) {
    EXPECT_EQ(createWindow(0, "NoSuchClass", "x", WS_VISIBLE, 0, 0, 10, 10, moduleHandle(), nullptr), nullptr);
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowTest, StylesGiveAFramelessPopupOrAFixedCaptionedWindow) {
    open(WS_POPUP | WS_VISIBLE);
    Uint32 flags = SDL_GetWindowFlags(window->sdl);
    EXPECT_NE(flags & SDL_WINDOW_BORDERLESS, 0u);
    EXPECT_EQ(flags & SDL_WINDOW_RESIZABLE, 0u);
    int x = -1;
    int y = -1;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    destroyWindow(window);

    open(WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    flags = SDL_GetWindowFlags(window->sdl);
    EXPECT_EQ(flags & SDL_WINDOW_BORDERLESS, 0u);
    EXPECT_EQ(flags & SDL_WINDOW_RESIZABLE, 0u);
    EXPECT_NE(flags & SDL_WINDOW_OPENGL, 0u);
}

TEST_F(WindowTest, KeysTranslateToVirtualKeysAndAltMakesSystemKeys) {
    open(WS_VISIBLE);
    seen.clear();
    pushKey(SDL_KEYDOWN, SDLK_RIGHT);
    pushKey(SDL_KEYUP, SDLK_RIGHT);
    pushKey(SDL_KEYDOWN, SDLK_p, KMOD_LALT);
    pushKey(SDL_KEYUP, SDLK_p, KMOD_LALT);
    pushKey(SDL_KEYDOWN, SDLK_F10);
    pushKey(SDL_KEYDOWN, SDLK_KP_ENTER);
    pushKey(SDL_KEYDOWN, SDLK_SCROLLLOCK + 1000);  // no virtual key: dropped
    drain();

    struct Expected {
        std::uint32_t message;
        WPARAM key;
    };
    const Expected expected[] = {
        {WM_KEYDOWN, VK_RIGHT}, {WM_KEYUP, VK_RIGHT},     {WM_SYSKEYDOWN, VK_P},
        {WM_SYSKEYUP, VK_P},    {WM_SYSKEYDOWN, VK_F10}, {WM_KEYDOWN, VK_RETURN},
    };
    ASSERT_EQ(seen.size(), std::size(expected));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].message, expected[i].message);
        EXPECT_EQ(seen[i].wParam, expected[i].key);
        EXPECT_EQ(seen[i].window, window);
    }
}

TEST(KeyTableTest, CoversTheGamesKeysLettersDigitsAndFunctionKeys) {
    struct Case {
        SDL_Keycode sdl;
        std::uint32_t vk;
    };
    const Case cases[] = {
        {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_RETURN, VK_RETURN}, {SDLK_SPACE, VK_SPACE}, {SDLK_PAGEUP, VK_PRIOR},
        {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_LEFT, VK_LEFT},     {SDLK_UP, VK_UP},       {SDLK_DOWN, VK_DOWN},
        {SDLK_a, 0x41},           {SDLK_d, 0x44},           {SDLK_p, 0x50},         {SDLK_z, 0x5A},
        {SDLK_0, 0x30},           {SDLK_9, 0x39},           {SDLK_F1, 0x70},        {SDLK_F4, VK_F4},
        {SDLK_F12, 0x7B},         {SDLK_LSHIFT, VK_SHIFT},  {SDLK_RALT, VK_MENU},   {SDLK_RCTRL, VK_CONTROL},
        {SDLK_KP_5, 0x65},        {SDLK_UNKNOWN, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detail::virtualKeyFromSdl(c.sdl), c.vk) << SDL_GetKeyName(c.sdl);
    }
}

TEST_F(WindowTest, FocusChangesArriveAsActivationOnlyWhenTheyChangeSomething) {
    open(WS_VISIBLE);
    drain();
    seen.clear();
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);  // already active
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    drain();
    std::vector<WPARAM> activations;
    for (const Seen& s : seen) {
        if (s.message == WM_ACTIVATE) {
            activations.push_back(s.wParam);
        }
    }
    EXPECT_EQ(activations, (std::vector<WPARAM>{WA_INACTIVE, WA_ACTIVE}));
}

TEST_F(WindowTest, CloseRequestDestroysTheWindowThroughTheDefaultProcedure) {
    open(WS_VISIBLE);
    seen.clear();
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    drain();
    EXPECT_EQ(messagesSeen(), (std::vector<std::uint32_t>{WM_CLOSE, WM_DESTROY}));
    Rect client;
    EXPECT_FALSE(getClientRect(window, &client));
    EXPECT_FALSE(destroyWindow(window));
    window = nullptr;
}

TEST_F(WindowTest, AltF4AsksToCloseButF4AloneDoesNot) {
    open(WS_VISIBLE);
    seen.clear();
    pushKey(SDL_KEYDOWN, SDLK_F4);
    drain();
    EXPECT_EQ(messagesSeen(), (std::vector<std::uint32_t>{WM_KEYDOWN}));
    seen.clear();
    pushKey(SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
    drain();
    EXPECT_EQ(messagesSeen(), (std::vector<std::uint32_t>{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_EQ(seen[1].wParam, SC_CLOSE);
    window = nullptr;
}

TEST_F(WindowTest, QueueHandsOutOneMessageAtATimeAndQuitComesLast) {
    open(WS_VISIBLE);
    drain();
    ASSERT_TRUE(postMessage(window, WM_KEYDOWN, VK_SPACE, 0));
    postQuitMessage(7);
    ASSERT_TRUE(postMessage(window, WM_KEYUP, VK_SPACE, 0));

    Message message;
    ASSERT_TRUE(peekMessage(&message, false));
    EXPECT_EQ(message.message, WM_KEYDOWN);
    ASSERT_TRUE(peekMessage(&message, true));  // still the same: peeking did not remove it
    EXPECT_EQ(message.message, WM_KEYDOWN);
    ASSERT_TRUE(peekMessage(&message, true));
    EXPECT_EQ(message.message, WM_KEYUP);
    ASSERT_TRUE(peekMessage(&message, true));
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(peekMessage(&message, true));  // and never waits
}

TEST_F(WindowTest, DestroyingAWindowDropsItsQueuedMessages) {
    open(WS_VISIBLE);
    drain();
    postMessage(window, WM_KEYDOWN, VK_SPACE, 0);
    seen.clear();
    ASSERT_TRUE(destroyWindow(window));
    EXPECT_EQ(messagesSeen(), (std::vector<std::uint32_t>{WM_DESTROY}));
    EXPECT_EQ(userDataAtDestroy, &marker) << "the handler of WM_DESTROY still finds its object";
    Message message;
    EXPECT_FALSE(peekMessage(&message, true) && message.message == WM_KEYDOWN);
    EXPECT_FALSE(postMessage(window, WM_KEYDOWN, VK_SPACE, 0));
    window = nullptr;
}

TEST_F(WindowTest, MoveWindowSizesByTheOuterRectangleAndSendsSize) {
    open(WS_VISIBLE | WS_SYSMENU);
    seen.clear();
    ASSERT_TRUE(moveWindow(window, 10, 20, 300, 150, true));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().message, WM_SIZE);
    Rect outer{0, 0, 0, 0};
    Rect client;
    ASSERT_TRUE(getClientRect(window, &client));
    // Whatever frame the window manager adds, client plus frame is the outer size.
    ASSERT_TRUE(adjustWindowRect(&outer, WS_VISIBLE | WS_SYSMENU, 0));
    EXPECT_EQ(client.right + (outer.right - outer.left), 300);
    EXPECT_EQ(client.bottom + (outer.bottom - outer.top), 150);
}

TEST_F(WindowTest, OpenGlContextIsDoubleBufferedWithDepthAndFixedFunction) {
    open(WS_VISIBLE);
    DeviceContext dc = getDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(getDC(window), dc);  // the class owns one surface per window

    PixelFormatDescriptor request;
    request.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    EXPECT_EQ(createContext(dc), nullptr) << "a context needs a pixel format first";
    const int format = choosePixelFormat(dc, &request);
    ASSERT_NE(format, 0);
    ASSERT_TRUE(setPixelFormat(dc, format, &request));
    GlContext context = createContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(makeCurrent(dc, context));

    PixelFormatDescriptor described;
    ASSERT_TRUE(describePixelFormat(dc, format, &described));
    EXPECT_GE(described.depthBits, 16);
    EXPECT_GE(described.colorBits, 15);
    EXPECT_NE(described.flags & PFD_DOUBLEBUFFER, 0u);
    EXPECT_FALSE(describePixelFormat(dc, format + 1, &described));

    // Immediate mode and the fixed-function matrix stack must work.
    while (glGetError() != GL_NO_ERROR) {
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glBegin(GL_TRIANGLES);
    glVertex3f(0, 0, 0);
    glVertex3f(1, 0, 0);
    glVertex3f(0, 1, 0);
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(swapBuffers(dc));

    PixelFormatDescriptor tooDeep = request;
    tooDeep.depthBits = 64;
    EXPECT_EQ(choosePixelFormat(dc, &tooDeep), 0);

    EXPECT_TRUE(makeCurrent(nullptr, nullptr));
    EXPECT_TRUE(deleteContext(context));
    EXPECT_TRUE(releaseDC(window, dc));
    destroyWindow(window);
    window = nullptr;
    EXPECT_FALSE(swapBuffers(dc));
}

TEST_F(WindowTest, ClassesRegisterOnceAndUnregisterByModule) {
    WindowClass wc;
    wc.windowProc = recordingProc;
    wc.instance = moduleHandle();
    wc.className = "TestClass";
    EXPECT_FALSE(registerClass(wc)) << "the name is taken";
    EXPECT_FALSE(unregisterClass("TestClass", nullptr));
    EXPECT_TRUE(unregisterClass("TestClass", moduleHandle()));
    EXPECT_FALSE(unregisterClass("TestClass", moduleHandle()));
}

TEST_F(WindowTest, CursorPositionIsReadAndSetInScreenPixels) {
    open(WS_VISIBLE);
    ASSERT_TRUE(setCursorPos(123, 45));
    Point point;
    ASSERT_TRUE(getCursorPos(&point));
    EXPECT_EQ(point.x, 123);
    EXPECT_EQ(point.y, 45);
}

TEST_F(WindowTest, DesktopSizeComesFromTheDisplay) {
    const int width = getSystemMetrics(SM_CXSCREEN);  // brings SDL's video up
    const int height = getSystemMetrics(SM_CYSCREEN);
    SDL_DisplayMode mode{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
    EXPECT_EQ(width, mode.w);
    EXPECT_EQ(height, mode.h);
    EXPECT_GE(screenBitsPerPixel(), 24);
    EXPECT_EQ(displayError(), nullptr);
    EXPECT_TRUE(changeDisplaySettingsFullscreen(mode.w, mode.h, screenBitsPerPixel()));
    EXPECT_FALSE(changeDisplaySettingsFullscreen(mode.w / 2, mode.h / 2, screenBitsPerPixel()));
}

}  // namespace
