#pragma once

// The one central object of the game, the shell around play: window and
// context handles, the main loop's message record, the timer, frame time and
// frame rate, the application state, the client size and the shutdown. The
// play itself is `play`, changed by the functions of game/ and drawn by
// render/; the loop calls them in a fixed order and carries out what they ask.

#include <cstdint>
#include <future>
#include <string>

#include "app/score_keeper.h"
#include "game/PlayState.h"
#include "platform/music_folder.h"
#include "platform/types.h"

struct SceneView;

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
    // Carries out what the game asked for.
    void carryOut(ShellRequest request);
    // The pass's picture (render/'s drawScene on `play`); nothing after a shutdown.
    void drawScene();
    SceneView sceneView() const;
    void shutdown();
    void suspend();
    void resume();
    void countFrame();
    double readPerformanceTimer();
    double readMillisecondTimer();
    void initGame();
    void buildMusicList(const plat::MusicFolders& folders);  // the song search of initGame
    void startGamepads();  // the controllers and the player's mapping file, from initGame
    void buildMusicList(const char* folder) { buildMusicList(plat::MusicFolders{{folder}, {}}); }
    // Starts the search of musicFolders on a thread of its own, for initGame
    // to take (a big library is walked while the window is made). Nothing else
    // waits for it: a game that ends before initGame leaves it be.
    void findSongsAhead();

    // --- state ---
    double (Core::*timerFn)() = nullptr;
    double timerScale = 0.0;
    std::int64_t timerLast = 0;
    float fps = 60.0f;
    double frameTime = 0.0;
    plat::ModuleHandle hInstance = nullptr;
    plat::WindowHandle hWnd = nullptr;
    plat::Message msg{};
    plat::DeviceContext hDC = nullptr;
    plat::GlContext hRC = nullptr;
    int appState = 0;  // 0 before initialisation, 3 running, 4 suspended
    int screenWidth = 0;
    int screenHeight = 0;
    unsigned int carList = 0;
    PlayState play;
    plat::MusicFolders musicFolders;  // where initGame looks for songs
    std::future<plat::SongList> songsAhead;  // the search of musicFolders, when started ahead
    ScoreKeeper scoreKeeper;  // the best scores on disk

    // --- bookkeeping of our own ---
    bool shutDownDone = false;   // shutdown has run; no frame work or drawing after it
    double fpsSeconds = 0.0;     // frame counter: seconds since its last computation
    double fpsFrames = 0.0;      // frame counter: frames since its last computation
    plat::WindowHandle messageWindow = nullptr;  // the window of the message being handled (hWnd is not set yet during creation)
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
