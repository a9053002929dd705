#pragma once

// The one central object of the game: window and context handles, the main
// loop's message record, the timer, the key tables, the screen size, the song
// list and the game's state flags and counters. Its operations live with the
// subsystem whose behaviour they are: window and frame in app/, keys, course,
// pad and HUD in game/, scene in render/, textures in image/.

#include <cstdint>
#include <string>
#include <vector>

#include "game/song_search.h"
#include "platform/types.h"

class Core {
public:
    Core();
    virtual ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // Window messages (app/messages.cpp). Returns whether it handled the message.
    virtual bool handleMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);

    // Start-up and main loop (app/).
    void parseCommandLine(const char* commandLine);
    bool createWindow(plat::ModuleHandle instance);
    void killWindow();
    bool swapBuffers();
    void resizeView(int width, int height);
    void setOrtho();
    void runMainLoop();  // until WM_QUIT; called by createWindow after initGame
    void frame();
    bool update();
    void shutdown();
    void suspend();
    void resume();
    void countFrame();
    double readPerformanceTimer();
    double readMillisecondTimer();
    void initGame();
    void buildMusicList(const char* folder);  // the song search of initGame
    static std::string toString(const char* text);

    // Textures and fonts (image/texture_set.cpp).
    bool loadTextures();

    // Scene (render/scene.cpp).
    void drawScene();
    void drawGrid();

    // Gameplay (game/).
    void updateCourse();
    void processKeys();
    void restartSong();
    void returnToMenu();
    void pollGamepad();
    void mouseSteer();
    void drawHud();

    // --- state, in the order of the game's table of fields ---
    double (Core::*timerFn)() = nullptr;
    double timerScale = 0.0;
    std::int64_t timerLast = 0;
    float fps = 60.0f;
    double frameTime = 0.0;
    float menuFade = 0.0f;
    plat::ModuleHandle hInstance = nullptr;
    plat::WindowHandle hWnd = nullptr;
    plat::Message msg{};
    plat::DeviceContext hDC = nullptr;
    plat::GlContext hRC = nullptr;
    bool inMenu = true;
    bool firstMenu = true;
    bool paused = false;
    int appState = 0;  // 0 before initialisation, 3 running, 4 suspended
    std::vector<std::string> musicList;
    int selectedSong = 0;
    int maxSongIndex = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    bool active = false;
    int chainColor = 1;
    int comboBonus = 0;
    bool padConnected = false;
    unsigned int carList = 0;
    float earthAngle = 0.0f;
    float moonAngle = 0.0f;
    float venusAngle = 200.0f;
    float mercuryAngle = 340.0f;
    float sunAngle = 350.0f;
    bool devMode = false;
    bool fullscreen = true;
    int spawnSlot = 0;
    float spawnCooldown[3] = {10.0f, 10.0f, 10.0f};
    bool keys[256] = {};
    bool keyLatch[256] = {};
    struct Banner {
        float width = 400.0f;
        float height = 100.0f;
        float top = 0.0f;
    } banner;

    // --- bookkeeping of our own ---
    bool shutDownDone = false;   // shutdown has run; no frame work or drawing after it
    double fpsSeconds = 0.0;     // frame counter: seconds since its last computation
    double fpsFrames = 0.0;      // frame counter: frames since its last computation
    bool mouseCentreSet = false; // mouseSteer has taken its first centre
    int mouseCentreX = 0;
    int mouseCentreY = 0;
    std::uint16_t padButtonsLast = 0;  // pad buttons of the previous poll, for press edges
    plat::WindowHandle messageWindow = nullptr;  // the window of the message being handled (hWnd is not set yet during creation)
    SongSearch songSearch;  // type to jump in the song menus
};

// Application state values.
inline constexpr int APP_STATE_NONE = 0;
inline constexpr int APP_STATE_RUNNING = 3;
inline constexpr int APP_STATE_SUSPENDED = 4;

// The window procedure of the class "OpenGL" (app/messages.cpp).
plat::LRESULT windowProc(plat::WindowHandle window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);

// The entry function: refuses a second copy, builds the Core, runs the game.
// Returns the process exit code (app/entry.cpp).
int gameMain(plat::ModuleHandle instance, const char* commandLine);
