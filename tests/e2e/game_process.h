#pragma once

// End-to-end harness: the real game binary in a folder of its own, driven with
// real X input (xdotool) and looked at with real screenshots (ImageMagick).

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_resources.h"

namespace e2e {

// A temporary working folder for one run: resources (linked from the generated
// tree where it exists), its own Music folder, its own lock folder, its log.
class GameFolder {
public:
    GameFolder();
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    const std::filesystem::path& path() const { return world_.path(); }
    std::filesystem::path lockFolder() const { return world_.lockFolder(); }
    std::filesystem::path musicFolder() const { return world_.music(); }

    // A sine tone of `seconds` as a song (format by the file's extension).
    void addSong(const std::string& name, double seconds, int frequency = 110) const;

    std::vector<std::string> logLines() const;
    // Waits until the log holds `line`; false when it did not come in time.
    bool waitForLogLine(const std::string& line, double seconds = 20.0) const;
    std::string logText() const;

private:
    testworld::TempResources world_;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    // Red, green and blue of one pixel.
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// Starting the game otherwise than as the build's binary in the folder, with
// stderr boxes and the dummy sound device.
struct Launch {
    std::string program;                   // empty: the build's binary
    std::filesystem::path workingFolder;   // empty: the GameFolder
    std::vector<std::string> environment;  // NAME=value, in place of what is inherited
    bool withDisplay = true;         // false removes DISPLAY from its environment
    const char* boxes = "stderr";    // its REDAVAVE_MESSAGE_BOXES; null shows real boxes
    std::string soundServer;         // a PulseAudio address: the game picks its sound driver
                                     // itself, as on a player's machine, and finds that server
    std::string pipewireRemote;      // a PipeWire socket the game finds as well (PIPEWIRE_REMOTE);
                                     // without it the game sees no PipeWire
    std::string display;             // an X display for the game, its keys and its screenshots;
                                     // empty: the test's own DISPLAY
};

class GameProcess {
public:
    // Starts the game in `folder` with the arguments; boxes go to stderr, sound
    // to the dummy device. `withDisplay` false removes DISPLAY from its environment.
    GameProcess(const GameFolder& folder, const std::vector<std::string>& args, bool withDisplay = true);
    // The same, started as `launch` says; output and lock folder stay in `folder`.
    GameProcess(const GameFolder& folder, const std::vector<std::string>& args, const Launch& launch);
    ~GameProcess();  // kills the game if it still runs
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // The game's X window, once it is mapped; 0 when none appeared in time.
    unsigned long waitForWindow(double seconds = 20.0);
    // Gives the game's window the keyboard focus, as a click on it would.
    bool focus();
    // xdotool key names, sent one after the other to the focused game window.
    bool key(const std::vector<std::string>& keys);
    // The window's picture; empty on failure and once the game has ended.
    Image screenshot(const std::filesystem::path& keepAs = {});
    // Converts the last screenshot into a picture file (by its extension) for a person to look at.
    void keepLastScreenshot(const std::filesystem::path& keepAs) const;
    // Exit code, or -1 when the game did not end in time (it is killed then).
    int waitForExit(double seconds = 20.0);
    bool running();
    pid_t pid() const { return pid_; }

    std::string standardError() const;
    std::string standardOutput() const;

private:
    void start(const std::vector<std::string>& args, const Launch& launch);

    // Runs an xdotool or ImageMagick command on the game's display.
    std::string onDisplay(const std::string& command, int* status = nullptr) const;

    const GameFolder& folder_;
    std::string display_;
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    unsigned long window_ = 0;
};

// A picture of any X window by its id; empty on failure. Also kept as `file`.
Image captureWindow(unsigned long window, const std::filesystem::path& file);

// Runs a shell command, returns its standard output.
std::string run(const std::string& command, int* status = nullptr);

// An X server of the test's own (Xvfb) with one screen of the given size, on
// a display number it picks itself; stopped when this goes.
class VirtualScreen {
public:
    VirtualScreen(int width, int height);
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    // ":N", empty when the server did not start (error() says why).
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace e2e
