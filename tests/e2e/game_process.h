#pragma once

// End-to-end harness: the real game binary in a folder of its own, driven with
// real X input (xdotool) and looked at with real screenshots (ImageMagick).

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

// A temporary working folder for one run: resources (linked from the generated
// tree where it exists), its own Music folder, its own lock folder, its log.
class GameFolder {
public:
    GameFolder();
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path lockFolder() const { return path_ / "runtime"; }
    std::filesystem::path musicFolder() const { return path_ / "resources" / "Music"; }

    // A sine tone of `seconds` as a song (format by the file's extension).
    void addSong(const std::string& name, double seconds, int frequency = 110) const;

    std::vector<std::string> logLines() const;
    // Waits until the log holds `line`; false when it did not come in time.
    bool waitForLogLine(const std::string& line, double seconds = 20.0) const;
    std::string logText() const;

private:
    std::filesystem::path path_;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    // Red, green and blue of one pixel.
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

class GameProcess {
public:
    // Starts the game in `folder` with the arguments; boxes go to stderr, sound
    // to the dummy device. `withDisplay` false removes DISPLAY from its environment;
    // `realBoxes` leaves the boxes to the desktop.
    GameProcess(const GameFolder& folder, const std::vector<std::string>& args, bool withDisplay = true,
                bool realBoxes = false);
    ~GameProcess();  // kills the game if it still runs
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // The game's X window, once it is mapped; 0 when none appeared in time.
    unsigned long waitForWindow(double seconds = 20.0);
    // xdotool key names, sent one after the other to the focused game window.
    bool key(const std::vector<std::string>& keys);
    // The window's picture; empty on failure.
    Image screenshot(const std::filesystem::path& keepAs = {});
    // Converts the last screenshot into a picture file (by its extension) for a person to look at.
    void keepLastScreenshot(const std::filesystem::path& keepAs) const;
    // Exit code, or -1 when the game did not end in time (it is killed then).
    int waitForExit(double seconds = 20.0);
    bool running();

    std::string standardError() const;
    std::string standardOutput() const;

private:
    const GameFolder& folder_;
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    unsigned long window_ = 0;
};

// Runs a shell command, returns its standard output.
std::string run(const std::string& command, int* status = nullptr);

}  // namespace e2e
