// Real message boxes on the real binary, dismissed with real keys, on X servers
// of the test's own: one with the core fonts and one with only its built-in
// fonts. A box that does not end the game leaves it playing as before; a fatal
// one ends it with exit code 1.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"

namespace {

using namespace e2e;
namespace fs = std::filesystem;

struct Server {
    const char* name;
    bool builtInFontsOnly;
    const char* boxes;  // REDAVAVE_MESSAGE_BOXES; null: the game's normal choice of box
    // The keys that dismiss the first and the second test's box. SDL's box
    // takes Return and Escape; the game's own box window also takes Space.
    const char* keys[2];
};

const Server kServers[] = {
    {"CoreFonts", false, nullptr, {"Return", "Escape"}},
    {"BuiltInFonts", true, nullptr, {"Return", "Escape"}},
    {"BuiltInFontsOwnBoxWindow", true, "window", {"space", "Escape"}},
};

class MessageBoxTest : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs X (DISPLAY is unset); the test command starts Xvfb";
        }
        startServer();
    }

    void TearDown() override {
        if (serverPid_ > 0) {
            kill(serverPid_, SIGTERM);
        }
        if (!savedDisplay_.empty()) {
            setenv("DISPLAY", savedDisplay_.c_str(), 1);
        }
    }

    // A private Xvfb; the game and every xdotool call of this test use it.
    void startServer() {
        for (int n = 200; n < 300 && serverPid_ <= 0; ++n) {
            if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
                fs::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
                continue;
            }
            const std::string display = ":" + std::to_string(n);
            const std::string fonts = GetParam().builtInFontsOnly ? " -fp built-ins" : "";
            serverPid_ = std::atoi(run("Xvfb " + display + " -screen 0 1280x1024x24 -nolisten tcp -noreset" + fonts +
                                       " >/dev/null 2>&1 & echo $!")
                                       .c_str());
            for (int i = 0; i < 100; ++i) {
                int status = 0;
                run("xdpyinfo -display " + display + " >/dev/null 2>&1", &status);
                if (status == 0) {
                    savedDisplay_ = std::getenv("DISPLAY");
                    setenv("DISPLAY", display.c_str(), 1);
                    break;
                }
                sleepFor(0.1);
            }
        }
        ASSERT_FALSE(savedDisplay_.empty()) << "no private Xvfb came up";
        const std::string fonts = run("xlsfonts 2>/dev/null");
        if (GetParam().builtInFontsOnly) {
            ASSERT_THAT(fonts, ::testing::Not(::testing::HasSubstr("-misc-fixed-bold"))) << "core fonts on a built-ins server";
        } else {
            ASSERT_THAT(fonts, ::testing::HasSubstr("-misc-fixed-bold")) << "no core fonts (xfonts-base)";
        }
    }

    // The box window by its title, once it is mapped; 0 when none came in time.
    // (xwininfo, because xdotool's name search misses SDL's box, whose name
    // is UTF-8 and which has no class.)
    static unsigned long waitForBox(const std::string& title, double seconds = 20.0) {
        const std::regex line("^\\s*(0x[0-9a-f]+) \"" + title + "\":");
        for (double waited = 0.0; waited < seconds; waited += 0.1) {
            std::istringstream tree(run("xwininfo -root -tree 2>/dev/null"));
            for (std::string text; std::getline(tree, text);) {
                std::smatch match;
                if (std::regex_search(text, match, line)) {
                    const unsigned long window = std::strtoul(match[1].str().c_str(), nullptr, 16);
                    if (run("xwininfo -id " + std::to_string(window)).find("IsViewable") != std::string::npos) {
                        return window;
                    }
                }
            }
            sleepFor(0.1);
        }
        return 0;
    }

    static bool boxIsGone(unsigned long window) {
        for (int i = 0; i < 50; ++i) {
            int status = 0;
            const std::string info = run("xwininfo -id " + std::to_string(window) + " 2>/dev/null", &status);
            if (status != 0 || info.find("IsViewable") == std::string::npos) {
                return true;
            }
            sleepFor(0.1);
        }
        return false;
    }

    // Pixels far from the picture's background colour (its commonest one).
    static int inkPixels(const Image& box) {
        std::map<int, int> colours;
        for (std::size_t i = 0; i + 2 < box.rgb.size(); i += 3) {
            ++colours[box.rgb[i] << 16 | box.rgb[i + 1] << 8 | box.rgb[i + 2]];
        }
        int background = 0;
        for (const auto& [colour, count] : colours) {
            if (count > colours[background]) {
                background = colour;
            }
        }
        const int backgroundLevel = ((background >> 16) + (background >> 8 & 255) + (background & 255)) / 3;
        int ink = 0;
        for (std::size_t i = 0; i + 2 < box.rgb.size(); i += 3) {
            const int level = (box.rgb[i] + box.rgb[i + 1] + box.rgb[i + 2]) / 3;
            ink += std::abs(level - backgroundLevel) > 100 ? 1 : 0;
        }
        return ink;
    }

    // The box on screen with its lines of text (a box is drawn a moment after
    // it is mapped, so it is looked at until the text shows).
    void expectTextOnBox(unsigned long window, const std::string& name) {
        const fs::path file = artefacts() / ("box_" + name + "_" + GetParam().name + ".ppm");
        fs::create_directories(file.parent_path());
        Image box;
        int ink = 0;
        // Four lines and more of text; a blank window has none.
        for (int i = 0; i < 50 && ink <= 2000; ++i) {
            box = captureWindow(window, file);
            ink = inkPixels(box);
            sleepFor(0.1);
        }
        ASSERT_FALSE(box.rgb.empty());
        EXPECT_GE(box.width, 300);
        EXPECT_GT(ink, 2000) << "no text seen on the box, kept as " << file;
    }

    static void dismiss(unsigned long window, const std::string& key) {
        run("xdotool windowfocus --sync " + std::to_string(window) + " 2>&1");
        run("xdotool key " + key + " 2>&1");
    }

    GameFolder folder;

