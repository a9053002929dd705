// The game as a desktop runs it: installed into a prefix and started from an
// unrelated folder, with the player's songs in ~/Music and the log kept in
// ~/.local/share/redavave; and its window as a window manager sees it: the
// game's icon, the desktop's full-screen state, minimised when focus goes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/game_process.h"
#include "tests/e2e/menu_walk.h"
#include "tests/e2e/pictures.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/tree_snapshot.h"

namespace {

using namespace e2e;
using fixtures::AudioFormat;
namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string xprop(unsigned long window, const std::string& properties) {
    return run("xprop -id " + std::to_string(window) + " " + properties + " 2>&1");
}

// Polls `what` until `wanted` holds or `seconds` pass; the last answer is returned.
std::string waitFor(const std::function<std::string()>& what, const std::function<bool(const std::string&)>& wanted,
                    double seconds) {
    std::string answer;
    for (double waited = 0.0; waited <= seconds; waited += 0.1) {
        answer = what();
        if (wanted(answer)) {
            break;
        }
        sleepFor(0.1);
    }
    return answer;
}

// Follows a window's property (the root window's: all its properties) as it changes (xprop -spy reports the value and
// then every change) until a line of it holds `wanted`; that line, or the last
// one seen when the window went away first. Nothing here counts time: a busy
// window manager may take as long as it needs, and only a stuck one meets the
// guard, long after any window manager would have answered.
std::string spyUntil(unsigned long window, const std::string& property, const std::string& wanted) {
    int output[2];
    if (pipe(output) != 0) {
        return {};
    }
    const pid_t spy = fork();
    if (spy == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        close(output[0]);
        close(output[1]);
        const std::string id = std::to_string(window);
        if (window == 0) {
            // Every property: one the window manager has yet to make has no atom to follow.
            execlp("timeout", "timeout", "150", "xprop", "-spy", "-root", static_cast<char*>(nullptr));
        } else {
            execlp("timeout", "timeout", "150", "xprop", "-spy", "-id", id.c_str(), property.c_str(),
                   static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    close(output[1]);
    std::string line;
    std::string text;
    char buffer[512];
    for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(got));
        bool found = false;
        for (std::size_t end; !found && (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
            line = text.substr(0, end);
            found = line.find(wanted) != std::string::npos;
        }
        if (found) {
            break;
        }
    }
    kill(spy, SIGTERM);
    waitpid(spy, nullptr, 0);
    close(output[0]);
    return line;
}

class InstalledGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
        int status = 0;
        const std::string output = run("cmake --install '" + std::string(REDAVAVE_BINARY_DIR) + "' --prefix '" +
                                           prefix.string() + "' 2>&1",
                                       &status);
        ASSERT_EQ(status, 0) << output;
        fs::create_directories(home / "Music");
        fs::create_directories(elsewhere);
    }

    Launch installedLaunch() const {
        // Empty values count as unset: the game must fall back to HOME alone.
        Launch launch;
        launch.program = (prefix / "games" / "redavave").string();
        launch.workingFolder = elsewhere;
        launch.environment = {"HOME=" + home.string(), "XDG_DATA_HOME=", "XDG_CONFIG_HOME=", "REDAVAVE_MUSIC="};
        return launch;
    }

    fs::path dataFolder() const { return home / ".local" / "share" / "redavave"; }

    bool waitForInstalledLog(const std::string& line) const {
        const std::string log = waitFor([&] { return readText(dataFolder() / "log.txt"); },
                                        [&](const std::string& text) { return text.find(line + "\n") != std::string::npos; },
                                        20.0);
        return log.find(line + "\n") != std::string::npos;
    }

    GameFolder folder;
    fs::path prefix = folder.path() / "prefix";
    fs::path home = folder.path() / "home";
    fs::path elsewhere = folder.path() / "elsewhere";
};

// The player's library as music players keep it: three artists with two
// albums each, in the formats players keep. Every song, the deepest too, plays
// from the menu to its Score screen, and nothing of the player's changes.
TEST_F(InstalledGameTest, PlaysThePlayersNestedLibraryFromAnyFolderAndLogsInItsDataFolder) {
    struct Song {
        const char* name;
        AudioFormat format;
    };
    // In the menu's order: by kind of file first, then by path.
    const Song songs[] = {
        {"Alpha Band/First Light/01 - Open.mp3", AudioFormat::Mp3},
        {"Charlie/Early/01 - Dawn.ogg", AudioFormat::Ogg},
        {"Alpha Band/Second/01 - Open.m4a", AudioFormat::M4aAac},
        {"Charlie/Late/02 - Close.m4a", AudioFormat::M4aAlac},
        {"Bravo/Studio/03 - Spin.aac", AudioFormat::Aac},
        {"Bravo/Live/Disc 1/01 - Deep.opus", AudioFormat::Opus},
        {"Charlie/Late/01 - Dusk.wav", AudioFormat::Wav},
        {"Alpha Band/First Light/02 - Fall.aiff", AudioFormat::Aiff},
    };
    std::vector<MenuSong> menu;
    for (const Song& song : songs) {
        fs::create_directories((home / "Music" / song.name).parent_path());
        std::string error;
        ASSERT_TRUE(fixtures::writeSong((home / "Music" / song.name).string(), song.format, fixtures::tone(330.0, 2.5),
                                        &error))
            << error;
        menu.push_back({song.name, static_cast<int>(std::string(song.name).size()), 1.5});
    }
    std::ofstream(home / "Music" / "Charlie" / "Early" / "cover.jpg") << "not a song\n";
    fs::create_directories(home / "Music" / ".thumbnails");
    fs::copy_file(home / "Music" / songs[0].name, home / "Music" / ".thumbnails" / "hidden.mp3");
    fs::create_symlink("Alpha Band/Second", home / "Music" / "Favourites");  // the same album again
    const testworld::TreeSnapshot before = testworld::snapshotTree(home / "Music");
    // A launcher that starts the game in a folder holding some `resources`.
    fs::create_directories(elsewhere / "resources" / "Music");

    GameProcess game(folder, {"-window"}, installedLaunch());
    const unsigned long window = game.waitForWindow();
    ASSERT_NE(window, 0u) << game.standardError();
    ASSERT_TRUE(waitForInstalledLog("#Initalized Audio")) << readText(dataFolder() / "log.txt") << game.standardError();
    EXPECT_TRUE(fs::is_symlink(dataFolder() / "resources" / "Textures"));
    EXPECT_TRUE(fs::is_empty(dataFolder() / "resources" / "Music")) << "nothing is linked to songs";

    // The window carries the game's icon.
    EXPECT_THAT(xprop(window, "_NET_WM_ICON"), HasSubstr("Icon (64 x 64)"));

    e2e::playEachToItsScore(game, "installed", menu);
    if (HasFatalFailure()) {
        return;
    }
#ifdef REDAVAVE_OWN_FFMPEG
    // The songs were played by the game's own FFmpeg from beside the game,
    // with nothing of Debian's FFmpeg or the libraries it pulls in.
    const std::string maps = readText("/proc/" + std::to_string(game.pid()) + "/maps");
    for (const char* library : {"avutil", "swresample", "avcodec", "avformat"}) {
        EXPECT_THAT(maps, HasSubstr((prefix / "lib" / "redavave").string() + "/lib" + library + "_redavave.so."));
        EXPECT_THAT(maps, ::testing::Not(HasSubstr(std::string("/lib") + library + ".so.")));
    }
    EXPECT_THAT(maps, ::testing::Not(HasSubstr("libgnutls")));
#endif
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();

    const std::string log = readText(dataFolder() / "log.txt");
    EXPECT_THAT(log, HasSubstr("#Music Folder: " + (home / "Music").string() + "\n"));
    EXPECT_THAT(log, ::testing::Not(HasSubstr("Could Not Find Any Music!")));
    EXPECT_THAT(log, ::testing::Not(HasSubstr("#Demo Songs")));
    EXPECT_THAT(log, ::testing::EndsWith("Unloaded Window OK!\n"));
    EXPECT_FALSE(fs::exists(elsewhere / "log.txt")) << "the log belongs in the data folder";
    EXPECT_EQ(testworld::snapshotTree(home / "Music"), before);
}

TEST_F(InstalledGameTest, WithoutSongsTheDemoSongsArePlayable) {
    GameProcess game(folder, {"-window"}, installedLaunch());
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(waitForInstalledLog("#Initalized Audio")) << readText(dataFolder() / "log.txt");
    // "Neon Drift.mp3" comes first: the mp3 pattern is searched first.
    ASSERT_TRUE(showsSelectedName(waitForPicture(game, "installed_demo_song", 10.0,
                                                 [](const Image& image) { return showsSelectedName(image, 14); }),
                                  14));
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    EXPECT_THAT(readText(dataFolder() / "log.txt"), HasSubstr("#Demo Songs: 3 offered\n"));
}

// A private X server with a window manager: full-screen state and
// minimising are the window manager's business, and a bare X server has none.
class WindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
        int status = 0;
        run("command -v openbox", &status);
        ASSERT_EQ(status, 0) << "openbox is missing (scripts/install-deps.sh installs it)";
        previousDisplay_ = std::getenv("DISPLAY");
        for (int n = 240; n < 400 && display_.empty(); ++n) {
            if (!fs::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
                !fs::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
                display_ = ":" + std::to_string(n);
            }
        }
        ASSERT_FALSE(display_.empty());
        xvfb_ = start("Xvfb " + display_ + " -screen 0 1024x768x24 -nolisten tcp");
        ASSERT_GT(xvfb_, 0);
        setenv("DISPLAY", display_.c_str(), 1);
        waitFor([] { return run("xdpyinfo >/dev/null 2>&1 && echo up"); },
                [](const std::string& answer) { return answer == "up\n"; }, 10.0);
        windowManager_ = start("openbox --sm-disable");
        ASSERT_GT(windowManager_, 0);
        // openbox announces itself on the root window once it manages the screen.
        spyUntil(0, "", "_NET_SUPPORTING_WM_CHECK(WINDOW): window id");
    }

    void TearDown() override {
        for (pid_t pid : {helper_, windowManager_, xvfb_}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
        if (!previousDisplay_.empty()) {
            setenv("DISPLAY", previousDisplay_.c_str(), 1);
        }
    }

    // Starts a program in the background on the private display; its process id.
    static pid_t start(const std::string& command) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", ("exec " + command + " >/dev/null 2>&1").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }

    std::string previousDisplay_;
    std::string display_;
    pid_t xvfb_ = -1;
    pid_t windowManager_ = -1;
    pid_t helper_ = -1;
    GameFolder folder;
};

TEST_F(WindowManagerTest, FullScreenIsTheDesktopsStateAndLosingFocusMinimises) {
    const std::string screenBefore = run("xdpyinfo | grep dimensions");
    GameProcess game(folder, {});
    const unsigned long window = game.waitForWindow();
    ASSERT_NE(window, 0u) << game.standardError();

    EXPECT_THAT(spyUntil(window, "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN"), HasSubstr("_NET_WM_STATE_FULLSCREEN"));
    const std::string geometry = run("xwininfo -id " + std::to_string(window));
    EXPECT_THAT(geometry, HasSubstr("Width: 1024"));
    EXPECT_THAT(geometry, HasSubstr("Height: 768"));
    EXPECT_EQ(run("xdpyinfo | grep dimensions"), screenBefore) << "the display mode must stay the desktop's";
    EXPECT_THAT(xprop(window, "_NET_WM_ICON"), HasSubstr("Icon (64 x 64)"));

    // Another window takes the focus: the full-screen game steps aside.
    helper_ = start("xmessage -name focus_thief -geometry 200x100+10+10 other window");
    const std::string thief = run("timeout 150 xdotool search --sync --onlyvisible --classname focus_thief");
    ASSERT_FALSE(thief.empty());
    run("xdotool windowactivate " + thief.substr(0, thief.find('\n')) + " 2>&1");
    EXPECT_THAT(spyUntil(window, "WM_STATE", "Iconic"), HasSubstr("window state: Iconic"));
    EXPECT_TRUE(game.running()) << game.standardError();
}

}  // namespace