private:
    int serverPid_ = 0;
    std::string savedDisplay_;
};

TEST_P(MessageBoxTest, AGameErrorBoxThenTheGamePlaysASongToItsScoreAndQuits) {
    // The textures as a copy of the game's own, one of them 16 bits a pixel.
    const fs::path textures = folder.path() / "resources" / "Textures";
    const fs::path generated = fs::read_symlink(textures);
    fs::remove(textures);
    fs::copy(generated, textures, fs::copy_options::recursive);
    {
        std::ofstream tga(textures / "World" / "planet_venus.tga", std::ios::binary | std::ios::trunc);
        const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 16, 0};
        tga.write(reinterpret_cast<const char*>(header), sizeof header);
        tga << std::string(4 * 4 * 2, '\x7c');
    }
    folder.addSong("Tone.ogg", 3.0);

    Launch launch;
    launch.boxes = GetParam().boxes;
    GameProcess game(folder, {"-window"}, launch);
    const unsigned long box = waitForBox("Game Error");
    ASSERT_NE(box, 0u) << "no box; stderr: " << game.standardError();
    expectTextOnBox(box, "game_error");
    dismiss(box, GetParam().keys[0]);
    ASSERT_TRUE(boxIsGone(box));

    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
    const std::string step = std::string("box_") + GetParam().name;
    ASSERT_FALSE(selectedSongRow(waitForPicture(game, step + "_menu", 10.0, [](const Image& image) {
                     return !selectedSongRow(image).empty();
                 })).empty())
        << "the game does not draw after the box";
    ASSERT_TRUE(game.key({"Return"}));
    ASSERT_TRUE(playing(waitForPicture(game, step + "_playing", 5.0, playing)));
    ASSERT_TRUE(inScoreMenu(waitForPicture(game, step + "_score", 30.0, inScoreMenu)));
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    EXPECT_THAT(game.standardError(), ::testing::HasSubstr("Game Error: There was a problem with The Dovazud Engine!"));
    EXPECT_EQ(folder.logLines().back(), "Unloaded Window OK!");
}

TEST_P(MessageBoxTest, AnEmptySongGivesTheSoundErrorBoxThenExitCodeOne) {
    std::ofstream(folder.musicFolder() / "Empty.mp3", std::ios::binary);

    Launch launch;
    launch.boxes = GetParam().boxes;
    GameProcess game(folder, {"-window"}, launch);
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
    ASSERT_FALSE(selectedSongRow(waitForPicture(game, std::string("box_") + GetParam().name + "_empty_menu", 10.0,
                                                [](const Image& image) { return !selectedSongRow(image).empty(); }))
                     .empty());
    ASSERT_TRUE(game.key({"Return"}));

    const unsigned long box = waitForBox("FMod Error");
    ASSERT_NE(box, 0u) << "no box; stderr: " << game.standardError();
    expectTextOnBox(box, "fmod_error");
    EXPECT_TRUE(game.running()) << "the game waits for the box";
    dismiss(box, GetParam().keys[1]);
    EXPECT_EQ(game.waitForExit(20.0), 1) << game.standardError();
    EXPECT_THAT(game.standardError(), ::testing::HasSubstr("FMod Error: There was a problem with Fmod!"));
    EXPECT_THAT(folder.logText(), ::testing::ContainsRegex("#FMOD error! \\(-?[0-9]+\\) .+ / 2")) << folder.logText();
}

INSTANTIATE_TEST_SUITE_P(Servers, MessageBoxTest, ::testing::ValuesIn(kServers),
                         [](const ::testing::TestParamInfo<Server>& server) { return std::string(server.param.name); });

}  // namespace
